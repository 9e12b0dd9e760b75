// BIFF8 reader: every cell of the workbooks LibreOffice converted, checked against what
// openpyxl wrote; record streams built here for the cases a converter may not produce
// (strings split across CONTINUE records in every way, each value record kind); damaged
// streams, which must fail.
#include "gridbridge/biff8_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "gridbridge/compound_file.h"
#include "platform/codepage.h"
#include "tests/gridbridge/xls_test_util.h"

using namespace gridbridge;
using namespace xlstest;

namespace {

struct Seen {
  char kind = 0;  // n, s, b, e
  double number = 0;
  std::string text;
  const Biff8NumberFormat* format = nullptr;
};

class RecordingSink : public Biff8CellSink {
 public:
  std::map<std::pair<uint32_t, uint32_t>, Seen> cells;
  int duplicates = 0;
  void Number(uint32_t row, uint32_t column, double value, const Biff8NumberFormat& format) override {
    Seen& s = Add(row, column, 'n');
    s.number = value;
    s.format = &format;
  }
  void Text(uint32_t row, uint32_t column, const char* text, size_t len, const Biff8NumberFormat& format) override {
    Seen& s = Add(row, column, 's');
    s.text.assign(text, len);
    s.format = &format;
  }
  void Boolean(uint32_t row, uint32_t column, bool value) override { Add(row, column, 'b').number = value; }
  void Error(uint32_t row, uint32_t column, const char* text) override { Add(row, column, 'e').text = text; }
  const Seen* At(uint32_t row, uint32_t column) const {
    auto it = cells.find({row, column});
    return it == cells.end() ? nullptr : &it->second;
  }

