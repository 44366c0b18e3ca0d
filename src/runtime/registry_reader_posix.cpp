#include "runtime/registry_reader.h"

namespace kestran::runtime {
namespace {

// There is no machine registry here: every key is missing, so the search moves on to
// JAVA_HOME.
class NoRegistry final : public RegistryReader {
public:
    bool ListSubkeys(const std::wstring&, RegistryView, std::vector<std::wstring>& names) const override {
        names.clear();
        return false;
    }
    bool ReadValue(const std::wstring&, RegistryView, const std::wstring&, std::vector<uint8_t>& data,
                   RegistryValueType& type) const override {
        data.clear();
        type = RegistryValueType::None;
        return false;
    }
};

}  // namespace

const RegistryReader& MachineRegistry() {
    static const NoRegistry reader;
    return reader;
}

const RegistryReader& UserRegistry() { return MachineRegistry(); }

}  // namespace kestran::runtime
