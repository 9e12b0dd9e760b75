#include "engine/html_text.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace {

// ---- characters -------------------------------------------------------------------------

// The code point of the UTF-8 sequence at `text[*at]`, advancing `*at` past it (a stray byte
// counts as one character of its own value).
uint32_t NextCodePoint(const std::string& text, size_t* at) {
  unsigned char b = static_cast<unsigned char>(text[*at]);
  size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
  if (*at + n > text.size()) n = 1;
  uint32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(text[*at + k]) & 0x3F);
  *at += n;
  return c;
}

// HTML's white space: space, tab, line feed, form feed, carriage return.
bool IsHtmlSpace(uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// East Asian wide, fullwidth or halfwidth characters other than Hangul (CSS Text 3, the
// segment break rule): between two of them a line break of the source is no space.
bool IsWideForSegmentBreak(uint32_t c) {
  static const uint32_t kRanges[][2] = {
      {0x2E80, 0x312F}, {0x31A0, 0x31EF}, {0x31F0, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
      {0xA000, 0xA4CF}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFF61, 0xFF9F},
      {0xFFE0, 0xFFE6}, {0x20000, 0x3FFFD},
  };
  for (const auto& r : kRanges)
    if (c >= r[0] && c <= r[1]) return true;
  return false;
}

// ---- the text being written -------------------------------------------------------------

class TextWriter {
 public:
  // A line break before what comes next: 1 a new line, 2 an empty line between. None right
  // after a list item's marker: a paragraph within the item goes on the marker's line.
  void Break(int level) {
    if (afterMarker_) return;
    pendingBreak_ = std::max(pendingBreak_, level);
    pendingSpace_ = false;
  }
  // A list item's marker at the start of a line of its own.
  void Marker(const std::string& marker) {
    afterMarker_ = false;
    Break(1);
    Text(marker, true);
    afterMarker_ = true;
  }
  // <br>: ends the current line, even an empty one.
  void LineEnd() {
    FlushBreak();
    afterMarker_ = false;
    out_ += '\n';
    lastChar_ = 0;
    pendingSpace_ = false;
  }
  // A space that collapses with white space around it (between table cells, before a URL).
  void Space() { SetPendingSpace(false); }
  // Text of the document; `preformatted` keeps its white space.
  void Text(const std::string& text, bool preformatted) {
    for (size_t at = 0; at < text.size();) {
      uint32_t c = NextCodePoint(text, &at);
      if (preformatted) {
        Preformatted(c);
      } else if (IsHtmlSpace(c)) {
        SetPendingSpace(c == '\n' || c == '\r');
      } else {
        Put(c);
      }
    }
  }
  // The lines, each ended by CR LF, without trailing spaces or repeated empty lines.
  std::string Finish() const;

 private:
  bool AtLineStart() const { return out_.empty() || out_.back() == '\n'; }
  void SetPendingSpace(bool segmentBreak) {
    if (AtLineStart() || pendingBreak_ > 0 || afterMarker_) return;
    if (!pendingSpace_) segmentBreak_ = false;
    pendingSpace_ = true;
    segmentBreak_ = segmentBreak_ || segmentBreak;
  }
  void FlushBreak() {
    if (pendingBreak_ == 0) return;
    if (!out_.empty()) {
      int ended = 0;
      for (size_t i = out_.size(); i > 0 && out_[i - 1] == '\n' && ended < 2; --i) ++ended;
      for (int i = ended; i < pendingBreak_; ++i) out_ += '\n';
    }
    pendingBreak_ = 0;
    lastChar_ = 0;
  }
  void Put(uint32_t c) {
    FlushBreak();
    if (pendingSpace_ && !(segmentBreak_ && IsWideForSegmentBreak(lastChar_) && IsWideForSegmentBreak(c)))
      out_ += ' ';
    pendingSpace_ = false;
    afterMarker_ = false;
    platform::AppendUtf8(out_, c == 0xA0 ? ' ' : c);
    lastChar_ = c;
  }
  void Preformatted(uint32_t c) {
    if (c == '\r') return;  // line ends arrive as CR LF
    if (c == '\n') {
      LineEnd();
      return;
    }
    pendingSpace_ = false;
    Put(c);
  }

  std::string out_;
  int pendingBreak_ = 0;
  bool pendingSpace_ = false;
  bool segmentBreak_ = false;
  bool afterMarker_ = false;
  uint32_t lastChar_ = 0;
};

std::string TextWriter::Finish() const {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= out_.size()) {
    size_t end = out_.find('\n', start);
    if (end == std::string::npos) end = out_.size();
    std::string line = out_.substr(start, end - start);
    size_t kept = line.find_last_not_of(' ');
    line.erase(kept == std::string::npos ? 0 : kept + 1);
    if (!(line.empty() && (lines.empty() || lines.back().empty()))) lines.push_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// ---- the document -----------------------------------------------------------------------

bool NameIs(const xmlNode* node, const char* name) {
  return node->name && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool NameIn(const xmlNode* node, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (NameIs(node, name)) return true;
  return false;
}

// An attribute's value, or an empty text.
std::string Attribute(const xmlNode* node, const char* name) {
  std::string value;
  xmlChar* raw = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (raw) value = reinterpret_cast<const char*>(raw);
  xmlFree(raw);
  return value;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool IsHidden(const xmlNode* node) {
  if (xmlHasProp(node, reinterpret_cast<const xmlChar*>("hidden"))) return true;
  std::string style = AsciiLower(Attribute(node, "style"));
  style.erase(std::remove_if(style.begin(), style.end(), [](char c) { return IsHtmlSpace(static_cast<unsigned char>(c)); }),
              style.end());
  return style.find("display:none") != std::string::npos;
}

bool IsSkipped(const xmlNode* node) {
  return NameIn(node, {"head", "title", "script", "style", "template", "noembed", "noframes"}) || IsHidden(node);
}

// Paragraphs written by Word and Outlook (class MsoNormal), whose style sheet gives them no
// margins: each is a line, and an empty line is a paragraph of its own.
bool IsWordParagraph(const xmlNode* node) {
  return NameIs(node, "p") && AsciiLower(Attribute(node, "class")).find("msonormal") != std::string::npos;
}

// 2: set apart by an empty line; 1: on lines of their own; 0: inline.
int BlockLevel(const xmlNode* node) {
  if (IsWordParagraph(node)) return 1;
  if (NameIn(node, {"p", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "dl", "menu", "dir", "blockquote", "pre",
                    "listing", "xmp", "plaintext", "table", "hr", "figure"}))
    return 2;
  if (NameIn(node, {"address", "article", "aside", "center", "details", "dialog", "dd", "div", "dt", "fieldset",
                    "figcaption", "footer", "form", "header", "hgroup", "legend", "li", "main", "nav", "section",
                    "summary", "tr", "caption", "tbody", "thead", "tfoot", "body", "html", "option"}))
    return 1;
  return 0;
}

bool IsPreformatted(const xmlNode* node) { return NameIn(node, {"pre", "listing", "xmp", "plaintext", "textarea"}); }
bool IsList(const xmlNode* node) { return NameIn(node, {"ul", "ol", "menu", "dir"}); }

// The document's text in a subtree, white space collapsed (to compare a link's text with its URL).
std::string CollapsedText(const xmlNode* node) {
  std::string text;
  xmlChar* raw = xmlNodeGetContent(node);
  if (raw) text = reinterpret_cast<const char*>(raw);
  xmlFree(raw);
  std::string out;
  bool space = false;
  for (char c : text) {
    if (IsHtmlSpace(static_cast<unsigned char>(c))) {
      space = !out.empty();
    } else {
      if (space) out += ' ';
      out += c;
      space = false;
    }
  }
  return out;
}

// The URL a link adds after its text, or an empty text.
std::string LinkTarget(const xmlNode* link) {
  std::string url;
  for (char c : Attribute(link, "href"))
    if (!IsHtmlSpace(static_cast<unsigned char>(c))) url += c;
  std::string lower = AsciiLower(url);
  if (url.empty() || url[0] == '#' || lower.rfind("javascript:", 0) == 0) return "";
  std::string text = CollapsedText(link);
  if (text == url) return "";
  if (lower.rfind("mailto:", 0) == 0 && text == url.substr(7)) return "";
  return url;
}

// Walks the tree in document order without recursion (the parser allows deep nesting).
class Walker {
 public:
  explicit Walker(TextWriter& writer) : out_(writer) {}
  // Reads `first`, its siblings after it and everything within them.
  void Walk(xmlNode* first) {
    xmlNode* const top = first ? first->parent : nullptr;
    xmlNode* node = first;
    while (node) {
      if (Enter(node) && node->children) {
        node = node->children;
        continue;
      }
      node = LeaveUpTo(node, top);
    }
  }

  private:
  // Leaves `node` and every ancestor below `top` that it ends; the next node to enter, if any.
  xmlNode* LeaveUpTo(xmlNode* node, xmlNode* top) {
    while (node != top) {
      Leave(node);
      if (node->next) return node->next;
      node = node->parent;
    }
    return nullptr;
  }
  // Returns whether the node's children are read.
  bool Enter(xmlNode* node) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      if (node->content) out_.Text(reinterpret_cast<const char*>(node->content), preformatted_ > 0);
      return false;
    }
    if (node->type != XML_ELEMENT_NODE) return false;
    if (IsSkipped(node)) {
      skippedOpen_.push_back(node);
      return false;
    }
    EnterElement(node);
    return true;
  }
  void EnterElement(xmlNode* node) {
    int level = BlockLevel(node);
    if (level == 2 && IsList(node) && lists_.size() > 0) level = 1;  // a list within a list item
    if (level > 0) out_.Break(level);
    if (IsPreformatted(node)) ++preformatted_;
    if (IsList(node)) lists_.push_back(NameIs(node, "ol") ? 1 : 0);
    if (NameIs(node, "br")) out_.LineEnd();
    if (NameIs(node, "li")) ListMarker();
    if (NameIs(node, "img")) out_.Text(Attribute(node, "alt"), false);
  }
  void ListMarker() {
    if (lists_.empty() || lists_.back() == 0) {
      out_.Marker("\xE3\x83\xBB");  // ・
      return;
    }
    out_.Marker(std::to_string(lists_.back()++) + ". ");
  }
  void Leave(xmlNode* node) {
    if (!skippedOpen_.empty() && skippedOpen_.back() == node) {
      skippedOpen_.pop_back();
      return;
    }
    if (node->type != XML_ELEMENT_NODE) return;
    if (NameIs(node, "a")) LinkEnd(node);
    if (NameIn(node, {"td", "th"})) out_.Space();
    if (IsPreformatted(node) && preformatted_ > 0) --preformatted_;
    if (IsList(node) && !lists_.empty()) lists_.pop_back();
    int level = BlockLevel(node);
    if (level == 2 && IsList(node) && lists_.size() > 0) level = 1;
    if (level > 0) out_.Break(level);
  }
  void LinkEnd(xmlNode* link) {
    std::string url = LinkTarget(link);
    if (url.empty()) return;
    out_.Space();
    out_.Text("<" + url + ">", false);
  }

  TextWriter& out_;
  int preformatted_ = 0;
  std::vector<int> lists_;  // per open list: 0 unordered, else the next item's number
  std::vector<xmlNode*> skippedOpen_;
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsNameChar(char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_'; }

// Tag names with a prefix (<o:p>, <v:shape> in HTML from Word and Outlook) made prefix-p: the
// parser would drop the prefix and read <o:p> as a paragraph, where browsers see an unknown
// inline element.
std::string UnprefixTagNames(const std::string& html) {
  std::string out = html;
  for (size_t at = out.find('<'); at != std::string::npos; at = out.find('<', at + 1)) {
    size_t name = at + 1 < out.size() && out[at + 1] == '/' ? at + 2 : at + 1;
    if (name >= out.size() || !IsAsciiLetter(out[name])) continue;
    size_t end = name;
    while (end < out.size() && IsNameChar(out[end])) ++end;
    if (end < out.size() && out[end] == ':') out[end] = '-';
  }
  return out;
}

std::once_flag gParserReady;

}  // namespace

std::string HtmlToPlainText(const std::string& html) {
  std::call_once(gParserReady, [] { xmlInitParser(); });
  TextWriter writer;
  // XML_PARSE_HUGE lifts the tree builder's depth limit of 256, past which all text is lost;
  // the walk above needs no stack.
  const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                      HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE;
  const std::string source = UnprefixTagNames(html);
  htmlDocPtr doc = source.empty() ? nullptr
                                  : htmlReadMemory(source.data(), static_cast<int>(source.size()), nullptr, "UTF-8", options);
  if (doc) Walker(writer).Walk(doc->children);
  if (doc) xmlFreeDoc(doc);
  return writer.Finish();
}