 private:
  Seen& Add(uint32_t row, uint32_t column, char kind) {
    if (cells.count({row, column})) ++duplicates;
    Seen& s = cells[{row, column}];
    s.kind = kind;
    return s;
  }
};

std::string Sjis(const std::string& utf8) { return platform::Utf8ToCp932(utf8); }

// A cell text as the reader gives it: the yen sign U+00A5 as the full-width yen (0x818F).
std::string CellSjis(std::string utf8) {
  for (size_t at = utf8.find("\xC2\xA5"); at != std::string::npos; at = utf8.find("\xC2\xA5", at))
    utf8.replace(at, 2, "\xEF\xBF\xA5");
  return Sjis(utf8);
}

bool ParseNumber(const std::string& text, double* v) {
  char* end = nullptr;
  *v = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == 0;
}

// ---- converted workbooks ----

TEST(Biff8Reader, ReadsEveryCellOfConvertedWorkbooks) {
  std::vector<ManifestCell> manifest = ReadManifest();
  ASSERT_FALSE(manifest.empty()) << "manifest.tsv missing: the xls_workbooks fixture did not run";
  std::map<std::string, std::vector<std::string>> sheetsOf;  // workbook -> sheet names in order
  for (const ManifestCell& c : manifest) {
    auto& v = sheetsOf[c.workbook];
    if (v.empty() || v.back() != c.sheet) v.push_back(c.sheet);
  }
  for (const auto& book : sheetsOf) {
    SCOPED_TRACE(book.first);
    std::vector<unsigned char> file = ReadFile(FixturePath(book.first + ".xls"));
    Biff8Workbook wb;
    ASSERT_EQ(kReadOk, wb.Load(file.data(), file.size()));
    EXPECT_EQ(book.first == "dates1904", wb.Date1904());
    ASSERT_EQ(book.second.size(), wb.Sheets().size());
    for (size_t i = 0; i < book.second.size(); ++i) {
      const std::string sheet = book.second[i];
      SCOPED_TRACE(sheet);
      EXPECT_EQ(Sjis(sheet), wb.Sheets()[i].name);
      ASSERT_EQ(static_cast<int>(i), wb.FindSheet(Sjis(sheet).c_str()));
      RecordingSink sink;
      ASSERT_EQ(kReadOk, wb.ReadSheet(i, sink));
      EXPECT_EQ(0, sink.duplicates);
      size_t expected = 0;
      for (const ManifestCell& c : manifest) {
        if (c.workbook != book.first || c.sheet != sheet) continue;
        SCOPED_TRACE(testing::Message() << "row " << c.row << " column " << c.column << " kind " << c.kind);
        char kind = c.kind;
        std::string want = c.value;
        double number = 0;
        if (kind == 'f') {  // a formula: its cached result
          if (want.empty()) continue;  // an empty text result is no value
          kind = (want == "TRUE" || want == "FALSE") ? 'b' : want[0] == '#' ? 'e' : ParseNumber(want, &number) ? 'n' : 's';
          if (kind == 'b') want = want == "TRUE" ? "1" : "0";
        }
        ++expected;
        const Seen* s = sink.At(c.row - 1, c.column - 1);
        ASSERT_NE(nullptr, s);
        switch (kind) {
          case 's':
            EXPECT_EQ('s', s->kind);
            EXPECT_EQ(CellSjis(want), s->text);
            break;
          case 'e':
            EXPECT_EQ('e', s->kind);
            EXPECT_EQ(want, s->text);
            break;
          case 'b':
            EXPECT_EQ('b', s->kind);
            EXPECT_EQ(want == "1", s->number != 0);
            break;
          case 'n':
            EXPECT_EQ('n', s->kind);
            ASSERT_TRUE(ParseNumber(want, &number));
            EXPECT_EQ(number, s->number);
            break;
          case 'd':
            EXPECT_EQ('n', s->kind);
            ASSERT_TRUE(ParseNumber(want, &number));
            EXPECT_NEAR(number, s->number, 1e-6);
            ASSERT_NE(nullptr, s->format);
            EXPECT_FALSE(s->format->code.empty() || s->format->code == "General") << s->format->code;
            break;
        }
      }
      EXPECT_EQ(expected, sink.cells.size()) << "cells that openpyxl did not write";
    }
  }
}

// The converted workbook must hold the records this suite means to cover; otherwise the
// test above would pass without exercising them.
TEST(Biff8Reader, ConvertedWorkbookUsesEveryRecordKind) {
  std::vector<unsigned char> file = ReadFile(FixturePath("values.xls"));
  CompoundFile cf;
  ASSERT_EQ(kReadOk, cf.Open(file.data(), file.size()));
  std::vector<unsigned char> s;
  ASSERT_EQ(kReadOk, cf.ReadStream("Workbook", s));
  std::map<uint32_t, int> count;
  int continuesAfterSst = 0;
  uint32_t previous = 0;
  for (size_t pos = 0; pos + 4 <= s.size(); pos += 4 + Get16(s, pos + 2)) {
    uint32_t type = Get16(s, pos);
    ++count[type];
    if (type == 0x003C && (previous == 0x00FC || (previous == 0x003C && continuesAfterSst > 0))) ++continuesAfterSst;
    previous = type;
  }
  EXPECT_GE(continuesAfterSst, 2) << "shared strings spanning CONTINUE records";
  EXPECT_GT(count[0x00BD], 0) << "MULRK";
  EXPECT_GT(count[0x027E], 0) << "RK";
  EXPECT_GT(count[0x0203], 0) << "NUMBER";
  EXPECT_GT(count[0x00FD], 0) << "LABELSST";
  EXPECT_GT(count[0x0207], 0) << "STRING after a FORMULA";
  EXPECT_GT(count[0x041E], 0) << "FORMAT";
}

// ---- streams built here ----

using Bytes = std::vector<unsigned char>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes U16(uint32_t v) {
  Bytes b;
  Put16(b, v);
  return b;
}
Bytes U32(uint32_t v) {
  Bytes b;
  Put32(b, v);
  return b;
}
Bytes Wide(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s) Put16(b, c);
  return b;
}
Bytes Narrow(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Double(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return U32(static_cast<uint32_t>(bits)) + U32(static_cast<uint32_t>(bits >> 32));
}
// XLUnicodeString: 16-bit count, flags, characters.
Bytes Str(const std::u16string& s) { return U16(static_cast<uint32_t>(s.size())) + Bytes{1} + Wide(s); }
Bytes Str(const std::string& s) { return U16(static_cast<uint32_t>(s.size())) + Bytes{0} + Narrow(s); }
Bytes Cell(uint32_t row, uint32_t column, uint32_t xf) { return U16(row) + U16(column) + U16(xf); }
uint32_t RkInt(int32_t v, bool x100 = false) { return (static_cast<uint32_t>(v) << 2) | 2 | (x100 ? 1 : 0); }
uint32_t RkDouble(double v, bool x100 = false) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return (static_cast<uint32_t>(bits >> 32) & 0xFFFFFFFCu) | (x100 ? 1 : 0);
}

