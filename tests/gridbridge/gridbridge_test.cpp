// GridBridge through its C interface, on workbooks and text files written by
// make_workbooks.py (openpyxl) before this program runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "text/sjis_text.h"
#include "gridbridge/gridbridge.h"
#include "platform/codepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string Sjis(const char* utf8) { return platform::Utf8ToCp932(utf8, std::strlen(utf8)); }

std::string Fixture(const char* utf8Name) { return Sjis((std::string(GRIDBRIDGE_FIXTURE_DIR) + "/" + utf8Name).c_str()); }

// The cell's value, or "<none>" when GetCell reports none (the buffer must then be empty).
std::string Cell(const char* address) {
  char value[256];
  std::memset(value, 'X', sizeof value);
  int r = GetCell(address, value);
  if (r == 0) return value[0] == '\0' ? "<none>" : "<none but buffer holds: " + std::string(value, 8) + ">";
  return value;
}

class GridBridge : public ::testing::Test {
 protected:
  void TearDown() override { CloseExcel(); }
  void Open(const char* file, const char* sheetUtf8) {
    ASSERT_EQ(0, OpenExcel(Fixture(file).c_str(), 0)) << file;
    ASSERT_EQ(0, OpenSheet(Sjis(sheetUtf8).c_str())) << file << " / " << sheetUtf8;
  }
};

struct CellCase {
  const char* address;
  const char* expectedUtf8;
};

void ExpectCells(const char* what, const CellCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    std::string expected = std::strcmp(cases[i].expectedUtf8, "<none>") ? Sjis(cases[i].expectedUtf8) : "<none>";
    EXPECT_EQ(expected, Cell(cases[i].address)) << what << " " << cases[i].address;
  }
}

const CellCase kValueCases[] = {
      // Shared strings, a rich-text string without its phonetic reading, spaces kept.
      {"A1", "会社名"}, {"B1", "氏名"}, {"C1", "メール"}, {"E1", "備考"},
      {"A2", "株式会社山田商事"}, {"B2", "山田 太郎"}, {"C2", "taro@example.jp"},
      {"E2", "太字 と標準"}, {"F2", "  前後に空白 "}, {"G2", "改\r\n行 _x0041_"},
      // Numbers: integers without a decimal point, others with at most 15 significant digits.
      {"A3", "3000000000"}, {"B3", "1234"}, {"C3", "3.14159265358979"}, {"D3", "0.3"},
      {"E3", "0.333333333333333"}, {"F3", "1E+20"}, {"G3", "-42"}, {"H3", "1.5E-07"},
      {"I3", "123456789012.5"}, {"P3", "0"}, {"Q3", "-0.5"},
      // Booleans, errors, cached formula results, an inline string.
      {"J3", "TRUE"}, {"K3", "FALSE"}, {"L3", "#N/A"}, {"M3", "3"}, {"N3", "東京都"},
      {"O3", "インライン"}, {"R3", "#DIV/0!"}, {"S3", "#DIV/0!"},
      // Numbers as Excel shows them through their formats: openpyxl's yyyy-mm-dd h:mm:ss,
      // h:mm:ss, yyyy"年"m"月"d"日", 0.00, "day "0, [h]:mm:ss, m/d/yy h:mm (built-in 22, which
      // Japanese Excel shows as yyyy/m/d h:mm), mmm-yy, [Red]0, [hh]:mm; 23:59:59.8 rounds up.
      {"A4", "2024-03-05"}, {"B4", "2024-03-05 14:07:09"}, {"C4", "9:30:00"}, {"D4", "2024年3月5日"},
      {"E4", "45356.00"}, {"F4", "day 45356"}, {"G4", "18:00:00"}, {"H4", "2024/3/5 12:00"},
      {"I4", "Jan-23"}, {"J4", "5"}, {"K4", "1900-02-28 0:00:00"}, {"L4", "1900-03-01 0:00:00"},
      {"M4", "2025-01-01 0:00:00"}, {"N4", "36:00:00"}, {"O4", "30:00"},
      // Characters that code page 932 lacks become "?"; its extensions stay; line breaks stay.
      {"C5", "?野家"}, {"D5", "①髙ソ表"}, {"E5", "行1\n行2"},
      // The last addressable row.
      {"A999999", "最終行"},
};

