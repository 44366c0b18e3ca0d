#include "config/splash_settings.h"

namespace kestran::config {

bool TakeSplashOption(const std::wstring& option, std::wstring& image) {
    static const std::wstring kPrefix = L"-splash:";
    if (option.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    image = option.substr(kPrefix.size());
    return true;
}

}  // namespace kestran::config
