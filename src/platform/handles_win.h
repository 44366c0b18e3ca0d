// Owners for Win32 handles: one move-only template with a traits class per handle kind.
// reset() keeps the last error intact, so GetLastError() after a failed call still tells the truth.
#pragma once

#include <windows.h>

#include <utility>

namespace kestran::platform {

template <typename Traits>
class UniqueOwner {
public:
    using Value = typename Traits::Value;

    UniqueOwner() = default;
    explicit UniqueOwner(Value value) : value_(value) {}
    ~UniqueOwner() { reset(); }
    UniqueOwner(UniqueOwner&& other) noexcept : value_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    Value get() const { return value_; }
    explicit operator bool() const { return Traits::IsValid(value_); }
    [[nodiscard]] Value release() { return std::exchange(value_, Traits::Invalid()); }
    void reset(Value value = Traits::Invalid()) {
        if (Traits::IsValid(value_)) {
            DWORD lastError = GetLastError();
            Traits::Close(value_);
            SetLastError(lastError);
        }
        value_ = value;
    }

private:
    Value value_ = Traits::Invalid();
};

// Kernel handles where both NULL and INVALID_HANDLE_VALUE mean "none".
struct KernelHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Close(Value v) { CloseHandle(v); }
};
struct FindHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE && v != nullptr; }
    static void Close(Value v) { FindClose(v); }
};
struct RegistryKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v);  // through the registry table (registry_functions_win.h)
};
// For libraries the launcher may unload. The VM library is never freed: it stays loaded
// for the life of the process, so it is not held in one of these.
struct ModuleTraits {
    using Value = HMODULE;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { FreeLibrary(v); }
};
struct MappedViewTraits {
    using Value = const void*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { UnmapViewOfFile(v); }
};
struct LocalMemoryTraits {
    using Value = HLOCAL;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { LocalFree(v); }
};

using UniqueHandle = UniqueOwner<KernelHandleTraits>;
using UniqueFindHandle = UniqueOwner<FindHandleTraits>;
using UniqueKey = UniqueOwner<RegistryKeyTraits>;
using UniqueModule = UniqueOwner<ModuleTraits>;
using UniqueMappedView = UniqueOwner<MappedViewTraits>;
using UniqueLocalMemory = UniqueOwner<LocalMemoryTraits>;

}  // namespace kestran::platform
