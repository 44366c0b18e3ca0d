#include "icon_file.h"

#include <cstring>

namespace kestran::stamp {
namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kFileEntrySize = 16;
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kBitmapHeaderSize = 40;

[[noreturn]] void Malformed(const std::string& why) { throw StampError("not an icon file: " + why); }

// Windows decodes an icon's PNG only when it is drawn, so a cut one would ship as a broken icon:
// every chunk must lie inside the image, up to and including IEND.
void CheckWholePng(const uint8_t* data, size_t size, const std::string& which) {
    for (size_t at = sizeof kPngSignature;;) {
        if (size - at < 12) Malformed(which + " is a PNG image cut short (it has no IEND chunk)");
        const uint32_t length = uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 | uint32_t{data[at + 2]} << 8 | data[at + 3];
        if (length > size - at - 12) Malformed(which + " is a PNG image cut short (a chunk runs past its end)");
        const bool end = std::memcmp(data + at + 4, "IEND", 4) == 0;
        at += 12 + length;
        if (end) return;
    }
}

}  // namespace

std::vector<IconImage> ParseIconFile(const Bytes& file) {
    if (file.size() < kHeaderSize || Read16(&file[0]) != 0 || Read16(&file[2]) != 1) Malformed("no icon header");
    const size_t count = Read16(&file[4]);
    if (count == 0) Malformed("no images");
    if (file.size() < kHeaderSize + count * kFileEntrySize) Malformed("the image list is cut short");
    std::vector<IconImage> images;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = &file[kHeaderSize + i * kFileEntrySize];
        const uint32_t size = Read32(entry + 8);
        const uint32_t offset = Read32(entry + 12);
        const std::string which = "image " + std::to_string(i + 1);
        if (size < sizeof kPngSignature || offset > file.size() || size > file.size() - offset)
            Malformed(which + " lies outside the file");
        const uint8_t* data = &file[offset];
        if (std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0) CheckWholePng(data, size, which);
        else if (Read32(data) != kBitmapHeaderSize) Malformed(which + " is neither PNG nor a bitmap");
        IconImage image;
        image.width = entry[0];
        image.height = entry[1];
        image.colours = entry[2];
        image.planes = Read16(entry + 4);
        image.bitCount = Read16(entry + 6);
        image.data.assign(data, data + size);
        images.push_back(std::move(image));
    }
    return images;
}

Bytes BuildIconGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
    Bytes group;
    Append16(group, 0);
    Append16(group, 1);
    Append16(group, static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        group.insert(group.end(), {image.width, image.height, image.colours, 0});
        Append16(group, image.planes);
        Append16(group, image.bitCount);
        Append32(group, static_cast<uint32_t>(image.data.size()));
        Append16(group, ids[i]);
    }
    return group;
}

}  // namespace kestran::stamp
