// Byte order in one place: little-endian reading of the fixed layouts inside workbooks (ZIP
// records, compound-file headers and sectors, BIFF records, UTF-16LE text) and the big-endian
// 16-bit unit of UTF-16BE text.
#pragma once
#include <cstdint>
#include <cstring>

namespace gridbridge {

// The 16-bit value stored least significant byte first at p (two readable bytes).
inline uint16_t ReadLe16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The 32-bit value stored least significant byte first at p (four readable bytes).
inline uint32_t ReadLe32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// The 64-bit value stored least significant byte first at p (eight readable bytes).
inline uint64_t ReadLe64(const unsigned char* p) {
  return static_cast<uint64_t>(ReadLe32(p)) | (static_cast<uint64_t>(ReadLe32(p + 4)) << 32);
}

// The IEEE 754 double stored least significant byte first at p (eight readable bytes).
inline double ReadLeDouble(const unsigned char* p) {
  uint64_t bits = ReadLe64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The 16-bit value stored most significant byte first at p (two readable bytes).
inline uint16_t ReadBe16(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace gridbridge
