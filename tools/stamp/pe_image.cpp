#include "pe_image.h"

#include <algorithm>

#include "platform/pe_header.h"
#include "platform/text_encoding.h"

namespace kestran::stamp {
namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kResourceDirectory = 2;
constexpr size_t kSecurityDirectory = 4;
constexpr size_t kRelocationDirectory = 5;
// Offsets in the optional header, the same for PE32 and PE32+.
constexpr size_t kInitializedDataSize = 8, kSectionAlignment = 32, kFileAlignment = 36, kSizeOfImage = 56,
                 kChecksum = 64, kSubsystem = 68;

[[noreturn]] void Refuse(const std::string& why) { throw StampError("not a usable executable: " + why); }

// Zero bytes from `from` up to `to`, at most to the next 8-byte boundary.
bool IsPadding(const Bytes& file, uint64_t from, uint64_t to) {
    return to >= from && to <= AlignUp(from, 8) && to <= file.size() &&
           std::all_of(file.begin() + from, file.begin() + to, [](uint8_t byte) { return byte == 0; });
}

}  // namespace

PeImage::PeImage(Bytes file) : file_(std::move(file)) {
    size_t nt = 0;
    const platform::PeHeaderStatus status = platform::LocateNtHeaders(file_.data(), file_.size(), nt);
    if (status != platform::PeHeaderStatus::Ok)
        Refuse(platform::WideToUtf8(platform::DescribePeHeaderStatus(status)));
    const uint16_t count = Read16(&file_[nt + 6]);
    const uint16_t optionalSize = Read16(&file_[nt + 20]);
    optional_ = nt + 24;
    sectionTable_ = optional_ + optionalSize;
    if (optionalSize < kSubsystem + 2 || sectionTable_ + count * kSectionHeaderSize > file_.size())
        Refuse("headers outside the file");
    const uint16_t magic = Read16(&file_[optional_]);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) Refuse("unknown optional header");
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* h = &file_[sectionTable_ + i * kSectionHeaderSize];
        Section s;
        s.name.assign(reinterpret_cast<const char*>(h), 8);
        s.name.resize(s.name.find('\0') == std::string::npos ? 8 : s.name.find('\0'));
        s.virtualSize = Read32(h + 8);
        s.virtualAddress = Read32(h + 12);
        s.rawSize = Read32(h + 16);
        s.rawOffset = Read32(h + 20);
        if (uint64_t{s.rawOffset} + s.rawSize > file_.size()) Refuse("section " + s.name + " outside the file");
        if (!sections_.empty() && (s.virtualAddress <= sections_.back().virtualAddress ||
                                   (s.rawSize != 0 && s.rawOffset < sections_.back().rawOffset)))
            Refuse("sections out of order");
        sections_.push_back(s);
    }
}

size_t PeImage::dataDirectory(size_t index) const {
    const bool plus = Read16(&file_[optional_]) == kMagicPe32Plus;
    const size_t countOffset = optional_ + (plus ? 108 : 92);
    if (countOffset + 4 > sectionTable_ || index >= Read32(&file_[countOffset])) return 0;
    const size_t entry = countOffset + 4 + index * 8;
    return entry + 8 <= sectionTable_ ? entry : 0;
}

bool PeImage::hasResourceSection() const {
    const size_t entry = dataDirectory(kResourceDirectory);
    return entry && Read32(&file_[entry]) != 0;
}

size_t PeImage::resourceIndex() const {
    const size_t entry = dataDirectory(kResourceDirectory);
    const uint32_t rva = entry ? Read32(&file_[entry]) : 0;
    for (size_t i = 0; rva != 0 && i < sections_.size(); ++i)
        if (sections_[i].virtualAddress == rva) return i;
    Refuse("no resource section (the resources must start a section of their own)");
}

Bytes PeImage::resourceSection(uint32_t& rva) const {
    const Section& s = sections_[resourceIndex()];
    rva = s.virtualAddress;
    const uint32_t size = std::min(s.virtualSize ? s.virtualSize : s.rawSize, s.rawSize);
    return Bytes(file_.begin() + s.rawOffset, file_.begin() + s.rawOffset + size);
}