TEST_F(GridBridge, XlsxValuesReadAsTheUserSeesThem) {
  // The same parts stored without compression, and with every element under a namespace prefix.
  for (const char* file : {"values.xlsx", "stored.xlsx", "prefixed.xlsx"}) {
    Open(file, "顧客一覧");
    ExpectCells(file, kValueCases, sizeof kValueCases / sizeof kValueCases[0]);
  }
}

TEST_F(GridBridge, EmptyMissingAndInvalidAddressesGiveNothing) {
  Open("values.xlsx", "顧客一覧");
  const char* addresses[] = {"D1", "Z1", "F5", "A6", "A998", "A1000000", "[1", "@1", "a1", "AA1",
                             "A0", "A01", "A", "1", "", "A1 ", "A-1", "A1234567", "$A$1"};
  for (const char* a : addresses) EXPECT_EQ("<none>", Cell(a)) << "\"" << a << "\"";
  EXPECT_EQ(0, GetCell(nullptr, nullptr));
  char value[256] = "X";
  EXPECT_EQ(0, GetCell(nullptr, value));
  EXPECT_EQ('\0', value[0]);
}

TEST_F(GridBridge, HeaderScanStopsAtTheGapAndAfterZ) {
  Open("values.xlsx", "顧客一覧");
  std::string names;
  char address[8];
  char value[256];
  for (char column = 'A';; ++column) {
    std::snprintf(address, sizeof address, "%c1", column);
    if (GetCell(address, value) == 0) break;
    names += std::string(value) + "|";
  }
  EXPECT_EQ(Sjis("会社名|氏名|メール|"), names);
  // Even with every header cell filled, the scan ends at "[1".
  EXPECT_EQ(0, GetCell("[1", value));
}

TEST_F(GridBridge, LongValuesAreCutBetweenCharacters) {
  Open("values.xlsx", "顧客一覧");
  std::string a;
  for (int i = 0; i < 300; ++i) a += "あ";
  // 300 double-byte characters: 127 of them fit; after one ASCII byte, 127 fill all 255 bytes.
  struct {
    const char* address;
    std::string full;
    size_t expectedLength;
  } cases[] = {{"A5", Sjis(a.c_str()), 254}, {"B5", Sjis(("a" + a).c_str()), 255}};
  for (const auto& c : cases) {
    char value[256];
    ASSERT_NE(0, GetCell(c.address, value)) << c.address;
    size_t len = std::strlen(value);
    EXPECT_EQ(c.expectedLength, len) << c.address;
    EXPECT_EQ(0, c.full.compare(0, len, value)) << c.address << ": not a prefix of the cell's text";
    size_t i = 0;
    while (i < len) i += IsLeadByte(static_cast<unsigned char>(value[i])) ? 2 : 1;
    EXPECT_EQ(len, i) << c.address << ": the last character is cut in two";
  }
}

TEST_F(GridBridge, SheetsAreFoundByExactName) {
  ASSERT_EQ(0, OpenExcel(Fixture("values.xlsx").c_str(), 0));
  const char* wrong[] = {"支店", "支店 一覧 ", "顧客一覧x", "", "Sheet1"};
  for (const char* name : wrong) {
    EXPECT_NE(0, OpenSheet(Sjis(name).c_str())) << name;
    EXPECT_EQ("<none>", Cell("A1")) << "after failing to open " << name;
  }
  EXPECT_NE(0, OpenSheet(nullptr));
  // The second sheet has an empty A1: the header scan finds nothing at all.
  ASSERT_EQ(0, OpenSheet(Sjis("支店 一覧").c_str()));
  EXPECT_EQ("<none>", Cell("A1"));
  EXPECT_EQ(Sjis("支店名"), Cell("B1"));
  EXPECT_EQ(Sjis("大阪"), Cell("A2"));
  // Switching back reads the first sheet again.
  ASSERT_EQ(0, OpenSheet(Sjis("顧客一覧").c_str()));
  EXPECT_EQ(Sjis("会社名"), Cell("A1"));
}

