// An .ico file split into its images, and the icon group resource that lists them.
#pragma once

#include "byte_io.h"

namespace kestran::stamp {

struct IconImage {
    uint8_t width = 0, height = 0, colours = 0;  // 0 means 256 for width and height
    uint16_t planes = 0, bitCount = 0;
    Bytes data;  // a PNG stream or a BITMAPINFOHEADER and its pixels
};

// Throws StampError (naming what is wrong) unless `file` is an icon file with at least one image,
// every image inside the file and each one a whole PNG stream (up to its IEND chunk) or a bitmap.
std::vector<IconImage> ParseIconFile(const Bytes& file);
// The RT_GROUP_ICON data for `images`, stored as the RT_ICON resources `ids` (one per image)
Bytes BuildIconGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids);

}  // namespace kestran::stamp
