// The splash screen shown while the VM starts: which picture, and how long at most.
#pragma once

#include <cstdint>
#include <string>

namespace kestran::config {

struct SplashSettings {
    std::wstring image;            // the picture's full path, expanded; empty: no splash
    uint32_t timeoutSeconds = 0;   // "Splash Timeout": closed after this long at the latest; 0: no limit
};

// True for a "-splash:<file>" VM parameter, which the launcher takes and the VM never sees
// (HotSpot rejects it); `image` is then the text after the colon, possibly empty.
bool TakeSplashOption(const std::wstring& option, std::wstring& image);

}  // namespace kestran::config
