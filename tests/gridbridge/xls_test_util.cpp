#include "tests/gridbridge/xls_test_util.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace xlstest {
namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

}  // namespace

std::string FixturePath(const std::string& name) {
  const char* build = std::getenv("ROWCASTER_BUILD_DIR");
  std::string dir = build ? build : ".";
#ifdef _WIN32
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
#endif
  return dir + "/xls-fixtures/" + name;
}

std::vector<unsigned char> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<ManifestCell> ReadManifest() {
  std::vector<ManifestCell> cells;
  std::ifstream f(FixturePath("manifest.tsv"), std::ios::binary);
  std::string line;
  while (std::getline(f, line)) {
    std::istringstream in(line);
    std::string book, sheet, row, column, kind, value, shown;
    std::getline(in, book, '\t');
    std::getline(in, sheet, '\t');
    std::getline(in, row, '\t');
    std::getline(in, column, '\t');
    std::getline(in, kind, '\t');
    std::getline(in, value, '\t');
    std::getline(in, shown, '\t');
    if (kind.empty()) continue;
    ManifestCell c;
    c.workbook = book;
    c.sheet = FromHex(sheet);
    c.row = static_cast<uint32_t>(std::stoul(row));
    c.column = static_cast<uint32_t>(std::stoul(column));
    c.kind = kind[0];
    c.value = (c.kind == 's' || c.kind == 'f') ? FromHex(value) : value;
    c.shown = shown;
    cells.push_back(c);
  }
  return cells;
}

void Put16(std::vector<unsigned char>& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(std::vector<unsigned char>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Set16(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void Set32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}
uint32_t Get16(const std::vector<unsigned char>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Get32(const std::vector<unsigned char>& b, size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

}  // namespace xlstest
