// The launcher's one general error, raised only for the unexpected (a missing message id,
// an allocation failure, an invalid index). Expected failures return false instead.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace kestran {

// HRESULT values, spelled out so that portable code needs no Windows header.
constexpr int32_t kResultFail = static_cast<int32_t>(0x80004005);         // E_FAIL
constexpr int32_t kResultInvalidArg = static_cast<int32_t>(0x80070057);   // E_INVALIDARG
constexpr int32_t kResultOutOfMemory = static_cast<int32_t>(0x8007000E);  // E_OUTOFMEMORY

class GeneralError : public std::runtime_error {
public:
    GeneralError(int32_t resultCode, const char* what) : std::runtime_error(what), resultCode_(resultCode) {}
    int32_t resultCode() const { return resultCode_; }

private:
    int32_t resultCode_;
};

}  // namespace kestran
