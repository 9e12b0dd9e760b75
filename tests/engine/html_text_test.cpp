#include "engine/html_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* what;
  std::string html;
  std::string text;  // lines joined by "\n" here; the result ends each with CR LF
};

std::string CrLf(const std::string& lines) {
  std::string out;
  for (char c : lines) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

void Check(const Case* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(HtmlToPlainText(cases[i].html), CrLf(cases[i].text)) << cases[i].what;
}

TEST(HtmlText, LinesFromBlocksAndBreaks) {
  const Case cases[] = {
      {"paragraphs are set apart", "<p>one</p><p>two</p>", "one\n\ntwo\n"},
      {"br ends a line", "<p>a<br>b<br/>c</p>", "a\nb\nc\n"},
      {"two br leave an empty line", "a<br><br>b", "a\n\nb\n"},
      {"divs are lines", "<div>a</div><div>b</div>text", "a\nb\ntext\n"},
      {"headings", "<h1>Title</h1>body", "Title\n\nbody\n"},
      {"nested blocks give one break", "<div><div><p>a</p></div></div><div>b</div>", "a\n\nb\n"},
      {"table rows are lines, cells apart", "<table><tr><th>日時</th><td>6月12日</td></tr><tr><td>会場</td><td>本社</td></tr></table>after",
       "日時 6月12日\n会場 本社\n\nafter\n"},
      {"lists", "<ul><li>一</li><li>二</li></ul><ol><li>a</li><li>b</li></ol>",
       "・一\n・二\n\n1. a\n2. b\n"},
      {"a list within a list item", "<ul><li>a<ul><li>b</li></ul></li><li>c</li></ul>", "・a\n・b\n・c\n"},
      {"paragraphs within list items", "<ul><li><p>a</p></li><li> <p>b</p></li></ul>", "・a\n\n・b\n"},
      {"a list first in a list item", "<ol><li><ul><li>a</li></ul></li><li> b</li></ol>", "1.\n・a\n2. b\n"},
      {"br at the end of a paragraph adds no line", "<p>a<br></p><p>b</p>", "a\n\nb\n"},
      {"empty paragraphs leave one empty line", "<p>a</p><p></p><p>&nbsp;</p><p>b</p>", "a\n\nb\n"},
      {"Word's paragraphs are lines, its empty ones empty lines",
       "<p class=MsoNormal>北斗電機<o:p></o:p></p>\r\n<p class=MsoNormal>佐藤 様<o:p></o:p></p>\r\n"
       "<p class=MsoNormal><o:p>&nbsp;</o:p></p>\r\n<p class=MsoNormal>本文<o:p></o:p></p>",
       "北斗電機\n佐藤 様\n\n本文\n"},
      {"no text at all", "<html><head><title>t</title></head><body></body></html>", ""},
      {"empty document", "", ""},
      {"fragment without tags", "just text", "just text\n"},
  };
  Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(HtmlText, WhiteSpaceAsBrowsersRenderIt) {
  const Case cases[] = {
      {"runs collapse", "<p>a  \t b\r\n   c</p>", "a b c\n"},
      {"none at line starts and ends", "<p>   a   </p>\r\n   <p>  b</p>", "a\n\nb\n"},
      {"between inline elements", "<b>bold</b> <i>italic</i>", "bold italic\n"},
      {"Japanese wrapped in the source joins", "<p>ご来場の際は受付で\r\nお名前をお伝えください。</p>",
       "ご来場の際は受付でお名前をお伝えください。\n"},
      {"half-width katakana joins too", "<p>ｱｲ\nｳｴ</p>", "ｱｲｳｴ\n"},
      {"Latin wrapped in the source keeps a space", "<p>Dear\r\ncustomer</p>", "Dear customer\n"},
      {"a typed space between Japanese stays", "<p>東邦商事 営業部</p>", "東邦商事 営業部\n"},
      {"Japanese next to Latin keeps the space", "<p>価格は\n100円</p>", "価格は 100円\n"},
      {"pre keeps spaces and lines", "<pre>  a  b\r\n\r\n c</pre>after", "  a  b\n\n c\n\nafter\n"},
      {"non-breaking space is a space", "a&nbsp;&nbsp;b", "a  b\n"},
  };
  Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(HtmlText, EntitiesDecoded) {
  const Case cases[] = {
      {"named", "&lt;tag&gt; &amp; &quot;q&quot; &copy; &hellip;", "<tag> & \"q\" \xC2\xA9 \xE2\x80\xA6\n"},
      {"numeric", "&#12354;&#x3044;&#65;", "あいA\n"},
      {"in attributes", "<a href=\"https://x.example/?a=1&amp;b=2\">link</a>", "link <https://x.example/?a=1&b=2>\n"},
      {"a lone ampersand stays", "AT&T", "AT&T\n"},
  };
  Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(HtmlText, DroppedParts) {
  const Case cases[] = {
      {"scripts and styles", "<style>p{color:red}</style><p>a</p><script>var x = '<p>b</p>';</script>", "a\n"},
      {"comments", "a<!-- hidden -->b<!--\r\n<p>x</p>\r\n-->", "ab\n"},
      {"the head and its title", "<html><head><title>件名</title><meta charset=utf-8></head><body>本文</body></html>",
       "本文\n"},
      {"hidden elements", "<div style=\"display: none; max-height:0\">preview</div><p hidden>x</p><p>shown</p>",
       "shown\n"},
      {"templates", "<template><p>t</p></template>shown", "shown\n"},
  };
  Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(HtmlText, LinksAndImages) {
  const Case cases[] = {
      {"text then URL", "詳しくは<a href=\"https://www.example.jp/s/\">こちら</a>をご覧ください。",
       "詳しくはこちら <https://www.example.jp/s/>をご覧ください。\n"},
      {"text that is the URL", "<a href=\"https://www.example.jp/\">https://www.example.jp/</a>",
       "https://www.example.jp/\n"},
      {"mailto with the address as text", "<a href=\"mailto:info@example.jp\">info@example.jp</a>", "info@example.jp\n"},
      {"mailto with other text", "<a href=\"mailto:info@example.jp\">お問い合わせ</a>",
       "お問い合わせ <mailto:info@example.jp>\n"},
      {"in-page and script links add nothing", "<a href=\"#top\">上へ</a> <a href=\"JavaScript:void(0)\">x</a>",
       "上へ x\n"},
      {"link without href", "<a name=\"x\">anchor</a>", "anchor\n"},
      {"URL with white space in the attribute", "<a href=\" https://a.example/\r\n x \">a</a>",
       "a <https://a.example/x>\n"},
      {"image link reads as its alt text and URL", "<a href=\"https://a.example/\"><img src=\"b.png\" alt=\"ロゴ\"></a>",
       "ロゴ <https://a.example/>\n"},
      {"image without alt", "<p><img src=\"spacer.gif\">text</p>", "text\n"},
      {"link at the start of a line", "<p><a href=\"https://a.example/\"></a></p>", "<https://a.example/>\n"},
  };
  Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(HtmlText, TagSoup) {
  const Case cases[] = {
      {"unclosed paragraphs", "<p>one<p>two", "one\n\ntwo\n"},
      {"stray end tags", "a</div></span>b", "ab\n"},
      {"a stray </p> is an empty paragraph, as in browsers", "a</p>b", "a\n\nb\n"},
      {"unclosed list items", "<ul><li>a<li>b</ul>", "・a\n・b\n"},
      {"prefixed elements of Word are inline, unknown elements",
       "<p>a<o:p></o:p>b</p><v:shape><w:wrap>c</w:wrap></v:shape>", "ab\n\nc\n"},
      {"a declared charset is not obeyed: the text is UTF-8",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"><p>日本語</p>", "日本語\n"},
      {"deep nesting", Repeat("<div><span>", 3000) + "deep", "deep\n"},
  };
  Check(cases, sizeof cases / sizeof cases[0]);
}

}  // namespace