Bytes PeImage::withResourceSection(const Bytes& resources) const {
    const size_t index = resourceIndex();
    const uint32_t sectionAlignment = Read32(&file_[optional_ + kSectionAlignment]);
    const uint32_t fileAlignment = Read32(&file_[optional_ + kFileAlignment]);
    if (sectionAlignment == 0 || fileAlignment == 0) Refuse("zero alignment");
    for (size_t i = index + 1; i < sections_.size(); ++i)
        if (sections_[i].name != ".reloc") Refuse("section " + sections_[i].name + " follows the resources");

    // After the last section only a symbol table (named by the file header, its string table
    // behind it) and an Authenticode signature (named by its directory, 8-byte aligned) may
    // follow. Both are dropped, since any change breaks a signature anyway; anything else there
    // would be lost without a word, so it is refused, signed or not.
    uint64_t end = optional_;
    for (const Section& s : sections_) end = std::max<uint64_t>(end, uint64_t{s.rawOffset} + s.rawSize);
    const char* const appended = "data appended after the image";
    const uint32_t symbols = Read32(&file_[optional_ - 24 + 12]);
    if (symbols != 0 && symbols >= end) {
        const uint64_t strings = symbols + uint64_t{Read32(&file_[optional_ - 24 + 16])} * 18;
        if (!IsPadding(file_, end, symbols) || strings + 4 > file_.size()) Refuse(appended);
        end = strings + std::max<uint32_t>(4, Read32(&file_[strings]));
    }
    const size_t security = dataDirectory(kSecurityDirectory);
    const uint32_t signature = security ? Read32(&file_[security]) : 0;
    if (signature != 0) {
        if (!IsPadding(file_, end, signature)) Refuse(signature < end ? "the signature overlaps the image" : appended);
        end = uint64_t{signature} + Read32(&file_[security + 4]);
        if (end > file_.size()) Refuse("the signature runs past the end of the file");
    }
    if (end != file_.size() && (signature == 0 || !IsPadding(file_, end, file_.size()))) Refuse(appended);

    Bytes out(file_.begin(), file_.begin() + sections_[index].rawOffset);
    std::vector<Section> layout = sections_;
    uint32_t nextRva = 0;
    for (size_t i = index; i < layout.size(); ++i) {
        Section& s = layout[i];
        const Bytes* content = &resources;
        Bytes moved;
        if (i != index) {
            moved.assign(file_.begin() + s.rawOffset, file_.begin() + s.rawOffset + s.rawSize);
            content = &moved;
            const size_t relocations = dataDirectory(kRelocationDirectory);
            if (relocations && Read32(&file_[relocations]) >= s.virtualAddress &&
                Read32(&file_[relocations]) < s.virtualAddress + std::max(s.virtualSize, s.rawSize))
                Write32(&out[relocations], Read32(&file_[relocations]) - s.virtualAddress + nextRva);
            s.virtualAddress = nextRva;
        } else {
            s.virtualSize = static_cast<uint32_t>(resources.size());
        }
        s.rawOffset = static_cast<uint32_t>(out.size());
        s.rawSize = static_cast<uint32_t>(AlignUp(content->size(), fileAlignment));
        out.insert(out.end(), content->begin(), content->end());
        out.resize(s.rawOffset + s.rawSize, 0);
        nextRva = static_cast<uint32_t>(AlignUp(uint64_t{s.virtualAddress} + std::max(s.virtualSize, s.rawSize), sectionAlignment));
        uint8_t* header = &out[sectionTable_ + i * kSectionHeaderSize];
        Write32(header + 8, s.virtualSize);
        Write32(header + 12, s.virtualAddress);
        Write32(header + 16, s.rawSize);
        Write32(header + 20, s.rawOffset);
    }
    const int64_t growth = int64_t{layout[index].rawSize} - sections_[index].rawSize;
    Write32(&out[optional_ + kInitializedDataSize], static_cast<uint32_t>(Read32(&out[optional_ + kInitializedDataSize]) + growth));
    Write32(&out[optional_ + kSizeOfImage], nextRva);
    Write32(&out[dataDirectory(kResourceDirectory) + 4], static_cast<uint32_t>(resources.size()));
    if (security) Write32(&out[security], 0), Write32(&out[security + 4], 0);
    Write32(&out[optional_ - 24 + 12], 0);  // the symbol table pointer and count
    Write32(&out[optional_ - 24 + 16], 0);
    Write32(&out[optional_ + kChecksum], PeChecksum(out, optional_ + kChecksum));
    return out;
}

uint32_t PeChecksum(const Bytes& file, size_t checksumOffset) {
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

}  // namespace kestran::stamp
