#include "engine/placeholder_merge.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "settings/send_settings.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/grid_double.h"

namespace {

using Cells = std::vector<std::pair<const char*, const char*>>;  // address, UTF-8 value

class MergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearPlaceholders();
    GridDoubleReset();
    ResetSendSettings();
    ASSERT_EQ(OpenExcel("book.xlsx", 0), 0);
  }
  void TearDown() override {
    ClearPlaceholders();
    CloseExcel();
  }
  void Sheet(const Cells& cells) {
    for (const auto& c : cells) GridDoubleSetCell(c.first, S(c.second).c_str());
  }
  std::string Merge(int row, const char* utf8Text) {
    char text[1024];
    std::strcpy(text, S(utf8Text).c_str());
    EXPECT_EQ(MergeRow(row, text, sizeof text), 0);
    return U(text);
  }
};

TEST_F(MergeTest, HeaderScanStopsAtTheFirstGap) {
  Sheet({{"A1", "会社名"}, {"B1", "氏名"}, {"C1", "メール"}, {"E1", "備考"},
         {"A2", "東邦商事"}, {"B2", "山田"}, {"C2", "yamada@example.jp"}, {"E2", "見込み"}});
  ScanHeaderRow();
  ASSERT_EQ(PlaceholderCount, 3);
  const char* expected[][2] = {{"A", "{会社名}"}, {"B", "{氏名}"}, {"C", "{メール}"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(GetPlaceholder(i)->ColumnText, expected[i][0]);
    EXPECT_EQ(U(GetPlaceholder(i)->PlaceholderText), expected[i][1]);
  }
  EXPECT_EQ(GetPlaceholder(3), nullptr);
  std::strcpy(SendSettings.MailColumn, "C");
  EXPECT_EQ(Merge(2, "{会社名} {氏名}様 {備考}"), "東邦商事 山田様 {備考}");
  EXPECT_STREQ(RowAddress, "yamada@example.jp");
}

TEST_F(MergeTest, HeaderScanCoversAtMostTwentySixColumns) {
  for (char c = 'A'; c <= 'Z'; ++c) {
    std::string address = std::string(1, c) + "1";
    GridDoubleSetCell(address.c_str(), address.c_str());
  }
  ScanHeaderRow();
  EXPECT_EQ(PlaceholderCount, 26);
  EXPECT_STREQ(GetPlaceholder(25)->PlaceholderText, "{Z1}");
}

TEST_F(MergeTest, OverlongHeaderKeepsItsColumnButFillsNothing) {
  std::string longHeader(254, 'h');
  GridDoubleSetCell("A1", longHeader.c_str());
  GridDoubleSetCell("B1", "mail");
  GridDoubleSetCell("A3", "value");
  ScanHeaderRow();
  ASSERT_EQ(PlaceholderCount, 2);
  EXPECT_STREQ(GetPlaceholder(0)->PlaceholderText, "");
  EXPECT_FALSE(RowIsEmpty(3));
  std::string text = "{" + longHeader.substr(0, 100) + "}";
  char buffer[1024];
  std::strcpy(buffer, text.c_str());
  EXPECT_EQ(MergeRow(3, buffer, sizeof buffer), 0);
  EXPECT_EQ(std::string(buffer), text);
}

TEST_F(MergeTest, FillRules) {
  Sheet({{"A1", "会社名"}, {"B1", "氏名 "}, {"C1", "メール"}, {"D1", "会社名"}, {"E1", "紹介"}, {"F1", "x"},
         {"A2", "  \"東邦 商事\"  "}, {"B2", "山田\r\n"}, {"C2", " a@example.jp "}, {"D2", "別会社"},
         {"E2", "{x}と{会社名}"}, {"F2", "右"}});
  ScanHeaderRow();
  std::strcpy(SendSettings.MailColumn, "C");
  struct Case {
    const char* text;
    const char* merged;
  } cases[] = {
      // Trimmed: spaces, CR LF and one pair of enclosing quotes; inner spaces stay.
      {"{会社名}", "東邦 商事"},
      // The header's trailing space is part of its placeholder.
      {"{氏名 }/{氏名}", "山田/{氏名}"},
      // Two columns with one header: the first fills every occurrence.
      {"{会社名}{会社名}", "東邦 商事東邦 商事"},
      // A value holding a placeholder of a column further right is filled in turn; one of a
      // column further left stays as written.
      {"{紹介}", "右と{会社名}"},
      {"{不明} {会社名", "{不明} {会社名"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Merge(2, c.text), c.merged) << c.text;
  EXPECT_STREQ(RowAddress, "a@example.jp");
}

TEST_F(MergeTest, EmptyCellsAndEmptyRows) {
  Sheet({{"A1", "氏名"}, {"B1", "メール"}, {"A2", "山田"}, {"C3", "見出しのない列"}, {"A4", "  "}, {"B4", "\r\n"},
         {"B5", "b@example.jp"}});
  ScanHeaderRow();
  std::strcpy(SendSettings.MailColumn, "B");
  struct Case {
    int row;
    bool empty;
  } cases[] = {{2, false}, {3, true}, {4, true}, {5, false}, {6, true}};
  for (const Case& c : cases) EXPECT_EQ(RowIsEmpty(c.row), c.empty) << c.row;
  EXPECT_EQ(Merge(2, "[{氏名}][{メール}]"), "[山田][]");
  EXPECT_STREQ(RowAddress, "");
  EXPECT_EQ(Merge(5, "[{氏名}]"), "[]");
  EXPECT_STREQ(RowAddress, "b@example.jp");
}

TEST_F(MergeTest, MailColumnOutsideTheHeaderNeverMatches) {
  Sheet({{"A1", "氏名"}, {"B1", "メール"}, {"D1", "予備"}, {"A2", "山田"}, {"B2", "a@example.jp"},
         {"D2", "d@example.jp"}});
  ScanHeaderRow();
  for (const char* column : {"D", "AB", "b", ""}) {
    std::strcpy(SendSettings.MailColumn, column);
    Merge(2, "{氏名}");
    EXPECT_STREQ(RowAddress, "") << column;
  }
}

TEST_F(MergeTest, NoHeaderMeansEveryRowIsEmpty) {
  GridDoubleSetCell("A2", "x");
  ScanHeaderRow();
  EXPECT_EQ(PlaceholderCount, 0);
  EXPECT_TRUE(RowIsEmpty(2));
}

TEST(PlaceholderList, AppendRemoveGet) {
  ClearPlaceholders();
  AppendPlaceholder(nullptr);
  EXPECT_EQ(PlaceholderCount, 0);
  for (const char* column : {"A", "B", "C", "D"}) {
    PlaceholderEntry entry = {};
    std::strcpy(entry.ColumnText, column);
    std::snprintf(entry.PlaceholderText, sizeof entry.PlaceholderText, "{%s}", column);
    AppendPlaceholder(&entry);
    entry.ColumnText[0] = 'Z';  // the list holds a copy
  }
  ASSERT_EQ(PlaceholderCount, 4);
  RemovePlaceholder(9);
  RemovePlaceholder(-1);
  EXPECT_EQ(PlaceholderCount, 4);
  RemovePlaceholder(1);
  RemovePlaceholder(2);
  ASSERT_EQ(PlaceholderCount, 2);
  EXPECT_STREQ(GetPlaceholder(0)->ColumnText, "A");
  EXPECT_STREQ(GetPlaceholder(1)->ColumnText, "C");
  EXPECT_EQ(GetPlaceholder(2), nullptr);
  ClearPlaceholders();
  EXPECT_EQ(PlaceholderCount, 0);
  EXPECT_EQ(GetPlaceholder(0), nullptr);
}

TEST(ReplaceAllTest, Table) {
  struct Case {
    std::string text, pattern, replacement, result;
    int count;
  } cases[] = {
      {"a{x}b{x}c", "{x}", "12345", "a12345b12345c", 2},
      {"a{long}b{long}", "{long}", "", "ab", 2},
      {"{ab}{ab}", "{ab}", "{cd}", "{cd}{cd}", 2},
      // The replacement itself is never searched for the pattern.
      {"{x}", "{x}", "{x}{x}", "{x}{x}", 1},
      {"none here", "{x}", "y", "none here", 0},
      // "ソ" is 0x83 0x5C and "{" 0x7B: a pattern made of a trail byte never matches inside it.
      {S("ソ[ソ]"), "\x5C[", "!", S("ソ[ソ]"), 0},
      {S("表{a}表"), "{a}", S("値"), S("表値表"), 1},
  };
  for (const Case& c : cases) {
    char buffer[256];
    std::strcpy(buffer, c.text.c_str());
    EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, c.pattern.c_str(), c.replacement.c_str()), c.count) << c.text;
    EXPECT_EQ(std::string(buffer), c.result) << c.text;
  }
}

TEST(ReplaceAllTest, RefusesToOutgrowItsBuffer) {
  char buffer[16];
  std::strcpy(buffer, "{x}{x}");
  EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, "{x}", "12345678"), -1);
  EXPECT_STREQ(buffer, "12345678{x}");  // the first replacement fits, the second would not
  std::strcpy(buffer, "{x}{x}");
  EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, "{x}", "1234567"), 2);  // 14 bytes and the zero
  EXPECT_STREQ(buffer, "12345671234567");
}

TEST_F(MergeTest, MergeReportsAnOverflowingText) {
  std::string value(200, 'v');
  GridDoubleSetCell("A1", "n");
  GridDoubleSetCell("A2", value.c_str());
  ScanHeaderRow();
  char text[512];
  std::strcpy(text, "{n}{n}{n}");
  EXPECT_EQ(MergeRow(2, text, sizeof text), -1);
  std::strcpy(text, "{n}{n}");
  EXPECT_EQ(MergeRow(2, text, sizeof text), 0);
  EXPECT_EQ(std::string(text), value + value);
}

}  // namespace