TEST_F(GridBridge, OtherWorkbooks) {
  Open("dates1904.xlsx", "日付");
  EXPECT_EQ("2024-03-05", Cell("A1"));
  EXPECT_EQ("1904-01-02 6:00:00", Cell("A2"));
  // ISO 8601 texts (cell type "d") through their date formats, as Excel shows them.
  Open("isodates.xlsx", "ISO");
  EXPECT_EQ("2024-03-05 14:07:09", Cell("A1"));
  EXPECT_EQ("2024-03-05", Cell("A2"));
  EXPECT_EQ("9:30:00", Cell("A3"));
  // A Japanese file name reaches the file system through the Shift-JIS path.
  Open("顧客リスト.xlsx", "Sheet1");
  EXPECT_EQ(Sjis("日本語のファイル名"), Cell("A1"));
}

TEST_F(GridBridge, CsvFilesInEveryEncoding) {
  struct {
    const char* file;
    CellCase cells[6];
  } files[] = {
      {"utf8_bom.csv",
       {{"A1", "氏名"}, {"B2", "株式会社 山田, 本社"}, {"C2", "taro@example.jp"}, {"A3", "引用\"符"}, {"B3", "<none>"}, {"C3", "x"}}},
      {"utf8.csv", {{"A1", "名前"}, {"B1", "メモ"}, {"A2", "高橋"}, {"B2", "①と?"}, {"A3", "<none>"}, {"C1", "<none>"}}},
      {"sjis.csv",
       {{"A1", "氏名"}, {"B2", "東京都\r\n千代田区"}, {"C2", "表示"}, {"B3", "大阪府\n北区"}, {"C3", "ソ"}, {"A4", "長文"}}},
      {"utf16.csv", {{"A1", "氏名"}, {"B1", "メモ"}, {"A2", "伊藤"}, {"B2", "改行\r\nあり"}, {"A3", "<none>"}, {"C2", "<none>"}}},
  };
  for (const auto& f : files) {
    ASSERT_EQ(0, OpenExcel(Fixture(f.file).c_str(), 0)) << f.file;
    // Any sheet name selects the one table.
    ASSERT_EQ(0, OpenSheet(Sjis("何でも").c_str())) << f.file;
    ExpectCells(f.file, f.cells, sizeof f.cells / sizeof f.cells[0]);
  }
  // sjis.csv: a 300-character field is cut to 127 characters.
  Open("sjis.csv", "x");
  char value[256];
  ASSERT_NE(0, GetCell("B4", value));
  EXPECT_EQ(254u, std::strlen(value));
  // An empty file is an empty table.
  Open("empty.csv", "x");
  EXPECT_EQ("<none>", Cell("A1"));
}

TEST_F(GridBridge, BadFilesAreRefused) {
  // stage 1: OpenExcel must fail; stage 2: OpenExcel may succeed, OpenSheet must fail.
  struct {
    const char* file;
    int stage;
  } cases[] = {
      {"no_such_file.xlsx", 1},   {"not_workbook.bin", 1},      {"legacy.xls", 1},
      {"truncated.xlsx", 1},      {"no_workbook.xlsx", 1},      {"bad_workbook_xml.xlsx", 1},
      {"bad_tag.xlsx", 2},        {"cut_sheet.xlsx", 2},        {"bad_deflate.xlsx", 2},
      {"bomb_lying.xlsx", 2},     {"bomb_huge.xlsx", 2},        {"missing_sheet.xlsx", 2},
      {"bad_string_index.xlsx", 2}, {"absurd_row.xlsx", 2},
  };
  for (const auto& c : cases) {
    int opened = OpenExcel(Fixture(c.file).c_str(), 0);
    if (c.stage == 1) {
      EXPECT_NE(0, opened) << c.file;
      EXPECT_NE(0, OpenSheet(Sjis("顧客一覧").c_str())) << c.file << ": a sheet without a workbook";
    } else {
      ASSERT_EQ(0, opened) << c.file;
      EXPECT_NE(0, OpenSheet(Sjis("顧客一覧").c_str())) << c.file;
    }
    EXPECT_EQ("<none>", Cell("A1")) << c.file;
    CloseExcel();
  }
  // A damaged sheet spoils neither its good neighbour nor the next workbook.
  Open("missing_sheet.xlsx", "支店 一覧");
  EXPECT_EQ(Sjis("支店名"), Cell("B1"));
  Open("values.xlsx", "顧客一覧");
  EXPECT_EQ(Sjis("会社名"), Cell("A1"));
}

