// Untrusted files for kestran-stamp: the resource tree, version resources, manifests, icon and settings files.
#include <cstdlib>

#include "icon_file.h"
#include "manifest_edit.h"
#include "resource_tree.h"
#include "settings_text.h"
#include "version_info.h"

using namespace kestran::stamp;
#define FUZZ_CHECK(condition) if (!(condition)) std::abort()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes bytes(data, data + size);
    constexpr uint32_t rva = 0x1000;
    try {
        ResourceList tree = ReadResourceTree(bytes, rva);
        // What was understood is written back and read again unchanged.
        ResourceList again = ReadResourceTree(WriteResourceTree(tree, rva), rva);
        SortResources(tree);
        FUZZ_CHECK(again.size() == tree.size());
        for (size_t i = 0; i < tree.size(); ++i) FUZZ_CHECK(again[i].data == tree[i].data && again[i].name == tree[i].name);
    } catch (const StampError&) {
    }
    try {
        WriteVersionInfo(ReadVersionInfo(bytes));
    } catch (const StampError&) {
    }
    try {
        // Every edit a stamp makes, on a manifest of any shape.
        const std::string manifest(bytes.begin(), bytes.end());
        SetUtf8CodePage(SetExecutionLevel(SetDescription(SetAssemblyIdentity(manifest, "a", "1.2.3.4"), "d"), "asInvoker"));
        SetDescription(manifest, "");
    } catch (const StampError&) {
    }
    try {
        ParseIconFile(bytes);
    } catch (const StampError&) {
    }
    try {
        // Settings as written are what the launcher reads, so they are taken again unchanged.
        const Bytes settings = SettingsResource(bytes);
        FUZZ_CHECK(SettingsResource(settings) == settings);
    } catch (const StampError&) {
    }
    return 0;
}
