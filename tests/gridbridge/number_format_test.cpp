// The number format language against what Excel shows in a Japanese locale. Where
// LibreOffice's CSV export (LC_ALL=ja_JP.UTF-8) shows something else, the row says so; the
// Excel column is what the renderer must give.
#include "gridbridge/number_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gridbridge/cell_format.h"

using gridbridge::BuiltInFormatCode;
using gridbridge::CellFormat;
using gridbridge::NumberFormat;

namespace {

// Serials of the dates used below (1900 date system).
constexpr double k20261210 = 46366;  // Thursday
constexpr double k19890108 = 32516;  // the first day of Heisei
constexpr double k20190501 = 43586;  // the first day of Reiwa

struct Case {
  const char* code;
  double value;
  const char* excel;       // UTF-8, as Excel shows it
  const char* libreOffice;  // where LibreOffice differs: what it shows, else nullptr
};

const Case kCases[] = {
    // Digit placeholders, separators, scaling, percent, rounding as Excel rounds (15 digits).
    {"#,##0", 1200, "1,200", nullptr},
    {"#,##0", -1200, "-1,200", nullptr},
    {"#,##0", 1234567.891, "1,234,568", nullptr},
    {"#,##0", 123456789012345678.0, "123,456,789,012,346,000", nullptr},
    {"000-0000-0000", 9012345678, "090-1234-5678", nullptr},
    {"0000", 12, "0012", nullptr},
    {"0.00", 2.675, "2.68", nullptr},
    {"0.000", 1.0 / 3, "0.333", nullptr},
    {"#,##0.00", 1234.5, "1,234.50", nullptr},
    {"#.##", 0.5, ".5", nullptr},
    {"0.##", 1, "1.", "1"},
    {"??.??", 1.5, " 1.5 ", nullptr},
    {"#,###", 0, "", nullptr},
    {"0", 1e20, "100000000000000000000", nullptr},
    {"0", -0.3, "-0", "0"},
    {"0.00", -0.001, "-0.00", "0.00"},
    {"#,##0,", 1234567, "1,235", nullptr},
    {"0.0,,\"百万\"", 123456789, "123.5百万", nullptr},
    {"0%", 0.25, "25%", nullptr},
    {"0.0%", -0.0512, "-5.1%", nullptr},
    // Scientific notation and engineering notation (# in the mantissa).
    {"0.00E+00", 12345, "1.23E+04", nullptr},
    {"0.00E+00", 9.996, "1.00E+01", nullptr},
    {"0.0E+0", 0.000123, "1.2E-4", nullptr},
    {"0.00E-00", 12345, "1.23E04", nullptr},
    {"##0.0E+0", 12345, "12.3E+3", nullptr},
    {"##0.0E+0", 0.000123, "123.0E-6", nullptr},
    // Fractions.
    {"# ?/?", 1.5, "1 1/2", nullptr},
    {"# ?/?", 3, "3    ", nullptr},
    {"# ?/?", 0.5, " 1/2", nullptr},
    {"# ?\?/?\?", 3.14159, "3 14/99", nullptr},  // \? keeps "??/" from being a trigraph
    {"?/?", 0, "0/1", nullptr},
    {"?/?", 1.5, "3/2", nullptr},
    {"?/8", 0.3, "2/8", nullptr},
    // Literals: quoted, escaped, bare, _ (a space), * (a fill: nothing), General among them.
    {"#,##0\"円\"", 1200, "1,200円", nullptr},
    {"0 \"件\"", 42, "42 件", nullptr},
    {"\\$#,##0", 1200, "$1,200", nullptr},
    {"0_);(0)", -5, "(5)", nullptr},
    {"0.00_ ;[Red]\\-0.00\\ ", -3.5, "-3.50 ", nullptr},
    {"General\"円\"", 1234.5, "1234.5円", nullptr},
    {"@", 12.5, "12.5", nullptr},
    // Currency: the yen sign as the full-width yen (LibreOffice keeps U+00A5).
    {"\"¥\"#,##0;\"¥\"\\-#,##0", -1200, "￥-1,200", "¥-1,200"},
    {"[$¥-411]#,##0", 1200, "￥1,200", "¥1,200"},
    {"[$\\-411]#,##0", 1200, "￥1,200", nullptr},
    {"_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ", 1200, " ￥1,200 ", " ¥1,200 "},
    {"_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ", 0, " ￥- ", " ¥- "},
    // Sections, conditions and colours.
    {"[Red]0.0;[Blue]-0.0", -1.25, "-1.3", nullptr},
    {"0;-0;\"ゼロ\";@", 0, "ゼロ", nullptr},
    {"[>=1000]#,##0,\"千\";0", 1500, "2千", nullptr},
    {"[>=1000]#,##0,\"千\";0", 500, "500", nullptr},
    {"[=1]\"one\";[=2]\"two\";0", 2, "two", nullptr},
    {"[<0]\"▲\"#,##0;#,##0", -1200, "▲1,200", nullptr},
    {"#,##0;\"▲\"#,##0", -1200, "▲1,200", nullptr},
    // Dates: every unit, names in English (ddd, mmm) as Japanese Excel shows them, the
    // Japanese weekday (aaa), the 1900 system's day 0 and 29 February.
    {"yyyy\"年\"m\"月\"d\"日\"", k20261210, "2026年12月10日", nullptr},
    {"yyyy年m月d日", 46024, "2026年1月2日", nullptr},
    {"yy/m/d", k20261210, "26/12/10", nullptr},
    {"m/d/yy", k20261210, "12/10/26", nullptr},
    {"\"日付: \"yyyy/mm/dd", k20261210, "日付: 2026/12/10", nullptr},
    {"d-mmm-yy", k20261210, "10-Dec-26", "10-12月-26"},
    {"mmm", k20261210, "Dec", "12月"},
    {"mmmm", k20261210, "December", "十二月"},
    {"mmmmm", k20261210, "D", "十"},
    {"ddd", k20261210, "Thu", "木"},
    {"dddd", k20261210, "Thursday", "木曜日"},
    {"aaa", k20261210, "木", nullptr},
    {"aaaa", k20261210, "木曜日", nullptr},
    {"yyyy/m/d;@", k20261210, "2026/12/10", nullptr},
    {"yyyy/m/d", 0, "1900/1/0", "1899/12/30"},
    {"yyyy/m/d", 60, "1900/2/29", "1900/2/28"},
    {"aaa", 1, "日", nullptr},
    // The Japanese era.
    {"[$-411]ggge\"年\"m\"月\"d\"日\"", k20261210, "令和8年12月10日", nullptr},
    {"ge.m.d", k20261210, "R8.12.10", nullptr},
    {"gge", k20261210, "令8", nullptr},
    {"ee", k20261210, "08", nullptr},
    {"ggge\"年\"", k19890108, "平成1年", nullptr},
    {"[$-411]gggee\"年\"", k20190501, "令和01年", nullptr},
    {"[$-ja-JP]ggge\"年\"", k20190501, "令和1年", "43586"},
    {"[$-1030411]ggge\\年m\\月d\\日", k20261210, "令和8年12月10日", nullptr},
    {"ggg", 9855, "大正", nullptr},
    {"e", 9856, "1", nullptr},
    {"ggge", 1, "明治33", "明治32"},
    // Times: rounded to the second, then cut to what is shown; AM/PM in Japanese unless the
    // format names another language.
    {"h:mm", 0.437326, "10:29", nullptr},
    {"h:mm:ss", 0.99999999, "0:00:00", "23:59:59"},
    {"yyyy/m/d h:mm", 45356.99999, "2024/3/5 23:59", nullptr},
    {"h:mm AM/PM", 0.75, "6:00 午後", nullptr},
    {"h:mm:ss AM/PM", 0, "12:00:00 午前", nullptr},
    {"AM/PM h時mm分", 0.25, "午前 6時00分", nullptr},
    {"[$-409]h:mm AM/PM", 0.75, "6:00 PM", nullptr},
    {"a/p", 0.75, "p", nullptr},
    {"ss.00", 0.000123, "10.63", nullptr},
    {"mm:ss.0", 0.000578, "00:49.9", nullptr},
    // Elapsed time in every unit: no wrap at 24 hours.
    {"[h]:mm:ss", 1.5, "36:00:00", nullptr},
    {"[m]", 1.5, "2160", nullptr},
    {"[mm]:ss", 0.5, "720:00", nullptr},
    {"[s]", 0.01, "864", nullptr},
    {"[ss].00", 0.0001, "08.64", "0.0001"},
    // The system's long date and time ([$-F800], [$-F400]) in their Japanese forms.
    {"[$-F800]dddd, mmmm dd, yyyy", k20261210, "2026年12月10日", "2026年12月10日（木曜日）"},
    {"[$-F400]h:mm:ss AM/PM", 0.5882986111111111, "14:07:09", nullptr},
};

TEST(NumberFormat, RendersAsExcelShowsInAJapaneseLocale) {
  for (const Case& c : kCases) {
    NumberFormat f;
    ASSERT_TRUE(f.Compile(c.code)) << c.code;
    std::string out;
    EXPECT_TRUE(f.RenderNumber(c.value, false, &out)) << c.code;
    EXPECT_EQ(c.excel, out) << c.code << " of " << c.value;
  }
}

TEST(NumberFormat, TextSections) {
  struct TextCase {
    const char* code;
    const char* text;
    const char* excel;  // nullptr: no text section, the text shows as it is
  } cases[] = {
      {"@\"様\"", "山田", "山田様"},
      {"\"氏名: \"@", "山田", "氏名: 山田"},
      {"0.00;@", "abc", "abc"},
      {"0;0;0;\"[\"@\"]\"", "x", "[x]"},
      {"_ @_ ", "x", " x "},
      {"0;0;0;", "x", ""},
      {"0.00", "abc", nullptr},
      {"yyyy/m/d", "abc", nullptr},
  };
  for (const TextCase& c : cases) {
    NumberFormat f;
    ASSERT_TRUE(f.Compile(c.code)) << c.code;
    std::string out;
    EXPECT_EQ(c.excel != nullptr, f.RenderText(c.text, std::strlen(c.text), &out)) << c.code;
    if (c.excel) {
      EXPECT_EQ(c.excel, out) << c.code;
    }
  }
}

// What the renderer does not know is refused, never rendered wrong: the caller's fallback
// (the plain form of the format's kind) takes over.
TEST(NumberFormat, CodesNotRenderedFallBackToThePlainForm) {
  const char* refused[] = {
      "[DBNum1]General", "[NatNum1]0", "bbbb/mm/dd", "B2yyyy", "[$-2000411]0", "[$-60411]yyyy", "0.0.0;;;;",
      "\"unclosed", "0\\", "[Red", "xyz0", "0@", "yyyy 0.0", "0.0 ?/?", "[h]:mm;@;0", "ss.0000",
  };
  for (const char* code : refused) {
    NumberFormat f;
    EXPECT_FALSE(f.Compile(code)) << code;
    std::string out;
    EXPECT_FALSE(f.RenderNumber(1, false, &out)) << code;
    EXPECT_TRUE(out.empty()) << code;
  }
  // Values a format cannot show: dates outside 1900-01-00 .. 9999-12-31, negative times,
  // a condition that no section meets.
  struct Unshown {
    const char* code;
    double value;
  } unshown[] = {{"yyyy/m/d", -1}, {"yyyy/m/d", 2958466}, {"[h]:mm", -0.5}, {"[>0]0", -5}, {"[>0]0;[<-10]0", -5}};
  for (const Unshown& u : unshown) {
    NumberFormat f;
    ASSERT_TRUE(f.Compile(u.code)) << u.code;
    std::string out;
    EXPECT_FALSE(f.RenderNumber(u.value, false, &out)) << u.code << " of " << u.value;
  }
  // Through a cell's format: the plain form of the kind (a date; a general number; an elapsed
  // time in hours), and a euro sign that code page 932 lacks.
  struct Plain {
    int id;
    const char* code;
    double value;
    const char* shown;
  } plain[] = {
      {164, "[DBNum1]yyyy\"年\"", 45356, "2024/03/05"},
      {164, "[DBNum1]0", 123, "123"},
      {164, "[DBNum1][mm]:ss", 1.5, "36:00:00"},
      {164, "yyyy/m/d", -1, "-1"},
      {164, "#,##0.00 \"€\"", 3.81, "3.81"},
      {200, nullptr, 0.5, "0.5"},
  };
  for (const Plain& p : plain) {
    CellFormat f;
    f.Prepare(p.id, p.code);
    std::string out;
    f.Number(p.value, false, &out);
    EXPECT_EQ(p.shown, out) << (p.code ? p.code : "(no code)");
  }
}

// The built-in formats of Japanese Excel, and the 1904 date system.
TEST(NumberFormat, BuiltInFormatsAndTheDateSystems) {
  struct BuiltIn {
    int id;
    double value;
    const char* excel;
  } cases[] = {
      {0, 1234.5, "1234.5"},           {3, 1234567, "1,234,567"},       {5, -1200, "￥-1,200"},
      {9, 0.125, "13%"},               {11, 12345, "1.23E+04"},         {14, k20261210, "2026/12/10"},
      {18, 0.75, "6:00 午後"},         {20, 0.75, "18:00"},             {22, 45356.5, "2024/3/5 12:00"},
      {27, k20261210, "R8.12.10"},     {28, k20261210, "令和8年12月10日"}, {30, k20261210, "12/10/26"},
      {31, k20261210, "2026年12月10日"}, {32, 0.5, "12時00分"},          {34, k20261210, "2026年12月"},
      {35, k20261210, "12月10日"},     {42, 1200, " ￥1,200 "},         {46, 1.5, "36:00:00"},
      {47, 0.000578, "00:49.9"},       {49, 7, "7"},                    {58, k20190501, "令和1年5月1日"},
  };
  for (const BuiltIn& c : cases) {
    const char* code = BuiltInFormatCode(c.id);
    ASSERT_NE(nullptr, code) << c.id;
    NumberFormat f;
    ASSERT_TRUE(f.Compile(code)) << c.id << ": " << code;
    std::string out;
    EXPECT_TRUE(f.RenderNumber(c.value, false, &out)) << c.id;
    EXPECT_EQ(c.excel, out) << "built-in " << c.id;
  }
  EXPECT_EQ(nullptr, BuiltInFormatCode(23));
  EXPECT_EQ(nullptr, BuiltInFormatCode(164));
  // In the 1904 system day 0 is 1904-01-01, a Friday.
  NumberFormat f;
  ASSERT_TRUE(f.Compile("yyyy/m/d aaa"));
  std::string out;
  ASSERT_TRUE(f.RenderNumber(0, true, &out));
  EXPECT_EQ("1904/1/1 金", out);
}

}  // namespace