struct Rec {
  uint32_t type;
  Bytes data;
};

Bytes Bof(uint32_t kind, uint32_t version = 0x0600) { return U16(version) + U16(kind) + U32(0) + U32(0) + U32(0); }

void Append(Bytes& s, const Rec& r) {
  Put16(s, r.type);
  Put16(s, static_cast<uint32_t>(r.data.size()));
  s.insert(s.end(), r.data.begin(), r.data.end());
}

// Globals (with the given records before the sheet list), one worksheet named "S1" and a
// chart sheet, then the worksheet's substream with the given records.
Bytes Stream(const std::vector<Rec>& globals, const std::vector<Rec>& sheet) {
  Bytes s;
  Append(s, {0x0809, Bof(0x0005)});
  for (const Rec& r : globals) Append(s, r);
  size_t boundSheet = s.size() + 4;
  Append(s, {0x0085, U32(0) + Bytes{0, 0} + Bytes{2, 0} + Narrow("S1")});
  Append(s, {0x0085, U32(0) + Bytes{0, 2} + Bytes{5, 0} + Narrow("Chart")});
  Append(s, {0x000A, {}});
  Set32(s, boundSheet, static_cast<uint32_t>(s.size()));
  Append(s, {0x0809, Bof(0x0010)});
  for (const Rec& r : sheet) Append(s, r);
  Append(s, {0x000A, {}});
  return s;
}

// An SST record and its CONTINUE records from the segments given.
std::vector<Rec> Sst(uint32_t unique, const std::vector<Bytes>& segments) {
  std::vector<Rec> recs;
  for (size_t i = 0; i < segments.size(); ++i)
    recs.push_back({i == 0 ? 0x00FCu : 0x003Cu, i == 0 ? U32(unique) + U32(unique) + segments[0] : segments[i]});
  return recs;
}
std::vector<Rec> LabelSsts(uint32_t n) {
  std::vector<Rec> recs;
  for (uint32_t i = 0; i < n; ++i) recs.push_back({0x00FD, Cell(i, 0, 0) + U32(i)});
  return recs;
}
Bytes Head(uint32_t count, unsigned char flags) { return U16(count) + Bytes{flags}; }

