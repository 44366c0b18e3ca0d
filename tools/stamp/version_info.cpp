#include "version_info.h"

#include <algorithm>

#include "stamp_options.h"

namespace kestran::stamp {
namespace {

constexpr size_t kBlockHeader = 6;  // wLength, wValueLength, wType
constexpr size_t kFixedInfoSize = 52;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;

[[noreturn]] void Malformed(const std::string& why) { throw StampError("the version information is malformed: " + why); }

size_t Align4(size_t value) { return (value + 3) & ~size_t{3}; }

VersionBlock ReadBlock(const Bytes& data, size_t offset, size_t end, size_t& next) {
    if (end - offset < kBlockHeader) Malformed("a block is cut short");
    const size_t length = Read16(&data[offset]);
    if (length < kBlockHeader || length > end - offset) Malformed("a block overruns its parent");
    const size_t blockEnd = offset + length;
    VersionBlock block;
    block.text = Read16(&data[offset + 4]) == 1;
    size_t at = offset + kBlockHeader;
    for (;; at += 2) {
        if (at + 2 > blockEnd) Malformed("a key has no end");
        const char16_t unit = static_cast<char16_t>(Read16(&data[at]));
        if (unit == 0) break;
        block.key.push_back(unit);
    }
    at = Align4(at + 2);
    size_t valueSize = size_t{Read16(&data[offset + 2])} * (block.text ? 2 : 1);
    // Some writers count a text value in bytes rather than in characters.
    if (block.text && at <= blockEnd) valueSize = std::min(valueSize, blockEnd - at);
    if (valueSize > 0) {
        if (at > blockEnd || valueSize > blockEnd - at) Malformed("a value overruns its block");
        block.value.assign(data.begin() + at, data.begin() + at + valueSize);
        at = Align4(at + valueSize);
    }
    while (at < blockEnd) {
        size_t childEnd = 0;
        block.children.push_back(ReadBlock(data, at, blockEnd, childEnd));
        at = Align4(childEnd);
    }
    next = blockEnd;
    return block;
}

void WriteBlock(const VersionBlock& block, Bytes& out) {
    PadTo(out, 4);
    const size_t start = out.size();
    const size_t valueLength = block.text ? block.value.size() / 2 : block.value.size();
    Append16(out, 0);
    Append16(out, static_cast<uint32_t>(valueLength));
    Append16(out, block.text ? 1 : 0);
    for (char16_t unit : block.key) Append16(out, unit);
    Append16(out, 0);
    if (!block.value.empty()) {
        PadTo(out, 4);
        out.insert(out.end(), block.value.begin(), block.value.end());
    }
    for (const VersionBlock& child : block.children) WriteBlock(child, out);
    const size_t length = out.size() - start;
    if (length > 0xFFFF || valueLength > 0xFFFF) throw StampError("text too long for the version information");
    Write16(&out[start], static_cast<uint32_t>(length));
}

Bytes TextValue(const std::u16string& text) {
    Bytes value;
    for (char16_t unit : text) Append16(value, unit);
    Append16(value, 0);
    return value;
}

VersionBlock* Child(VersionBlock& parent, const std::u16string& key) {
    for (VersionBlock& child : parent.children)
        if (child.key == key) return &child;
    return nullptr;
}

void SetFixedVersion(VersionBlock& root, size_t offset, const std::array<uint16_t, 4>& v, const std::u16string& key) {
    Write32(&root.value[offset], uint32_t{v[0]} << 16 | v[1]);
    Write32(&root.value[offset + 4], uint32_t{v[2]} << 16 | v[3]);
    const std::string text = FourPartVersionText(v);
    SetVersionString(root, key, std::u16string(text.begin(), text.end()));
}

std::u16string AsciiLower(std::u16string text) {
    for (char16_t& unit : text)
        if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
    return text;
}

}  // namespace

VersionBlock ReadVersionInfo(const Bytes& data) {
    size_t end = 0;
    VersionBlock root = ReadBlock(data, 0, data.size(), end);
    if (root.key != u"VS_VERSION_INFO" || root.value.size() != kFixedInfoSize || Read32(root.value.data()) != kFixedSignature)
        Malformed("no fixed part");
    return root;
}

Bytes WriteVersionInfo(const VersionBlock& root) {
    Bytes out;
    WriteBlock(root, out);
    return out;
}

void SetFileVersion(VersionBlock& root, const std::array<uint16_t, 4>& version) {
    SetFixedVersion(root, 8, version, u"FileVersion");  // dwFileVersionMS/LS
}

void SetProductVersion(VersionBlock& root, const std::array<uint16_t, 4>& version) {
    SetFixedVersion(root, 16, version, u"ProductVersion");  // dwProductVersionMS/LS
}

void ClearStringsNaming(VersionBlock& root, const std::u16string& word) {
    const std::u16string lower = AsciiLower(word);
    for (VersionBlock& strings : root.children)
        if (strings.key == u"StringFileInfo")
            for (VersionBlock& table : strings.children)
                for (VersionBlock& entry : table.children) {
                    std::u16string text(entry.value.size() / 2, u'\0');
                    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(Read16(&entry.value[2 * i]));
                    if (entry.text && AsciiLower(text).find(lower) != std::u16string::npos) entry.value = TextValue(u"");
                }
}

void SetVersionString(VersionBlock& root, const std::u16string& key, const std::u16string& value) {
    VersionBlock* strings = Child(root, u"StringFileInfo");
    if (strings == nullptr) {
        root.children.insert(root.children.begin(), VersionBlock{u"StringFileInfo", true, {}, {}});
        strings = &root.children.front();
    }
    if (strings->children.empty()) strings->children.push_back({u"040904B0", true, {}, {}});
    for (VersionBlock& table : strings->children) {
        VersionBlock* entry = Child(table, key);
        if (entry == nullptr) {
            table.children.push_back({key, true, {}, {}});
            entry = &table.children.back();
        }
        entry->text = true;
        entry->value = TextValue(value);
    }
}

std::u16string VersionString(const VersionBlock& root, const std::u16string& key) {
    for (const VersionBlock& strings : root.children)
        if (strings.key == u"StringFileInfo" && !strings.children.empty())
            for (const VersionBlock& entry : strings.children.front().children)
                if (entry.key == key) {
                    std::u16string text;
                    for (size_t i = 0; i + 1 < entry.value.size(); i += 2) text.push_back(static_cast<char16_t>(Read16(&entry.value[i])));
                    while (!text.empty() && text.back() == 0) text.pop_back();
                    return text;
                }
    return {};
}

}  // namespace kestran::stamp
