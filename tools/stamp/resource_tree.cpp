#include "resource_tree.h"

#include <algorithm>
#include <map>
#include <set>

namespace kestran::stamp {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kDirectorySize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr int kLevels = 3;  // type, name, language

[[noreturn]] void NotUnderstood(const std::string& why) {
    throw StampError("the resource tree is not one this tool understands: " + why);
}

class TreeReader {
public:
    TreeReader(const Bytes& section, uint32_t rva) : section_(section), rva_(rva) {}

    void Directory(uint32_t offset, int level, Resource& path, ResourceList& out) {
        if (!visited_.insert(offset).second) NotUnderstood("a directory is reached twice");
        Need(offset, kDirectorySize);
        const uint8_t* header = section_.data() + offset;
        const size_t count = size_t{Read16(header + 12)} + Read16(header + 14);
        Need(offset + kDirectorySize, count * kEntrySize);
        std::vector<ResourceName> keys;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* entry = header + kDirectorySize + i * kEntrySize;
            const ResourceName key = Name(Read32(entry));
            if (std::find(keys.begin(), keys.end(), key) != keys.end()) NotUnderstood("a key appears twice");
            keys.push_back(key);
            const uint32_t target = Read32(entry + 4);
            const bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level < kLevels - 1)) NotUnderstood("the tree is not three levels deep");
            if (level == 0) path.type = key;
            if (level == 1) path.name = key;
            if (level == 2) {
                if (key.named) NotUnderstood("a language is named by a string");
                path.language = key.id;
                Data(target, path, out);
            } else {
                Directory(target & ~kHighBit, level + 1, path, out);
            }
        }
    }

private:
    void Need(uint64_t offset, uint64_t size) const {
        if (offset > section_.size() || size > section_.size() - offset) NotUnderstood("an offset lies outside the section");
    }

    ResourceName Name(uint32_t field) const {
        if ((field & kHighBit) == 0) {
            if (field > 0xFFFF) NotUnderstood("a number above 65535");
            return ResourceName::Id(static_cast<uint16_t>(field));
        }
        const uint32_t offset = field & ~kHighBit;
        Need(offset, 2);
        const size_t length = Read16(section_.data() + offset);
        Need(offset + 2, length * 2);
        std::u16string text;
        for (size_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(Read16(section_.data() + offset + 2 + i * 2)));
        return ResourceName::Text(text);
    }

    void Data(uint32_t offset, Resource& path, ResourceList& out) {
        if (!visited_.insert(offset).second) NotUnderstood("a data entry is reached twice");
        Need(offset, kDataEntrySize);
        const uint8_t* entry = section_.data() + offset;
        const uint32_t rva = Read32(entry);
        const uint32_t size = Read32(entry + 4);
        if (rva < rva_) NotUnderstood("resource data lies outside the resource section");
        Need(rva - rva_, size);
        path.codePage = Read32(entry + 8);
        path.data.assign(section_.begin() + (rva - rva_), section_.begin() + (rva - rva_) + size);
        out.push_back(path);
    }

    const Bytes& section_;
    const uint32_t rva_;
    std::set<uint32_t> visited_;
};

bool KeyLess(const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return a.type < b.type;
    if (!(a.name == b.name)) return a.name < b.name;
    return a.language < b.language;
}

// One directory being laid out: its keys in order, each leading to a child node (levels 0 and
// 1) or to a resource (level 2).
struct Node {
    int level = 0;
    std::vector<std::pair<ResourceName, size_t>> children;
    uint32_t offset = 0;
};

}  // namespace

bool ResourceName::operator<(const ResourceName& other) const {
    if (named != other.named) return named;
    return named ? text < other.text : id < other.id;
}

ResourceList ReadResourceTree(const Bytes& section, uint32_t sectionRva) {
    ResourceList resources;
    Resource path;
    TreeReader(section, sectionRva).Directory(0, 0, path, resources);
    return resources;
}

void SortResources(ResourceList& resources) { std::stable_sort(resources.begin(), resources.end(), KeyLess); }

