#include "tests/support/grid_double.h"

#include <cstring>
#include <map>
#include <string>

namespace {
std::map<std::string, std::string> gCells;
std::string gPath = "book.xlsx";
std::string gSheet = "Sheet1";
bool gOpen = false;
int gOpens = 0, gCloses = 0, gReads = 0, gOutside = 0;
}  // namespace

extern "C" {

void GridDoubleReset(void) {
  gCells.clear();
  gPath = "book.xlsx";
  gSheet = "Sheet1";
  gOpen = false;
  gOpens = gCloses = gReads = gOutside = 0;
}

void GridDoubleSetCell(const char* address, const char* value) {
  if (!value || !*value)
    gCells.erase(address);
  else
    gCells[address] = value;
}

void GridDoubleAccept(const char* path, const char* sheetName) {
  gPath = path;
  gSheet = sheetName;
}

int GridDoubleOpenCount(void) { return gOpens; }
int GridDoubleCloseCount(void) { return gCloses; }
int GridDoubleCellReads(void) { return gReads; }
int GridDoubleAskedOutside(void) { return gOutside; }

int OpenExcel(const char* path, int) {
  ++gOpens;
  gOpen = gPath == path;
  return gOpen ? 0 : 1;
}

int OpenSheet(const char* sheetName) { return gOpen && gSheet == sheetName ? 0 : 1; }

int GetCell(const char* address, char* value) {
  ++gReads;
  value[0] = '\0';
  if (address[0] < 'A' || address[0] > 'Z') {
    gOutside = 1;
    return 0;
  }
  if (!gOpen) return 0;
  auto it = gCells.find(address);
  if (it == gCells.end()) return 0;
  std::strncpy(value, it->second.c_str(), 255);
  value[255] = '\0';
  return 1;
}

int CloseExcel(void) {
  ++gCloses;
  gOpen = false;
  return 0;
}

}  // extern "C"