TEST_F(GridBridge, WhitespaceAndCdataTextIsKept) {
  Open("whitespace.xlsx", "空白");
  const CellCase cases[] = {
      // Rich-text runs of a single space, kept between the others; spaces and tabs around or alone.
      {"A1", "test3 aaa"}, {"B1", "Excel 2010 (ALWAYS"}, {"C1", "  前後  "}, {"D1", "\t"},
      // CDATA sections, alone and among plain text; the indentation between runs is no text.
      {"E1", "<b>&amp;</b>"}, {"F1", "a b c"}, {"G1", "A B"}, {"H1", "<none>"},
      // Blank runs with and without xml:space, spaced tags, and empty runs between them.
      {"I1", "a  b"},
      // An inline string in CDATA, one of spaces alone, a formula's result of tabs and spaces,
      // a number in CDATA, inline rich text.
      {"A2", "Hello CDATA"}, {"B2", "   "}, {"C2", "\t   \t"}, {"D2", "42"}, {"E2", "名前 太郎"},
  };
  ExpectCells("whitespace.xlsx", cases, sizeof cases / sizeof cases[0]);
}

TEST_F(GridBridge, IrregularPackagesAreRead) {
  // Member names written with backslashes (xl\workbook.xml).
  Open("backslash.xlsx", "Sheet1");
  EXPECT_EQ(Sjis("氏名"), Cell("A1"));
  EXPECT_EQ("12", Cell("B1"));
  // Every part in UTF-16 (shared strings big endian without a byte order mark); the yen sign
  // comes out as the full-width yen, a character 932 lacks as "?".
  Open("utf16.xlsx", "表1");
  EXPECT_EQ(Sjis("Summe ￥"), Cell("A1"));
  EXPECT_EQ(Sjis("日本語?"), Cell("B1"));
  EXPECT_EQ("40800", Cell("C1"));
  // Macro and dialog sheets of an .xlsm are sheets like any other; a dialog sheet holds no cells.
  Open("macro.xlsm", "Macro1");
  EXPECT_EQ(Sjis("マクロ"), Cell("A1"));
  Open("macro.xlsm", "Dialog1");
  EXPECT_EQ("<none>", Cell("A1"));
  Open("macro.xlsm", "Sheet1");
  EXPECT_EQ(Sjis("氏名"), Cell("A1"));
  // Rows and cells without a usable r (none, "", "0", no column, past XFD) follow the one
  // before them, as Excel places them.
  Open("noref.xlsx", "Sheet1");
  const CellCase cases[] = {
      {"A1", "a"}, {"B1", "b"}, {"C2", "c"}, {"D2", "d"}, {"E2", "e"}, {"A5", "f"},
      {"B5", "g"}, {"E5", "h"}, {"A6", "i"}, {"A2", "<none>"}, {"C1", "<none>"}, {"E9", "<none>"},
  };
  ExpectCells("noref.xlsx", cases, sizeof cases / sizeof cases[0]);
}

// Each row of formats.xlsx: a format code, a value through it, and what Excel shows.
TEST_F(GridBridge, NumbersReadAsExcelShowsThem) {
  Open("formats.xlsx", "書式");
  int rows = 0;
  char address[16];
  for (int row = 1;; ++row) {
    std::snprintf(address, sizeof address, "A%d", row);
    std::string format = Cell(address);
    if (format == "<none>") break;
    ++rows;
    std::snprintf(address, sizeof address, "C%d", row);
    std::string shown = Cell(address);
    std::snprintf(address, sizeof address, "B%d", row);
    EXPECT_EQ(shown, Cell(address)) << "format " << format;
  }
  EXPECT_GE(rows, 30);
}

