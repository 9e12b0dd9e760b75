// GridBridge on .xls workbooks through its C interface: every cell of every sheet reads the
// same from the .xls as from the .xlsx that openpyxl wrote and LibreOffice converted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "gridbridge/gridbridge.h"
#include "platform/codepage.h"
#include "tests/gridbridge/xls_test_util.h"

using namespace xlstest;

namespace {

std::string Sjis(const std::string& utf8) { return platform::Utf8ToCp932(utf8); }

// The longest prefix of a Shift-JIS text within 255 bytes that splits no character.
std::string Cut255(const std::string& sjis) {
  size_t i = 0;
  while (i < sjis.size()) {
    unsigned char c = static_cast<unsigned char>(sjis[i]);
    size_t step = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
    if (i + step > 255) break;
    i += step;
  }
  return sjis.substr(0, i);
}

std::string Address(int column, uint32_t row) {
  char a[16];
  std::snprintf(a, sizeof a, "%c%u", 'A' + column, row);
  return a;
}

// Every cell A..Z of rows 1..rows through GetCell; "" for no value.
std::vector<std::string> ReadGrid(uint32_t rows) {
  std::vector<std::string> grid;
  for (uint32_t r = 1; r <= rows; ++r)
    for (int c = 0; c < 26; ++c) {
      char value[256];
      std::memset(value, 'X', sizeof value);
      int has = GetCell(Address(c, r).c_str(), value);
      EXPECT_EQ(has != 0, value[0] != '\0') << Address(c, r);
      EXPECT_LE(std::strlen(value), 255u);
      grid.push_back(has ? value : "");
    }
  return grid;
}

struct SheetCells {
  uint32_t rows = 0;
  std::vector<ManifestCell> cells;
};

// workbook -> sheet (UTF-8) -> its cells, in manifest order.
std::map<std::string, std::vector<std::pair<std::string, SheetCells>>> Books() {
  std::map<std::string, std::vector<std::pair<std::string, SheetCells>>> books;
  for (const ManifestCell& c : ReadManifest()) {
    auto& sheets = books[c.workbook];
    if (sheets.empty() || sheets.back().first != c.sheet) sheets.push_back({c.sheet, {}});
    SheetCells& s = sheets.back().second;
    s.cells.push_back(c);
    if (c.row > s.rows) s.rows = c.row;
  }
  return books;
}

// The same sheet of a workbook's .xlsx and .xls, every cell A..Z of rows 1..rows.
void ReadBoth(const std::string& book, const std::string& sheetSjis, uint32_t rows, std::vector<std::string>* xlsx,
              std::vector<std::string>* xls) {
  ASSERT_EQ(0, OpenExcel(FixturePath(book + ".xlsx").c_str(), 0));
  ASSERT_EQ(0, OpenSheet(sheetSjis.c_str()));
  *xlsx = ReadGrid(rows);
  CloseExcel();
  ASSERT_EQ(0, OpenExcel(FixturePath(book + ".xls").c_str(), 0));
  ASSERT_EQ(0, OpenSheet(sheetSjis.c_str()));
  *xls = ReadGrid(rows);
  CloseExcel();
}

class XlsGridBridge : public ::testing::Test {
 protected:
  void TearDown() override { CloseExcel(); }
};

TEST_F(XlsGridBridge, EveryCellReadsAsFromTheXlsx) {
  auto books = Books();
  ASSERT_FALSE(books.empty()) << "manifest.tsv missing: the xls_workbooks fixture did not run";
  for (const auto& book : books) {
    for (const auto& sheet : book.second) {
      SCOPED_TRACE(book.first + " / " + sheet.first);
      const uint32_t rows = sheet.second.rows + 2;  // and a row past the last one
      std::vector<std::string> fromXlsx, fromXls;
      ReadBoth(book.first, Sjis(sheet.first), rows, &fromXlsx, &fromXls);
      ASSERT_FALSE(HasFatalFailure());

      // Formulas: openpyxl stores none of their results, so the .xlsx shows nothing there;
      // the .xls holds what LibreOffice computed.
      std::map<size_t, std::string> formulas;
      size_t valued = 0;
      for (const ManifestCell& c : sheet.second.cells) {
        if (c.column > 26) continue;
        size_t at = (c.row - 1) * 26 + (c.column - 1);
        if (c.kind == 'f') {
          formulas[at] = Cut255(Sjis(c.value));
          continue;
        }
        ++valued;
        EXPECT_FALSE(fromXlsx[at].empty()) << "the .xlsx shows " << Address(c.column - 1, c.row);
        if (!c.shown.empty()) {
          EXPECT_EQ(Sjis(c.shown), fromXls[at]) << Address(c.column - 1, c.row) << " as Excel shows it";
        }
      }
      ASSERT_GT(valued, 0u);
      for (size_t at = 0; at < fromXls.size(); ++at) {
        std::string address = Address(static_cast<int>(at % 26), static_cast<uint32_t>(at / 26 + 1));
        auto f = formulas.find(at);
        if (f != formulas.end()) {
          EXPECT_EQ(f->second, fromXls[at]) << "formula result in " << address;
        } else {
          EXPECT_EQ(fromXlsx[at], fromXls[at]) << address;
        }
      }
    }
  }
}

// Over 7 MB: the compound file's FAT runs on into DIFAT sectors, and the shared strings
// fill hundreds of CONTINUE records.
TEST_F(XlsGridBridge, LargeWorkbookReadsAsFromTheXlsx) {
  std::vector<unsigned char> extent = ReadFile(FixturePath("large.tsv"));
  std::string line(extent.begin(), extent.end());
  size_t tab = line.find('\t');
  ASSERT_NE(std::string::npos, tab);
  std::string sheet;
  for (size_t i = 0; i + 1 < tab; i += 2) sheet += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
  uint32_t rows = static_cast<uint32_t>(std::stoul(line.substr(tab + 1)));
  ASSERT_GT(rows, 10000u);
  std::vector<std::string> fromXlsx, fromXls;
  ReadBoth("large", Sjis(sheet), rows + 1, &fromXlsx, &fromXls);
  ASSERT_FALSE(HasFatalFailure());
  size_t valued = 0, differ = 0;
  for (size_t at = 0; at < fromXls.size(); ++at) {
    if (!fromXlsx[at].empty()) ++valued;
    if (fromXlsx[at] != fromXls[at] && ++differ <= 5)
      ADD_FAILURE() << Address(static_cast<int>(at % 26), static_cast<uint32_t>(at / 26 + 1)) << ": .xlsx \""
                    << fromXlsx[at] << "\", .xls \"" << fromXls[at] << "\"";
  }
  EXPECT_EQ(0u, differ);
  EXPECT_EQ(4u * rows, valued);
}

TEST_F(XlsGridBridge, ChosenByContentAndFailingWhenDamaged) {
  std::vector<unsigned char> file = ReadFile(FixturePath("values.xls"));
  ASSERT_GT(file.size(), 4096u);
  struct Case {
    const char* what;
    size_t keep;          // bytes of the file kept
    bool opens, selects;  // OpenExcel and OpenSheet succeed
  };
  const Case cases[] = {
      {"whole file under another name", file.size(), true, true},
      {"cut after the directory", file.size() - 4096, false, false},
      {"cut to its header", 512, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = FixturePath("copy of values.dat");
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    std::fwrite(file.data(), 1, c.keep, f);
    std::fclose(f);
    EXPECT_EQ(c.opens, OpenExcel(path.c_str(), 0) == 0);
    EXPECT_EQ(c.selects, OpenSheet(Sjis("顧客一覧").c_str()) == 0);
    char value[256] = "unchanged";
    int has = GetCell("A1", value);
    EXPECT_EQ(c.selects, has != 0);
    EXPECT_EQ(c.selects ? Sjis("名前") : "", value);
    EXPECT_NE(0, OpenSheet(Sjis("顧客").c_str())) << "sheet names match exactly";
    CloseExcel();
    std::remove(path.c_str());
  }
}

}  // namespace
