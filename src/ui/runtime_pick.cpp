#include "ui/runtime_pick.h"

namespace kestran::ui {

void RuntimePick::Pick(const std::wstring& path, const runtime::FileProber& files) {
    folder_.clear();
    libraryPath_.clear();
    // A drive root ("D:\") already ends with its backslash: no second one.
    if (!runtime::WithTrailingBackslash(path, folder_)) return;
    libraryPath_ = runtime::ProbeRuntimeFolder(folder_, jvmType_, files).libraryPath;
}

}  // namespace kestran::ui
