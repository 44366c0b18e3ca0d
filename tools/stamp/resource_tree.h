// The resource tree of a PE image (type, name, language, data) as a flat list, read from and
// written to the bytes of a resource section. Pure logic.
#pragma once

#include <string>
#include <vector>

#include "byte_io.h"

namespace kestran::stamp {

constexpr uint16_t kTypeIcon = 3;
constexpr uint16_t kTypeRcData = 10;
constexpr uint16_t kTypeGroupIcon = 14;
constexpr uint16_t kTypeVersion = 16;
constexpr uint16_t kTypeManifest = 24;

// A type or name: a number, or a string (then `id` is unused).
struct ResourceName {
    bool named = false;
    uint16_t id = 0;
    std::u16string text;

    static ResourceName Id(uint16_t id) { return {false, id, {}}; }
    static ResourceName Text(const std::u16string& text) { return {true, 0, text}; }
    // The order of a resource directory: strings first (by UTF-16 units), then numbers.
    bool operator<(const ResourceName& other) const;
    bool operator==(const ResourceName& other) const {
        return named == other.named && (named ? text == other.text : id == other.id);
    }
};

struct Resource {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    Bytes data;
};

using ResourceList = std::vector<Resource>;

// Reads the tree whose root starts at `section[0]`; the section is mapped at `sectionRva`.
// Only the usual three levels are understood, each directory and data entry reached once, every
// offset inside the section, no key twice in one directory; anything else throws StampError.
ResourceList ReadResourceTree(const Bytes& section, uint32_t sectionRva);
// The bytes of a resource section at `sectionRva` holding `resources` (in any order): the
// directories, then the data entries, the names and the data (8-byte aligned). Deterministic:
// no time stamps. Throws StampError if the tree cannot be written (two resources with one key).
Bytes WriteResourceTree(const ResourceList& resources, uint32_t sectionRva);

// Sorted in directory order (type, name, language).
void SortResources(ResourceList& resources);
// The resources of `type` (and, if given, of `name`) in `resources`.
std::vector<const Resource*> FindResources(const ResourceList& resources, const ResourceName& type,
                                           const ResourceName* name = nullptr);
void RemoveResources(ResourceList& resources, const ResourceName& type, const ResourceName* name = nullptr);

}  // namespace kestran::stamp