Bytes WriteResourceTree(const ResourceList& unsorted, uint32_t sectionRva) {
    ResourceList resources = unsorted;
    SortResources(resources);
    std::vector<Node> nodes(1);
    size_t typeNode = 0, nameNode = 0;
    for (size_t i = 0; i < resources.size(); ++i) {
        const Resource& r = resources[i];
        const bool newType = i == 0 || !(r.type == resources[i - 1].type);
        if (newType) {
            typeNode = nodes.size();
            nodes[0].children.push_back({r.type, typeNode});
            nodes.push_back({1, {}, 0});
        }
        if (newType || !(r.name == resources[i - 1].name)) {
            nameNode = nodes.size();
            nodes[typeNode].children.push_back({r.name, nameNode});
            nodes.push_back({2, {}, 0});
        } else if (r.language == resources[i - 1].language) {
            throw StampError("two resources share one type, name and language");
        }
        nodes[nameNode].children.push_back({ResourceName::Id(r.language), i});
    }
    // Directories level by level, as linkers lay them out.
    std::vector<size_t> order;
    for (int level = 0; level < kLevels; ++level)
        for (size_t node = 0; node < nodes.size(); ++node)
            if (nodes[node].level == level) order.push_back(node);

    uint32_t size = 0;
    for (size_t node : order) {
        nodes[node].offset = size;
        size += static_cast<uint32_t>(kDirectorySize + nodes[node].children.size() * kEntrySize);
    }
    const uint32_t dataEntries = size;
    size += static_cast<uint32_t>(resources.size() * kDataEntrySize);
    std::map<std::u16string, uint32_t> names;
    for (const Resource& r : resources)
        for (const ResourceName* name : {&r.type, &r.name})
            if (name->named && names.emplace(name->text, size).second) size += static_cast<uint32_t>(2 + name->text.size() * 2);

    Bytes out(size, 0);
    for (size_t node : order) {
        uint8_t* header = out.data() + nodes[node].offset;
        const auto& children = nodes[node].children;
        const size_t named = std::count_if(children.begin(), children.end(), [](const auto& c) { return c.first.named; });
        Write16(header + 12, static_cast<uint32_t>(named));
        Write16(header + 14, static_cast<uint32_t>(children.size() - named));
        for (size_t i = 0; i < children.size(); ++i) {
            uint8_t* entry = header + kDirectorySize + i * kEntrySize;
            const ResourceName& key = children[i].first;
            Write32(entry, key.named ? (names[key.text] | kHighBit) : key.id);
            Write32(entry + 4, nodes[node].level == kLevels - 1 ? static_cast<uint32_t>(dataEntries + children[i].second * kDataEntrySize)
                                    : (nodes[children[i].second].offset | kHighBit));
        }
    }
    for (const auto& [text, offset] : names) {
        Write16(out.data() + offset, static_cast<uint32_t>(text.size()));
        for (size_t i = 0; i < text.size(); ++i) Write16(out.data() + offset + 2 + i * 2, text[i]);
    }
    for (size_t i = 0; i < resources.size(); ++i) {
        PadTo(out, 8);
        uint8_t* entry = out.data() + dataEntries + i * kDataEntrySize;
        Write32(entry, static_cast<uint32_t>(sectionRva + out.size()));
        Write32(entry + 4, static_cast<uint32_t>(resources[i].data.size()));
        Write32(entry + 8, resources[i].codePage);
        out.insert(out.end(), resources[i].data.begin(), resources[i].data.end());
    }
    return out;
}

std::vector<const Resource*> FindResources(const ResourceList& resources, const ResourceName& type,
                                           const ResourceName* name) {
    std::vector<const Resource*> found;
    for (const Resource& r : resources)
        if (r.type == type && (name == nullptr || r.name == *name)) found.push_back(&r);
    return found;
}

void RemoveResources(ResourceList& resources, const ResourceName& type, const ResourceName* name) {
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& r) { return r.type == type && (name == nullptr || r.name == *name); }),
                    resources.end());
}

}  // namespace kestran::stamp