TEST_F(GridBridge, CsvWithAnUnclosedQuoteReadsTheRestAsOneField) {
  Open("unterminated.csv", "x");
  const CellCase cases[] = {
      {"A1", "a"}, {"B1", "b"}, {"A2", "1"}, {"B2", "never closed\r\n2,3\r\n"}, {"A3", "<none>"}, {"B3", "<none>"},
  };
  ExpectCells("unterminated.csv", cases, sizeof cases / sizeof cases[0]);
  // The yen sign of a UTF-8 file as the full-width yen, not 0x5C.
  Open("yen.csv", "x");
  EXPECT_EQ(Sjis("￥1,200"), Cell("A2"));
}

TEST_F(GridBridge, IrregularXlsIsRead) {
  // A BOOK stream, an impossible mini FAT count, a short string table with an empty CONTINUE
  // and half a character at a seam, an empty LABEL, a 0x0206 FORMULA, a sheet offset 4 bytes off.
  Open("irregular.xls", "S1");
  const CellCase cases[] = {
      {"A1", "col1"}, {"B1", "日本語x"}, {"C1", "<none>"}, {"D1", "AAA"}, {"A2", "10x10"}, {"B2", "2.5"},
  };
  ExpectCells("irregular.xls", cases, sizeof cases / sizeof cases[0]);
}

TEST_F(GridBridge, RefusedWorkbooksTellTheirCause) {
  struct {
    const char* file;
    int expected;
  } cases[] = {
      {"暗号化.xlsx", GRIDBRIDGE_ENCRYPTED},   {"暗号化.xls", GRIDBRIDGE_ENCRYPTED},
      {"excel95.xls", GRIDBRIDGE_OLD_FORMAT},  {"excel4.xls", GRIDBRIDGE_OLD_FORMAT},
      {"binary.xlsb", GRIDBRIDGE_BINARY_FORMAT}, {"no_such_file.xlsx", GRIDBRIDGE_UNREADABLE},
      {"not_workbook.bin", GRIDBRIDGE_UNREADABLE}, {"truncated.xlsx", GRIDBRIDGE_UNREADABLE},
      {"legacy.xls", GRIDBRIDGE_UNREADABLE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, OpenExcel(Fixture(c.file).c_str(), 0)) << c.file;
    EXPECT_NE(0, OpenSheet(Sjis("Sheet1").c_str())) << c.file;
    EXPECT_EQ("<none>", Cell("A1")) << c.file;
    CloseExcel();
  }
}

TEST_F(GridBridge, CallsOutOfOrderAreHarmless) {
  EXPECT_EQ("<none>", Cell("A1"));
  CloseExcel();
  CloseExcel();
  EXPECT_NE(0, OpenSheet(Sjis("顧客一覧").c_str()));
  EXPECT_NE(0, OpenExcel(nullptr, 0));
  EXPECT_NE(0, OpenExcel("", 0));
  // A second OpenExcel replaces the first workbook, and its sheet must be opened anew.
  Open("values.xlsx", "顧客一覧");
  ASSERT_EQ(0, OpenExcel(Fixture("utf8.csv").c_str(), 0));
  EXPECT_EQ("<none>", Cell("A1"));
  ASSERT_EQ(0, OpenSheet("x"));
  EXPECT_EQ(Sjis("名前"), Cell("A1"));
  CloseExcel();
  EXPECT_EQ("<none>", Cell("A1"));
}

#ifdef _WIN32
// A spreadsheet program keeps the workbook open for writing; it must still be readable.
TEST_F(GridBridge, WorkbookHeldOpenByAnotherProgramIsRead) {
  std::wstring path = platform::Cp932ToWide(Fixture("values.xlsx").c_str());
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(0, OpenExcel(Fixture("values.xlsx").c_str(), 0));
  EXPECT_EQ(0, OpenSheet(Sjis("顧客一覧").c_str()));
  EXPECT_EQ(Sjis("会社名"), Cell("A1"));
  CloseHandle(held);
}
#endif

}  // namespace
