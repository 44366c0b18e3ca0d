#include "stamp.h"

#include <algorithm>
#include <set>

#include "icon_file.h"
#include "manifest_edit.h"
#include "pe_image.h"
#include "platform/text_encoding.h"
#include "resource_tree.h"
#include "settings_text.h"
#include "version_info.h"

namespace kestran::stamp {
namespace {

constexpr uint16_t kLanguageNeutral = 0;

Resource& OnlyResource(ResourceList& resources, uint16_t type, const char* what) {
    Resource* found = nullptr;
    for (Resource& r : resources)
        if (r.type == ResourceName::Id(type)) {
            if (found != nullptr) throw StampError(std::string("the executable holds more than one ") + what);
            found = &r;
        }
    if (found == nullptr) throw StampError(std::string("the executable holds no ") + what);
    return *found;
}

// Replaces the first icon group (the one Explorer shows) and its images, or adds group 1.
void ReplaceIcon(ResourceList& resources, const std::vector<IconImage>& images) {
    ResourceName group = ResourceName::Id(1);
    const auto groups = FindResources(resources, ResourceName::Id(kTypeGroupIcon));
    if (!groups.empty()) {
        group = std::min_element(groups.begin(), groups.end(), [](auto a, auto b) { return a->name < b->name; })[0]->name;
        // The ids first: removing resources moves the others in the list.
        std::vector<ResourceName> icons;
        for (const Resource* old : FindResources(resources, ResourceName::Id(kTypeGroupIcon), &group))
            for (size_t at = 6; at + 14 <= old->data.size(); at += 14) icons.push_back(ResourceName::Id(Read16(&old->data[at + 12])));
        for (const ResourceName& icon : icons) RemoveResources(resources, ResourceName::Id(kTypeIcon), &icon);
        RemoveResources(resources, ResourceName::Id(kTypeGroupIcon), &group);
    }
    std::set<uint16_t> used;
    for (const Resource* icon : FindResources(resources, ResourceName::Id(kTypeIcon))) used.insert(icon->name.id);
    std::vector<uint16_t> ids;
    for (uint16_t id = 1; ids.size() < images.size(); ++id) {
        if (id == 0) throw StampError("no free icon numbers are left");
        if (!used.count(id)) ids.push_back(id);
    }
    for (size_t i = 0; i < images.size(); ++i)
        resources.push_back({ResourceName::Id(kTypeIcon), ResourceName::Id(ids[i]), kLanguageNeutral, 0, images[i].data});
    resources.push_back({ResourceName::Id(kTypeGroupIcon), group, kLanguageNeutral, 0, BuildIconGroup(images, ids)});
}

// The output's file name as Windows will store it (without the trailing dots and spaces Win32
// drops), whichever separator the path uses.
std::string OutputFileName(const std::string& out) {
    // npos + 1 is 0: a name without a folder is taken whole.
    std::string name = out.substr(out.find_last_of("/\\:") + 1);
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

std::string WithoutExeExtension(const std::string& name) {
    std::string extension = name.size() > 4 ? name.substr(name.size() - 4) : "";
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".exe" ? name.substr(0, name.size() - 4) : name;
}

// A manifest Windows refuses keeps the executable from starting at all ("side-by-side
// configuration is incorrect"), so the name holds only what assembly names are documented to hold.
std::string AssemblyName(const std::string& out) {
    std::string name;
    for (const char c : WithoutExeExtension(OutputFileName(out))) {
        if ((c & 0xC0) == 0x80) continue;  // the rest of a UTF-8 character, replaced once
        if (c == '.' && (name.empty() || name.back() == '.')) continue;
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '_' || c == '.';
        name += allowed ? c : '_';
    }
    while (!name.empty() && name.back() == '.') name.pop_back();
    return name.empty() ? "Application" : name;
}

}  // namespace

// A vendor's executable carries none of the launcher's identity, and what the vendor gives is set
// last, so it may name Kestran.
void BrandVersionInfo(VersionBlock& root, const StampOptions& options) {
    ClearStringsNaming(root, u"Kestran");
    if (options.version) SetFileVersion(root, *options.version);
    if (options.productVersion || options.version) SetProductVersion(root, options.productVersion.value_or(*options.version));
    const std::string name = OutputFileName(options.out);
    SetVersionString(root, u"OriginalFilename", Utf8ToUtf16(name));
    SetVersionString(root, u"InternalName", Utf8ToUtf16(WithoutExeExtension(name)));
    for (const auto& [key, value] : options.strings) SetVersionString(root, key, value);
}

std::string BrandManifest(const std::string& manifest, const StampOptions& options) {
    std::u16string description;
    for (const char16_t* key : {u"ProductName", u"FileDescription"})  // the file description wins
        for (const auto& [given, value] : options.strings)
            if (given == key) description = value;
    const std::string identified =
        SetAssemblyIdentity(manifest, AssemblyName(options.out), options.version ? FourPartVersionText(*options.version) : "");
    return SetDescription(identified, platform::WideToUtf8(platform::Utf16ToWide(description)));
}

Bytes StampExecutable(const StampInputs& inputs, const StampOptions& options) {
    const PeImage image(inputs.exe);
    const char* const notKestran = "not a Kestran executable (it has no KESTRAN_LAUNCHER resource)";
    if (!image.hasResourceSection()) throw StampError(notKestran);
    uint32_t rva = 0;
    const Bytes section = image.resourceSection(rva);
    ResourceList resources = ReadResourceTree(section, rva);
    const ResourceName marker = ResourceName::Text(kLauncherMarker);
    if (FindResources(resources, ResourceName::Id(kTypeRcData), &marker).empty())
        throw StampError(notKestran);

    if (!options.icon.empty()) ReplaceIcon(resources, ParseIconFile(inputs.icon));
    Resource& version = OnlyResource(resources, kTypeVersion, "version information");
    VersionBlock root = ReadVersionInfo(version.data);
    BrandVersionInfo(root, options);
    version.data = WriteVersionInfo(root);
    if (!options.settings.empty()) {
        const ResourceName name = ResourceName::Text(kSettingsName);
        RemoveResources(resources, ResourceName::Id(kTypeRcData), &name);
        resources.push_back({ResourceName::Id(kTypeRcData), name, kLanguageNeutral, 0, SettingsResource(inputs.settings)});
    }
    Resource& manifest = OnlyResource(resources, kTypeManifest, "manifest");
    std::string text = BrandManifest(std::string(manifest.data.begin(), manifest.data.end()), options);
    if (!options.executionLevel.empty()) text = SetExecutionLevel(text, options.executionLevel);
    if (options.utf8CodePage) text = SetUtf8CodePage(text);
    manifest.data.assign(text.begin(), text.end());
    return image.withResourceSection(WriteResourceTree(resources, rva));
}

}  // namespace kestran::stamp
