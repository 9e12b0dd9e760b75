// Helpers shared by the .xls tests: fixture files, the workbook manifest, little-endian bytes,
// compound files built with a known layout.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace xlstest {

// Path of a file made by make_workbooks.py for this build tree (Z: drive under Wine).
std::string FixturePath(const std::string& name);
std::vector<unsigned char> ReadFile(const std::string& path);

// One cell as make_workbooks.py wrote it. Rows and columns count from 1.
struct ManifestCell {
  std::string workbook;
  std::string sheet;  // UTF-8
  uint32_t row = 0;
  uint32_t column = 0;
  char kind = 0;      // s text, n number, d date or time, b boolean, e error, f formula
  std::string value;  // UTF-8 text, the number's repr, "0"/"1", the error, the formula's result
  std::string shown;  // UTF-8, as Excel shows the value (when the manifest says)
};
std::vector<ManifestCell> ReadManifest();

void Put16(std::vector<unsigned char>& b, uint32_t v);
void Put32(std::vector<unsigned char>& b, uint32_t v);
void Set16(std::vector<unsigned char>& b, size_t at, uint32_t v);
void Set32(std::vector<unsigned char>& b, size_t at, uint32_t v);
uint32_t Get16(const std::vector<unsigned char>& b, size_t at);
uint32_t Get32(const std::vector<unsigned char>& b, size_t at);

// ---- compound files built here ----

const uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD, kDifSect = 0xFFFFFFFC;

struct TestStream {
  std::string name;
  std::vector<unsigned char> data;
};

// Where the builder put things, for the damage cases.
struct Layout {
  uint32_t sectorSize = 0;
  std::vector<uint32_t> fatSectors, difatSectors;
  uint32_t dirSector = 0, miniFatSector = kEnd;
  std::vector<uint32_t> streamStart;  // first sector (or mini sector) of each stream
  size_t FatEntry(uint32_t sector) const {
    uint32_t per = sectorSize / 4;
    return (fatSectors[sector / per] + 1) * static_cast<size_t>(sectorSize) + 4 * (sector % per);
  }
  size_t SectorAt(uint32_t sector) const { return (sector + 1) * static_cast<size_t>(sectorSize); }
  size_t DirEntry(uint32_t id) const { return SectorAt(dirSector) + 128 * id; }
};

// Builds a compound file of version 3 (512-byte sectors) or 4 (4096) with the streams as
// children of the root, linked through their right siblings. Streams under 4096 bytes go
// to the mini stream. *layout (when given) receives where things went.
std::vector<unsigned char> BuildCompoundFile(int version, const std::vector<TestStream>& streams, Layout* layout);

// n bytes of seeded noise.
std::vector<unsigned char> Noise(size_t n, uint32_t seed);

}  // namespace xlstest
