// A PE image read from its file bytes, and the same image written back with a new resource
// section. Pure logic: the bytes are read and written elsewhere.
#pragma once

#include <string>
#include <vector>

#include "byte_io.h"

namespace kestran::stamp {

struct Section {
    std::string name;
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

class PeImage {
public:
    // Throws StampError when `file` is not a PE image whose headers and sections lie inside it.
    explicit PeImage(Bytes file);

    bool hasResourceSection() const;
    // The bytes of the resource section and its address; StampError when there is none.
    Bytes resourceSection(uint32_t& rva) const;
    // The image with `resources` (laid out for the address resourceSection() reported) as its
    // resource section. Sections after it that the loader finds only through a data directory
    // (.reloc) move up behind it; size of image, initialised data size, the resource directory
    // and the checksum follow. A signature or symbol table after the sections is dropped (any
    // change breaks a signature anyway); other data after the image is refused.
    Bytes withResourceSection(const Bytes& resources) const;

private:
    size_t dataDirectory(size_t index) const;  // file offset of the entry; 0 if the image has none
    size_t resourceIndex() const;

    Bytes file_;
    size_t optional_ = 0;       // file offset of the optional header
    size_t sectionTable_ = 0;
    std::vector<Section> sections_;
};

// The checksum the loader verifies for drivers and tools such as signtool compute: 16-bit
// one's-complement-like sum of the file with the checksum field skipped, plus the file size.
uint32_t PeChecksum(const Bytes& file, size_t checksumOffset);

}  // namespace kestran::stamp
