// Helpers shared by the .xls tests: fixture files, the workbook manifest, little-endian bytes.
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
  std::string shown;  // dates: as the user sees them
};
std::vector<ManifestCell> ReadManifest();

void Put16(std::vector<unsigned char>& b, uint32_t v);
void Put32(std::vector<unsigned char>& b, uint32_t v);
void Set16(std::vector<unsigned char>& b, size_t at, uint32_t v);
void Set32(std::vector<unsigned char>& b, size_t at, uint32_t v);
uint32_t Get16(const std::vector<unsigned char>& b, size_t at);
uint32_t Get32(const std::vector<unsigned char>& b, size_t at);

}  // namespace xlstest