TEST(Biff8Reader, SharedStringsAcrossContinueRecords) {
  struct Case {
    const char* what;
    std::vector<Bytes> segments;
    std::vector<std::string> strings;
  };
  const Case cases[] = {
      {"wide, then one byte a character after the seam",
       {Head(4, 1) + Wide(u"日本"), Bytes{0} + Narrow("ab")}, {"日本ab"}},
      {"one byte a character, then wide after the seam",
       {Head(4, 0) + Narrow("ab"), Bytes{1} + Wide(u"日本")}, {"ab日本"}},
      {"over two seams", {Head(6, 1) + Wide(u"一二"), Bytes{1} + Wide(u"三四"), Bytes{0} + Narrow("56")}, {"一二三四56"}},
      {"a string ending at the seam: the next one has no extra flags byte",
       {Head(2, 0) + Narrow("ab"), Head(1, 1) + Wide(u"次")}, {"ab", "次"}},
      {"a string header split by the seam",
       {Head(1, 0) + Narrow("a") + Bytes{2}, Bytes{0, 1} + Wide(u"日本")}, {"a", "日本"}},
      {"rich-text runs and phonetic data split by the seam",
       {Head(2, 0x0D) + U16(2) + U32(6) + Wide(u"日本") + U32(0x00010000), U32(0x00020001) + Bytes(6, 0xEE) + Head(1, 0) + Narrow("z")},
       {"日本", "z"}},
      {"phonetic data alone", {Head(1, 0x05) + U32(4) + Wide(u"漢") + U32(0xFFFFFFFF) + Head(2, 0) + Narrow("ok")}, {"漢", "ok"}},
      {"a character code page 932 lacks", {Head(3, 1) + Wide(u"a\U00020BB7")}, {"a?"}},
      {"Latin-1 in one byte a character", {Head(2, 0) + Bytes{0x41, 0xE9}}, {"A\xC3\xA9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint32_t n = static_cast<uint32_t>(c.strings.size());
    Biff8Workbook wb;
    ASSERT_EQ(kReadOk, wb.LoadStream(Stream(Sst(n, c.segments), LabelSsts(n))));
    RecordingSink sink;
    ASSERT_EQ(kReadOk, wb.ReadSheet(0, sink));
    ASSERT_EQ(n, sink.cells.size());
    for (uint32_t i = 0; i < n; ++i) {
      ASSERT_NE(nullptr, sink.At(i, 0));
      EXPECT_EQ(Sjis(c.strings[i]), sink.At(i, 0)->text);
    }
  }
}

TEST(Biff8Reader, ValueRecords) {
  std::vector<Rec> globals = {
      {0x0022, U16(1)},                                  // DATEMODE: 1904
      {0x041E, U16(164) + Str(std::string("yyyy/mm/dd"))},  // FORMAT
      {0x00E0, U16(0) + U16(0) + Bytes(16, 0)},          // XF 0: General
      {0x00E0, U16(0) + U16(164) + Bytes(16, 0)},        // XF 1: the custom format
      {0x00E0, U16(0) + U16(14) + Bytes(16, 0)},         // XF 2: a built-in date format
  };
  std::vector<Rec> sheet = {
      {0x027E, Cell(0, 0, 0) + U32(RkInt(123))},
      {0x027E, Cell(0, 1, 0) + U32(RkInt(-5))},
      {0x027E, Cell(0, 2, 0) + U32(RkInt(1234, true))},
      {0x027E, Cell(0, 3, 0) + U32(RkDouble(0.5))},
      {0x027E, Cell(0, 4, 0) + U32(RkDouble(1.5, true))},
      {0x00BD, U16(1) + U16(2) + U16(0) + U32(RkInt(7)) + U16(1) + U32(RkInt(45000)) + U16(2) + U32(RkInt(1)) + U16(4)},
      {0x0203, Cell(2, 0, 0) + Double(9012345678.0)},
      {0x0203, Cell(2, 1, 7) + Double(-0.125)},  // an XF beyond the table: General
      {0x0205, Cell(3, 0, 0) + Bytes{1, 0}},
      {0x0205, Cell(3, 1, 0) + Bytes{0, 0}},
      {0x0205, Cell(3, 2, 0) + Bytes{0x07, 1}},
      {0x0204, Cell(4, 0, 0) + Str(u"ラベル")},
      {0x0204, Cell(4, 1, 0) + Str(std::string("plain"))},
      {0x0006, Cell(5, 0, 0) + Double(3.5) + U16(0) + U32(0) + U16(0)},
      {0x0006, Cell(5, 1, 0) + Bytes{0, 0, 0, 0, 0, 0, 0xFF, 0xFF} + U16(8) + U32(0) + U16(0)},
      {0x04BC, Bytes(10, 0)},  // a shared formula between the FORMULA and its STRING
      {0x0207, Str(u"結果")},
      {0x0006, Cell(5, 2, 0) + Bytes{1, 0, 1, 0, 0, 0, 0xFF, 0xFF} + U16(0) + U32(0) + U16(0)},
      {0x0006, Cell(5, 3, 0) + Bytes{2, 0, 0x2A, 0, 0, 0, 0xFF, 0xFF} + U16(0) + U32(0) + U16(0)},
      {0x0006, Cell(5, 4, 0) + Bytes{3, 0, 0, 0, 0, 0, 0xFF, 0xFF} + U16(0) + U32(0) + U16(0)},
      {0x0006, Cell(6, 0, 0) + Bytes{0, 0, 0, 0, 0, 0, 0xFF, 0xFF} + U16(0) + U32(0) + U16(0)},
      {0x0207, U16(5) + Bytes{1} + Wide(u"長い")},
      {0x003C, Bytes{0} + Narrow("abc")},
      {0x0207, Str(u"迷子")},  // a STRING without its FORMULA: no cell
      // An embedded chart: its records are not the sheet's.
      {0x0809, Bof(0x0020)},
      {0x0203, Cell(50, 0, 0) + Double(1)},
      {0x000A, {}},
      {0x00FD + 0x1000, Cell(51, 0, 0)},  // an unknown record
      {0x0203, Cell(7, 25, 0) + Double(26)},
  };
  Biff8Workbook wb;
  ASSERT_EQ(kReadOk, wb.LoadStream(Stream(globals, sheet)));
  EXPECT_TRUE(wb.Date1904());
  ASSERT_EQ(1u, wb.Sheets().size()) << "the chart sheet is no sheet of cells";
  EXPECT_EQ("S1", wb.Sheets()[0].name);
  EXPECT_EQ(-1, wb.FindSheet("Chart"));
  RecordingSink sink;
  ASSERT_EQ(kReadOk, wb.ReadSheet(0, sink));

  struct Want {
    uint32_t row, column;
    char kind;
    double number;
    const char* text;  // UTF-8 for texts; the format code for numbers ("" for none)
    int formatId;
  };
  const Want wants[] = {
      {0, 0, 'n', 123, "", 0},     {0, 1, 'n', -5, "", 0},       {0, 2, 'n', 12.34, "", 0},
      {0, 3, 'n', 0.5, "", 0},     {0, 4, 'n', 0.015, "", 0},    {1, 2, 'n', 7, "", 0},
      {1, 3, 'n', 45000, "yyyy/mm/dd", 164},                     {1, 4, 'n', 1, "", 14},
      {2, 0, 'n', 9012345678.0, "", 0},                          {2, 1, 'n', -0.125, "", 0},
      {3, 0, 'b', 1, nullptr, 0},  {3, 1, 'b', 0, nullptr, 0},   {3, 2, 'e', 0, "#DIV/0!", 0},
      {4, 0, 's', 0, "ラベル", 0}, {4, 1, 's', 0, "plain", 0},   {5, 0, 'n', 3.5, "", 0},
      {5, 1, 's', 0, "結果", 0},   {5, 2, 'b', 1, nullptr, 0},   {5, 3, 'e', 0, "#N/A", 0},
      {6, 0, 's', 0, "長いabc", 0}, {7, 25, 'n', 26, "", 0},
  };
  for (const Want& w : wants) {
    SCOPED_TRACE(testing::Message() << "row " << w.row << " column " << w.column);
    const Seen* s = sink.At(w.row, w.column);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(w.kind, s->kind);
    if (w.kind == 'n') {
      EXPECT_DOUBLE_EQ(w.number, s->number);
      ASSERT_NE(nullptr, s->format);
      EXPECT_EQ(w.formatId, s->format->id);
      EXPECT_EQ(w.text, s->format->code);
    } else if (w.kind == 'b') {
      EXPECT_EQ(w.number != 0, s->number != 0);
    } else {
      EXPECT_EQ(Sjis(w.text), s->text);
    }
  }
  EXPECT_EQ(sizeof(wants) / sizeof(wants[0]), sink.cells.size()) << "no cell for an empty formula text, a stray STRING or a chart";
  EXPECT_EQ(0, sink.duplicates);
}

TEST(Biff8Reader, DamagedStreamsFail) {
  const std::vector<Rec> sst = Sst(2, {Head(2, 0) + Narrow("ab"), Head(1, 1) + Wide(u"次")});
  struct Case {
    const char* what;
    int expected;
    std::vector<Rec> globals, sheet;
    size_t cutAtEnd;  // bytes removed from the end of the stream
  };
  const Case cases[] = {
      {"sheet without its EOF", kReadDamaged, {}, {{0x0203, Cell(0, 0, 0) + Double(1)}}, 4},
      {"record running past the stream", kReadDamaged, {}, {{0x0203, Cell(0, 0, 0) + Double(1)}}, 6},
      {"string longer than its record", kReadDamaged, Sst(1, {Head(50, 0) + Narrow("ab")}), {}, 0},
      {"a string cut inside its last record", kReadDamaged, Sst(1, {Head(4, 1) + Wide(u"日本") + Bytes{0x2C}}), {}, 0},
      {"phonetic data longer than what is left", kReadDamaged, Sst(1, {Head(1, 0x04) + U32(0x7FFFFFFF) + Narrow("a")}), {}, 0},
      {"shared string index beyond the table", kReadDamaged, sst, {{0x00FD, Cell(0, 0, 0) + U32(2)}}, 0},
      {"short LABELSST", kReadDamaged, sst, {{0x00FD, Cell(0, 0, 0) + U16(0)}}, 0},
      {"short NUMBER", kReadDamaged, {}, {{0x0203, Cell(0, 0, 0) + U32(0)}}, 0},
      {"MULRK with part of a cell", kReadDamaged, {}, {{0x00BD, U16(0) + U16(0) + U16(0) + U32(RkInt(1)) + U16(0) + U16(1)}}, 0},
      {"LABEL longer than its record", kReadDamaged, {}, {{0x0204, Cell(0, 0, 0) + U16(9) + Bytes{1} + Wide(u"短")}}, 0},
      {"FORMULA too short", kReadDamaged, {}, {{0x0006, Cell(0, 0, 0) + Double(1)}}, 0},
      {"STRING longer than its records", kReadDamaged, {}, {{0x0207, U16(9) + Bytes{0} + Narrow("abc")}, {0x003C, Bytes{0} + Narrow("d")}}, 0},
      {"password-protected", kReadEncrypted, {{0x002F, U16(1) + Bytes(52, 0)}}, {}, 0},
      {"BOUNDSHEET too short", kReadDamaged, {{0x0085, U32(0)}}, {}, 0},
      {"XF too short", kReadDamaged, {{0x00E0, U16(0)}}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes s = Stream(c.globals, c.sheet);
    s.resize(s.size() - c.cutAtEnd);
    Biff8Workbook wb;
    int r = wb.LoadStream(s);
    RecordingSink sink;
    if (r == kReadOk) r = wb.ReadSheet(0, sink);
    EXPECT_EQ(c.expected, r);
  }

  // Streams of older versions (BIFF5 of Excel 5 and 95, the BOF records of BIFF2 to BIFF4),
  // streams that are no workbook, and sheet offsets that lead nowhere.
  Biff8Workbook wb;
  for (uint32_t bof : {0x0809u, 0x0409u, 0x0209u, 0x0009u}) {
    Bytes old;
    Append(old, {bof, Bof(0x0005, bof == 0x0809 ? 0x0500 : 0x0000)});
    Append(old, {0x000A, {}});
    EXPECT_EQ(kReadOldFormat, wb.LoadStream(old)) << std::hex << bof;
  }
  EXPECT_EQ(kReadNotThisFormat, wb.LoadStream(Bytes{}));
  EXPECT_EQ(kReadNotThisFormat, wb.LoadStream(Bytes{0x09, 0x08, 0x02}));
  Bytes text = Narrow("name,phone\n");
  EXPECT_EQ(kReadNotThisFormat, wb.Load(text.data(), text.size()));
  for (uint32_t offset : {0x00FFFFFFu, 3u, 0u}) {
    SCOPED_TRACE(offset);
    Bytes s = Stream({}, {{0x0203, Cell(0, 0, 0) + Double(1)}});
    Set32(s, 20 + 4, offset);  // the BOUNDSHEET right after the 20-byte BOF record
    RecordingSink sink;
    ASSERT_EQ(kReadOk, wb.LoadStream(s));
    EXPECT_NE(kReadOk, wb.ReadSheet(0, sink)) << "offset " << offset;
  }
  RecordingSink sink;
  EXPECT_EQ(kReadNoSuchSheet, wb.ReadSheet(5, sink));
  // A failed load leaves nothing of the workbook loaded before.
  ASSERT_EQ(1u, wb.Sheets().size());
  EXPECT_EQ(kReadNotThisFormat, wb.Load(text.data(), text.size()));
  EXPECT_TRUE(wb.Sheets().empty());
  EXPECT_EQ(kReadNoSuchSheet, wb.ReadSheet(0, sink));
}

// What Excel, LibreOffice and xlrd read although it breaks the record layout: each case is
// read to the end, never refused.
TEST(Biff8Reader, IrregularStreamsAreReadAsExcelReadsThem) {
  struct Want {
    uint32_t row, column;
    const char* text;  // UTF-8; nullptr for the number 2.5
  };
  struct Case {
    const char* what;
    std::vector<Rec> globals, sheet;
    std::vector<Want> wants;
  };
  const Case cases[] = {
      {"a string table that declares more strings than it holds",
       Sst(1000, {Head(2, 0) + Narrow("ab"), Head(1, 1) + Wide(u"次")}), LabelSsts(2), {{0, 0, "ab"}, {1, 0, "次"}}},
      {"an empty CONTINUE record inside the string table",
       Sst(1, {Head(4, 1) + Wide(u"日本"), Bytes{}, Bytes{0} + Narrow("ab")}), LabelSsts(1), {{0, 0, "日本ab"}}},
      {"half a character before a seam: dropped, the next record's flags go on",
       Sst(2, {Head(4, 1) + Wide(u"日本") + Bytes{0x00}, Bytes{1} + Wide(u"語x") + Head(1, 0) + Narrow("z")}),
       LabelSsts(2), {{0, 0, "日本語x"}, {1, 0, "z"}}},
      {"a LABEL of eight bytes: an empty text",
       {}, {{0x0204, Cell(0, 0, 0) + U16(0)}, {0x0204, Cell(0, 1, 0) + Str(std::string("AAA"))}},
       {{0, 0, ""}, {0, 1, "AAA"}}},
      {"FORMULA records of the older type 0x0206",
       {}, {{0x0206, Cell(0, 0, 0) + Double(2.5) + U16(0) + U16(0)},
            {0x0206, Cell(0, 1, 0) + Bytes{0, 0, 0, 0, 0, 0, 0xFF, 0xFF} + U16(0) + U16(0)},
            {0x0207, Str(u"式")}},
       {{0, 0, nullptr}, {0, 1, "式"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Biff8Workbook wb;
    ASSERT_EQ(kReadOk, wb.LoadStream(Stream(c.globals, c.sheet)));
    RecordingSink sink;
    ASSERT_EQ(kReadOk, wb.ReadSheet(0, sink));
    EXPECT_EQ(c.wants.size(), sink.cells.size());
    for (const Want& w : c.wants) {
      const Seen* seen = sink.At(w.row, w.column);
      ASSERT_NE(nullptr, seen) << w.row << "," << w.column;
      if (w.text) {
        EXPECT_EQ('s', seen->kind);
        EXPECT_EQ(Sjis(w.text), seen->text);
      } else {
        EXPECT_EQ('n', seen->kind);
        EXPECT_DOUBLE_EQ(2.5, seen->number);
      }
    }
  }
}

// A BOUNDSHEET offset a few bytes off its sheet's BOF: the BOF nearest to it is the sheet's.
TEST(Biff8Reader, SheetFoundByItsBofNearTheRecordedOffset) {
  const Bytes good = Stream({}, {{0x0203, Cell(0, 0, 0) + Double(7)}});
  const uint32_t bof = Get32(good, 24);
  for (int delta : {0, 3, -4, 32, -32, 33, -33}) {
    SCOPED_TRACE(delta);
    Bytes s = good;
    Set32(s, 24, static_cast<uint32_t>(static_cast<int>(bof) + delta));
    Biff8Workbook wb;
    ASSERT_EQ(kReadOk, wb.LoadStream(s));
    RecordingSink sink;
    bool near = delta >= -32 && delta <= 32;
    EXPECT_EQ(near ? kReadOk : kReadDamaged, wb.ReadSheet(0, sink));
    EXPECT_EQ(near ? 1u : 0u, sink.cells.size());
  }
}

// The workbook stream under the name Excel 5 and 95 gave it, in any case; the refusals by cause.
TEST(Biff8Reader, WorkbookStreamNamesAndRefusals) {
  const Bytes biff8 = Stream({}, {{0x0203, Cell(0, 0, 0) + Double(7)}});
  Bytes biff5;
  Append(biff5, {0x0809, Bof(0x0005, 0x0500)});
  Append(biff5, {0x000A, {}});
  const Bytes encrypted = Stream({{0x002F, U16(1) + Bytes(52, 0)}}, {});
  struct Case {
    const char* what;
    std::vector<TestStream> streams;
    int expected;
  };
  const Case cases[] = {
      {"Workbook", {{"Workbook", biff8}}, kReadOk},
      {"Book", {{"Book", biff8}}, kReadOk},
      {"BOOK beside other streams", {{"\x05SummaryInformation", Noise(200, 1)}, {"BOOK", biff8}}, kReadOk},
      {"Book of Excel 95 (BIFF5)", {{"Book", biff5}}, kReadOldFormat},
      {"password-protected .xls", {{"Workbook", encrypted}}, kReadEncrypted},
      {"password-protected .xlsx", {{"EncryptionInfo", Noise(300, 2)}, {"EncryptedPackage", Noise(5000, 3)}}, kReadEncrypted},
      {"no workbook stream", {{"WordDocument", Noise(5000, 4)}}, kReadNotThisFormat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> file = BuildCompoundFile(3, c.streams, nullptr);
    Biff8Workbook wb;
    EXPECT_EQ(c.expected, wb.Load(file.data(), file.size()));
    if (c.expected != kReadOk) continue;
    RecordingSink sink;
    ASSERT_EQ(kReadOk, wb.ReadSheet(0, sink));
    ASSERT_NE(nullptr, sink.At(0, 0));
    EXPECT_DOUBLE_EQ(7, sink.At(0, 0)->number);
  }
}

}  // namespace
