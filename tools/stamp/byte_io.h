// Little-endian reads and writes on byte buffers, and the one error type of the stamp tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestran::stamp {

using Bytes = std::vector<uint8_t>;

// Bad input: the message is printed as it is and the tool ends with exit code 2.
class StampError : public std::runtime_error {
public:
    explicit StampError(const std::string& message) : std::runtime_error(message) {}
};

inline uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Read32(const uint8_t* p) { return static_cast<uint32_t>(Read16(p)) | static_cast<uint32_t>(Read16(p + 2)) << 16; }
inline void Write16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}
inline void Write32(uint8_t* p, uint32_t value) {
    Write16(p, value);
    Write16(p + 2, value >> 16);
}
inline void Append16(Bytes& out, uint32_t value) {
    out.resize(out.size() + 2);
    Write16(out.data() + out.size() - 2, value);
}
inline void Append32(Bytes& out, uint32_t value) {
    out.resize(out.size() + 4);
    Write32(out.data() + out.size() - 4, value);
}
inline void PadTo(Bytes& out, size_t alignment) {
    while (out.size() % alignment != 0) out.push_back(0);
}
inline uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace kestran::stamp
