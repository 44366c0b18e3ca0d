#!/bin/bash
# Times VM option assembly with "Class Path" = lib\*.jar over 5,000 jar files against an
# empty class path, and prints the figures (a benchmark, not a test: nothing is asserted).
#   native: the pure pipeline with a lister that hands back 5,000 names (string work only);
#   wine:   the Windows build with FindFirstFileW over 5,000 real files.
# Needs build/host and build/windows built. Usage: bench/vm_options.sh [files] [rounds]
set -euo pipefail
REPO="$(cd "$(dirname "$0")/.." && pwd)"
FILES="${1:-5000}"
ROUNDS="${2:-30}"
JDK="${KESTRAN_JDK_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cat >"$WORK/bench.cpp" <<'CPP'
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "config/messages.h"
#include "config/settings_store.h"
#include "launcher/launcher.h"
#include "runtime/vm_options.h"

using namespace kestran;

class Settings : public config::SettingsStore {
public:
    explicit Settings(std::wstring classPath) : SettingsStore(L"bench.ini"), classPath_(std::move(classPath)) {}
    unsigned long readHead(unsigned char (&)[4]) const override { return 0; }
    void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override {
        out.clear();
        if (section == L"Class Path" && key == L"Class Path") out = classPath_;
        if (key == L"Virtual Machine Parameters") out = L"-Xmx50P -Xss1m \"-Dapp.home=C:\\Program Files\\App\"";
    }
    void sectionNames(std::vector<std::wstring>&) const override {}
    bool setValue(const std::wstring&, const std::wstring&, const std::wstring&) override { return false; }
    bool deleteFile() override { return false; }

private:
    std::wstring classPath_;
};

// Names without a disk, so that the native figure shows the pipeline's own cost.
class FakeSources : public runtime::OptionSources {
public:
    explicit FakeSources(int files) {
        for (int i = 0; i < files; ++i) names_.push_back(L"library-" + std::to_wstring(i) + L".jar");
    }
    bool ModulePath(std::wstring& out) override { out = L"C:\\app\\Tool.exe"; return true; }
    void ExpandEnvironment(std::wstring&) override {}
    void ListMatches(const std::wstring&, std::vector<std::wstring>& names) override { names = names_; }
    runtime::MemoryStatus Memory() override { return {uint64_t{16} << 30, uint64_t{1} << 47}; }

private:
    std::vector<std::wstring> names_;
};

class Catalog : public config::MessageCatalog {
public:
    bool LoadMessage(unsigned, std::wstring& out) const override { out = L"no class path"; return true; }
};

double MedianMicroseconds(const std::wstring& classPath, runtime::OptionSources& sources, int rounds, size_t& length) {
    std::vector<double> times;
    Settings settings(classPath);
    for (int i = 0; i < rounds; ++i) {
        launcher::Launcher launcher;
        auto start = std::chrono::steady_clock::now();
        runtime::AssembleVmOptionsFrom(launcher, launcher, settings, sources);
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        length = launcher.vmOptions.empty() ? 0 : launcher.vmOptions[0].size();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    std::string mode = argv[1];
    int rounds = std::atoi(argv[3]);
    Catalog catalog;
    config::InstallMessageCatalog(&catalog);  // the empty class path prints message 209

    FakeSources fake(std::atoi(argv[2]));
    runtime::OptionSources& sources = mode == "fake" ? fake : runtime::PlatformOptionSources();
    std::string pattern = mode == "fake" ? "lib\\*.jar" : argv[2];
    std::wstring widePattern(pattern.begin(), pattern.end());

    size_t emptyLength = 0, jarsLength = 0;
    MedianMicroseconds(widePattern, sources, 2, jarsLength);  // warm the caches
    double empty = MedianMicroseconds(L"", sources, rounds, emptyLength);
    double jars = MedianMicroseconds(widePattern, sources, rounds, jarsLength);
    std::fprintf(stderr, "%-7s empty class path: %10.1f us   lib\\*.jar: %10.1f us   added: %10.1f us   "
                 "ratio (with jars / empty): %8.0f   class path option: %zu bytes\n",
                 mode.c_str(), empty, jars, jars - empty, jars / empty, jarsLength);
    return 0;
}
CPP

echo "VM option assembly, median of $ROUNDS rounds, $FILES jar files"

if [ -f "$REPO/build/host/libkestran_core.a" ]; then
    g++ -std=c++17 -O2 -I"$REPO/src" -I"$JDK/include" -I"$JDK/include/linux" "$WORK/bench.cpp" \
        "$REPO/build/host/libkestran_core.a" -ldl -o "$WORK/bench-native"
    "$WORK/bench-native" fake "$FILES" "$ROUNDS" 2>&1 >/dev/null
else
    echo "native: build/host not built, skipped"
fi

if [ -f "$REPO/build/windows/libkestran_core.a" ]; then
    x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX \
        -I"$REPO/src" -I"$REPO/cmake/jni-win64" -I"$JDK/include" "$WORK/bench.cpp" \
        "$REPO/build/windows/libkestran_core.a" -static -lcomctl32 -lshell32 -lole32 -luuid -lgdi32 -luser32 \
        -ladvapi32 -lshlwapi -o "$WORK/bench.exe"
    mkdir -p "$WORK/lib"
    (cd "$WORK/lib" && seq -f "library-%g.jar" 1 "$FILES" | xargs touch)
    source "$REPO/tests/tools/wine-env.sh"
    [ -f "$WINEPREFIX/system.reg" ] || wine_env_start >/dev/null 2>&1
    "$WINE_LOADER" "$WORK/bench.exe" wine "Z:$(echo "$WORK" | tr / '\\')\\lib\\*.jar" "$ROUNDS" 2>&1 >/dev/null
else
    echo "wine: build/windows not built, skipped"
fi
