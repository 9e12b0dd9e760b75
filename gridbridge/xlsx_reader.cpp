#include "gridbridge/xlsx_reader.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "gridbridge/cell_address.h"
#include "gridbridge/cell_format.h"
#include "gridbridge/cell_text.h"
#include "gridbridge/value_format.h"
#include "gridbridge/xml_pieces.h"
#include "gridbridge/zip_archive.h"
#include "platform/codepage.h"

namespace gridbridge {
namespace {

using Document = rapidxml::xml_document<char>;
using Node = rapidxml::xml_node<char>;
using Attribute = rapidxml::xml_attribute<char>;
// Data nodes are kept: an element's text may come in pieces (text and CDATA sections).
constexpr int kParseFlags = rapidxml::parse_validate_closing_tags;

// Parts read whole (workbook, relationships, styles) are small; this bounds a hostile one.
constexpr uint64_t kMaxSmallPart = 64ull * 1024 * 1024;
// More strings than this are no workbook's but a hostile file's.
constexpr size_t kMaxSharedStrings = size_t(1) << 25;
// Rich-text runs past this length cannot reach a 255-byte value.
constexpr size_t kMaxStringSource = 8 * 1024;

// True when the name is local or prefix:local.
bool LocalIs(const char* name, size_t len, const char* local) {
  size_t n = std::strlen(local);
  if (len < n || std::memcmp(name + len - n, local, n) != 0) return false;
  return len == n || (name[len - n - 1] == ':' && std::memchr(name, ':', len - n - 1) == nullptr);
}
// The same for a one-letter local name, the common case inside a sheet.
inline bool IsShortName(const char* name, size_t len, char local) {
  return len > 0 && name[len - 1] == local && (len == 1 || (name[len - 2] == ':' && !std::memchr(name, ':', len - 2)));
}
bool Is(const Node* n, const char* local) { return LocalIs(n->name(), n->name_size(), local); }

Node* Child(Node* n, const char* local) {
  for (Node* c = n->first_node(); c; c = c->next_sibling())
    if (c->type() == rapidxml::node_element && Is(c, local)) return c;
  return nullptr;
}
Node* Sibling(Node* n, const char* local) {
  for (Node* c = n->next_sibling(); c; c = c->next_sibling())
    if (c->type() == rapidxml::node_element && Is(c, local)) return c;
  return nullptr;
}
Attribute* Attr(Node* n, const char* local) {
  for (Attribute* a = n->first_attribute(); a; a = a->next_attribute())
    if (LocalIs(a->name(), a->name_size(), local)) return a;
  return nullptr;
}
std::string AttrText(Node* n, const char* local) {
  Attribute* a = Attr(n, local);
  return a ? std::string(a->value(), a->value_size()) : std::string();
}

// Parses a zero-terminated writable text in place; false for malformed XML.
bool Parse(Document* doc, char* text) {
  doc->clear();
  try {
    doc->parse<kParseFlags>(text);
  } catch (const rapidxml::parse_error&) {
    return false;
  }
  return true;
}

bool ParseUnsigned(const char* text, size_t len, unsigned long* value) {
  if (len == 0 || len > 9) return false;
  unsigned long v = 0;
  for (size_t i = 0; i < len; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + static_cast<unsigned long>(text[i] - '0');
  }
  *value = v;
  return true;
}

// "0", or an optional minus and up to 15 digits without a leading zero: such a number's
// general form is its own text.
bool IsPlainInteger(const char* text, size_t len) {
  size_t i = (len > 1 && text[0] == '-') ? 1 : 0;
  if (len - i == 1) return text[i] >= '0' && text[i] <= '9' && !(i == 1 && text[i] == '0');
  if (len - i == 0 || len - i > 15 || text[i] == '0') return false;
  for (; i < len; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsBlank(const char* text, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (!IsXmlSpace(text[i])) return false;
  return true;
}

std::string FolderOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// rapidxml drops text that is whitespace alone (<t> </t>, a rich-text run of one space). For
// an element that came out without children, the text is found in the parsed piece: the bytes
// after its start tag up to its end tag, which parsing left as they were, when they are
// whitespace only. False for an element without text.
bool BlankText(Node* element, const char** text, size_t* len) {
  // Parsing wrote a terminator over the byte after the name (or after the last attribute's
  // value, over its closing quote).
  Attribute* last = element->last_attribute();
  const char* p = last ? last->value() + last->value_size() : element->name() + element->name_size();
  const char* q = p + 1;
  while (IsXmlSpace(*q)) ++q;
  const char* start;
  if (*q == '>') {
    start = q + 1;  // <t > or <t xml:space="preserve">
  } else if (*q == '/') {
    return false;  // <t a="b"/>
  } else if (!last) {
    start = p + 1;  // <t>: the terminator took the place of its '>'
  } else {
    q = std::strchr(q, '>');  // after a value that entities made shorter
    if (!q || q[-1] == '/') return false;
    start = q + 1;
  }
  const char* end = start;
  while (IsXmlSpace(*end)) ++end;
  size_t n = element->name_size();
  if (end == start || end[0] != '<' || end[1] != '/' || std::strncmp(end + 2, element->name(), n) != 0) return false;
  const char* close = end + 2 + n;
  while (IsXmlSpace(*close)) ++close;
  if (*close != '>') return false;
  *text = start;
  *len = static_cast<size_t>(end - start);
  return true;
}

// The text of an element: its character data and CDATA sections, in order, appended.
void AppendText(Node* element, std::string* utf8) {
  const char* blank;
  size_t blankLen;
  if (!element->first_node() && BlankText(element, &blank, &blankLen)) utf8->append(blank, blankLen);
  for (Node* c = element->first_node(); c; c = c->next_sibling())
    if (c->type() == rapidxml::node_data || c->type() == rapidxml::node_cdata) utf8->append(c->value(), c->value_size());
}

// The text of an element as one piece: in the document when it is one piece (the common
// case, without a copy), else joined in *joined.
void ElementText(Node* element, std::string* joined, const char** text, size_t* len) {
  Node* first = element->first_node();
  if (!first || (!first->next_sibling() && first->type() == rapidxml::node_data)) {
    *text = first ? first->value() : "";
    *len = first ? first->value_size() : 0;
    if (!first) BlankText(element, text, len);
    return;
  }
  joined->clear();
  AppendText(element, joined);
  *text = joined->data();
  *len = joined->size();
}

// A string item (<si> or <is>): plain <t>, or the <t> of every rich-text run, whitespace
// included; phonetic readings (<rPh>) are not part of the text.
void CollectText(Node* item, std::string* utf8) {
  utf8->clear();
  for (Node* c = item->first_node(); c; c = c->next_sibling()) {
    if (c->type() != rapidxml::node_element) continue;
    if (IsShortName(c->name(), c->name_size(), 't')) {
      AppendText(c, utf8);
    } else if (IsShortName(c->name(), c->name_size(), 'r')) {
      if (Node* t = Child(c, "t")) AppendText(t, utf8);
    }
    if (utf8->size() > kMaxStringSource) {
      utf8->resize(kMaxStringSource);
      break;
    }
  }
  DecodeXmlCharEscapes(utf8);
}

class MemberSource : public XmlSource {
 public:
  long Read(char* buffer, size_t capacity) override { return reader.Read(buffer, capacity); }
  ZipMemberReader reader;
};

// A member's XML in UTF-8, whichever of UTF-8 and UTF-16 it is written in.
class MemberXml : public XmlSource {
 public:
  MemberXml() : utf8_(member_) {}
  bool Begin(const ZipArchive& zip, const ZipEntry& entry) { return member_.reader.Begin(zip, entry); }
  long Read(char* buffer, size_t capacity) override { return utf8_.Read(buffer, capacity); }

 private:
  MemberSource member_;
  Utf8XmlSource utf8_;
};

const char* const kSstRoot[] = {"sst", nullptr};
// Worksheets, and the macro and dialog sheets of .xlsm workbooks (which may hold no cells).
const char* const kSheetRoots[] = {"worksheet", "macrosheet", "dialogsheet", nullptr};

class XlsxReader : public WorkbookReader {
 public:
  explicit XlsxReader(std::string bytes) : bytes_(std::move(bytes)) {}
  bool Init();
  // True when Init found an Excel binary workbook (.xlsb).
  bool Binary() const { return binary_; }
  const std::vector<std::string>& SheetNames() const override { return names_; }
  bool LoadSheet(const char* sheetName, SheetTable* table) override;

  // Cell values, for the row handler.
  bool SharedString(unsigned long index, const char** text, size_t* len) const {
    if (index + 1 >= sharedOffsets_.size()) return false;
    *text = sharedPool_.data() + sharedOffsets_[index];
    *len = sharedOffsets_[index + 1] - sharedOffsets_[index];
    return true;
  }
  const CellFormat& FormatOfStyle(unsigned long xf) const {
    return xf < xfFormats_.size() ? formats_[xfFormats_[xf]] : formats_[0];
  }
  const CellFormat& GeneralFormat() const { return formats_[0]; }
  bool Date1904() const { return date1904_; }
  void AddSharedString(const std::string& value) {
    sharedPool_ += value;
    sharedOffsets_.push_back(static_cast<uint32_t>(sharedPool_.size()));
  }
  size_t SharedPoolSize() const { return sharedPool_.size(); }
  size_t SharedCount() const { return sharedOffsets_.size() - 1; }

 private:
  bool ReadPart(const std::string& name, std::string* text) const;
  bool LoadSharedStrings();
  bool LoadStyles();

  std::string bytes_;
  ZipArchive zip_;
  std::vector<std::string> names_;
  std::vector<std::string> sheetParts_;
  std::string sharedStringsPart_ = "xl/sharedStrings.xml";
  std::string stylesPart_ = "xl/styles.xml";
  bool date1904_ = false;
  bool binary_ = false;
  bool extrasLoaded_ = false;
  std::string sharedPool_;
  std::vector<uint32_t> sharedOffsets_;
  std::vector<CellFormat> formats_;    // one per number format in use; the first is General
  std::vector<uint32_t> xfFormats_;    // cell style (xf) -> index into formats_
};

bool XlsxReader::ReadPart(const std::string& name, std::string* text) const {
  const ZipEntry* e = zip_.Find(name.c_str());
  if (!e || !zip_.ReadAll(*e, text, kMaxSmallPart)) return false;
  ConvertUtf16Xml(text);
  text->push_back('\0');
  return true;
}

bool XlsxReader::Init() {
  if (!zip_.Open(reinterpret_cast<const unsigned char*>(bytes_.data()), bytes_.size())) return false;
  std::unique_ptr<Document> doc(new Document);
  std::string text;
  // The package relationships name the workbook part; xl/workbook.xml is where it nearly always is.
  std::string workbookPart = "xl/workbook.xml";
  if (ReadPart("_rels/.rels", &text) && Parse(doc.get(), &text[0])) {
    if (Node* root = doc->first_node()) {
      for (Node* r = Child(root, "Relationship"); r; r = Sibling(r, "Relationship")) {
        std::string type = AttrText(r, "Type");
        if (type.size() >= 15 && type.compare(type.size() - 15, 15, "/officeDocument") == 0) {
          std::string resolved = ResolvePartName("", AttrText(r, "Target"));
          if (!resolved.empty()) workbookPart = resolved;
          break;
        }
      }
    }
  }
  // An Excel binary workbook (.xlsb) is a package too, but of binary parts: not read.
  size_t n = workbookPart.size();
  binary_ = (n > 4 && workbookPart.compare(n - 4, 4, ".bin") == 0) ||
            (!zip_.Find(workbookPart.c_str()) && zip_.Find("xl/workbook.bin"));
  if (binary_) return false;
  if (!ReadPart(workbookPart, &text) || !Parse(doc.get(), &text[0])) return false;
  Node* workbook = doc->first_node();
  if (!workbook || !Is(workbook, "workbook")) return false;
  if (Node* pr = Child(workbook, "workbookPr")) {
    std::string v = AttrText(pr, "date1904");
    date1904_ = v == "1" || v == "true";
  }
  std::vector<std::pair<std::string, std::string>> sheets;  // UTF-8 name, relationship id
  if (Node* list = Child(workbook, "sheets"))
    for (Node* s = Child(list, "sheet"); s; s = Sibling(s, "sheet")) sheets.emplace_back(AttrText(s, "name"), AttrText(s, "id"));
  if (sheets.empty()) return false;

  std::string folder = FolderOf(workbookPart);
  std::string relsPart = folder + "_rels/" + workbookPart.substr(folder.size()) + ".rels";
  std::vector<std::pair<std::string, std::string>> targets;  // id, part
  if (!ReadPart(relsPart, &text) || !Parse(doc.get(), &text[0])) return false;
  Node* rels = doc->first_node();
  if (!rels) return false;
  for (Node* r = Child(rels, "Relationship"); r; r = Sibling(r, "Relationship")) {
    if (AttrText(r, "TargetMode") == "External") continue;
    std::string type = AttrText(r, "Type");
    std::string part = ResolvePartName(folder, AttrText(r, "Target"));
    auto endsWith = [&type](const char* tail) {
      size_t n = std::strlen(tail);
      return type.size() >= n && type.compare(type.size() - n, n, tail) == 0;
    };
    if (endsWith("/sharedStrings")) sharedStringsPart_ = part;
    else if (endsWith("/styles")) stylesPart_ = part;
    targets.emplace_back(AttrText(r, "Id"), part);
  }
  for (const auto& s : sheets) {
    std::string part;
    for (const auto& t : targets)
      if (t.first == s.second) part = t.second;
    names_.push_back(platform::Utf8ToCp932(s.first));
    sheetParts_.push_back(part);  // empty: the sheet has no part, and loading it fails
  }
  return true;
}

bool XlsxReader::LoadStyles() {
  formats_.assign(1, CellFormat());
  formats_[0].Prepare(0, nullptr);
  xfFormats_.clear();
  std::string text;
  if (!zip_.Find(stylesPart_.c_str())) return true;  // no styles: every number is general
  std::unique_ptr<Document> doc(new Document);
  if (!ReadPart(stylesPart_, &text) || !Parse(doc.get(), &text[0])) return false;
  Node* root = doc->first_node();
  if (!root) return false;
  std::unordered_map<unsigned long, std::string> custom;  // the workbook's own codes by id (the last one wins)
  if (Node* fmts = Child(root, "numFmts"))
    for (Node* f = Child(fmts, "numFmt"); f; f = Sibling(f, "numFmt")) {
      unsigned long id;
      std::string idText = AttrText(f, "numFmtId");
      if (ParseUnsigned(idText.data(), idText.size(), &id)) custom[id] = AttrText(f, "formatCode");
    }
  std::unordered_map<unsigned long, uint32_t> prepared;  // format id -> index into formats_
  if (Node* xfs = Child(root, "cellXfs"))
    for (Node* xf = Child(xfs, "xf"); xf; xf = Sibling(xf, "xf")) {
      unsigned long id = 0;
      std::string idText = AttrText(xf, "numFmtId");
      ParseUnsigned(idText.data(), idText.size(), &id);
      auto it = prepared.find(id);
      if (it == prepared.end()) {
        auto c = custom.find(id);
        it = prepared.emplace(id, static_cast<uint32_t>(formats_.size())).first;
        formats_.emplace_back();
        formats_.back().Prepare(static_cast<int>(id), c == custom.end() ? nullptr : c->second.c_str());
      }
      xfFormats_.push_back(it->second);
    }
  return true;
}

class SharedStringHandler : public XmlPieceHandler {
 public:
  explicit SharedStringHandler(XlsxReader* reader) : reader_(reader), doc_(new Document) {}
  bool OnPiece(char* text, size_t) override {
    if (!Parse(doc_.get(), text)) return false;
    Node* si = doc_->first_node();
    if (!si) return false;
    CollectText(si, &utf8_);
    Utf8ToCellValue(utf8_.data(), utf8_.size(), &value_);
    if (reader_->SharedPoolSize() + value_.size() > 0xFFFFFFF0u || reader_->SharedCount() >= kMaxSharedStrings)
      return false;
    reader_->AddSharedString(value_);
    return true;
  }

 private:
  XlsxReader* reader_;
  std::unique_ptr<Document> doc_;
  std::string utf8_, value_;
};

bool XlsxReader::LoadSharedStrings() {
  sharedPool_.clear();
  sharedOffsets_.assign(1, 0);
  const ZipEntry* e = zip_.Find(sharedStringsPart_.c_str());
  if (!e) return true;  // a workbook without text cells may have none
  MemberXml source;
  if (!source.Begin(zip_, *e)) return false;
  SharedStringHandler handler(this);
  return ForEachPiece(source, "si", "sst", kSstRoot, handler);
}

class RowHandler : public XmlPieceHandler {
 public:
  RowHandler(const XlsxReader* reader, SheetTable* table) : reader_(reader), table_(table), doc_(new Document) {}

  bool OnPiece(char* text, size_t) override {
    if (!Parse(doc_.get(), text)) return false;
    Node* row = doc_->first_node();
    if (!row) return false;
    long rowNumber;
    if (!RowNumber(row, &rowNumber)) return false;
    lastRow_ = rowNumber;
    long column = -1;
    for (Node* c = row->first_node(); c; c = c->next_sibling()) {
      if (c->type() != rapidxml::node_element || !IsShortName(c->name(), c->name_size(), 'c')) continue;
      // One pass over the attributes and one over the children of each cell.
      Attribute *ref = nullptr, *type = nullptr, *style = nullptr;
      for (Attribute* a = c->first_attribute(); a; a = a->next_attribute()) {
        if (IsShortName(a->name(), a->name_size(), 'r')) ref = a;
        else if (IsShortName(a->name(), a->name_size(), 't')) type = a;
        else if (IsShortName(a->name(), a->name_size(), 's')) style = a;
      }
      // A cell without a usable reference (none, "0", no column) follows the one before it,
      // as Excel places it.
      long col, rowOfCell;
      if (ref && ParseCellReference(ref->value(), ref->value_size(), &col, &rowOfCell) && col >= 0) column = col;
      else ++column;
      if (rowNumber > kMaxRow || column >= kColumnCount) continue;  // never addressable
      const char* value = nullptr;
      size_t valueLen = 0;
      if (!CellValue(c, type, style, &value, &valueLen)) return false;
      if (valueLen && !table_->Set(rowNumber, column, value, valueLen)) return false;
    }
    return true;
  }

 private:
  // The row's number: its r attribute, or the row after the one before when r is missing or
  // unusable (empty, "0", not a number). False for a number too long for any sheet.
  bool RowNumber(Node* row, long* number) const {
    *number = lastRow_ + 1;
    Attribute* r = Attr(row, "r");
    if (!r) return true;
    const char* v = r->value();
    size_t n = r->value_size();
    bool digits = n > 0;
    for (size_t i = 0; i < n; ++i)
      if (v[i] < '0' || v[i] > '9') digits = false;
    unsigned long parsed;
    if (!digits) return true;
    if (!ParseUnsigned(v, n, &parsed)) return false;  // more than nine digits: damage
    if (parsed > 0) *number = static_cast<long>(parsed);
    return true;
  }

  // A text (UTF-8) as the cell's value, through the text section of its format.
  void TextValue(const char* utf8, size_t n, const CellFormat& format, const char** value, size_t* len) {
    Utf8ToCellValue(utf8, n, &text_);
    if (format.FormatsText()) {
      format.Text(text_.data(), text_.size(), &formatted_);
      text_.swap(formatted_);
    }
    Take(text_, value, len);
  }

  bool CellValue(Node* c, Attribute* t, Attribute* style, const char** value, size_t* len) {
    const char* typeText = t ? t->value() : "n";
    size_t typeLen = t ? t->value_size() : 1;
    auto typeIs = [typeText, typeLen](const char* name) {
      // name is a literal; comparing its first byte first skips most of the work
      return typeText[0] == name[0] && std::strlen(name) == typeLen && std::memcmp(typeText, name, typeLen) == 0;
    };
    Node* v = nullptr;
    Node* is = nullptr;
    for (Node* k = c->first_node(); k; k = k->next_sibling()) {
      if (k->type() != rapidxml::node_element) continue;
      if (IsShortName(k->name(), k->name_size(), 'v')) v = k;
      else if (k->name_size() >= 2 && k->name()[k->name_size() - 1] == 's' && Is(k, "is")) is = k;
    }
    unsigned long styleIndex = 0;
    if (style) ParseUnsigned(style->value(), style->value_size(), &styleIndex);
    const CellFormat& format = reader_->FormatOfStyle(styleIndex);
    if (typeIs("inlineStr")) {
      if (!is) return true;
      CollectText(is, &utf8_);
      TextValue(utf8_.data(), utf8_.size(), format, value, len);
      return true;
    }
    const char* raw;
    size_t rawLen;
    if (!v) return true;
    ElementText(v, &joined_, &raw, &rawLen);
    if (rawLen == 0) return true;  // no value, or a formula without a cached result
    // Blanks are a formula's text result; for every other type they are no value.
    if (!typeIs("str") && IsBlank(raw, rawLen)) return true;
    if (typeIs("s")) return SharedStringValue(raw, rawLen, format, value, len);
    if (typeIs("b")) {
      *value = (rawLen == 1 && raw[0] == '0') ? "FALSE" : "TRUE";
      *len = std::strlen(*value);
      return true;
    }
    if (typeIs("str") || typeIs("e")) {
      utf8_.assign(raw, rawLen);
      DecodeXmlCharEscapes(&utf8_);
      TextValue(utf8_.data(), utf8_.size(), typeIs("e") ? reader_->GeneralFormat() : format, value, len);
      return true;
    }
    if (typeIs("d")) IsoDateValue(raw, rawLen, format, value, len);
    else NumberValue(raw, rawLen, format, value, len);  // type "n" or none
    return true;
  }

  bool SharedStringValue(const char* raw, size_t rawLen, const CellFormat& format, const char** value, size_t* len) {
    unsigned long index;
    if (!ParseUnsigned(raw, rawLen, &index) || !reader_->SharedString(index, value, len)) return false;
    if (format.FormatsText()) {
      format.Text(*value, *len, &text_);
      Take(text_, value, len);
    }
    return true;
  }

  // An ISO 8601 date: shown by a date format as Excel shows its serial, else as a date.
  void IsoDateValue(const char* raw, size_t rawLen, const CellFormat& format, const char** value, size_t* len) {
    double serial;
    if (format.ShowsDates() && IsoDateTimeSerial(raw, rawLen, reader_->Date1904(), &serial)) {
      format.Number(serial, reader_->Date1904(), &text_);
      Take(text_, value, len);
    } else if (FormatIsoDateTime(raw, rawLen, number_, len)) {
      *value = number_;
    } else {
      TextValue(raw, rawLen, reader_->GeneralFormat(), value, len);
    }
  }

  // A number, shown in the way its number format says; what is no number after all stays
  // the text it is.
  void NumberValue(const char* raw, size_t rawLen, const CellFormat& format, const char** value, size_t* len) {
    if (format.IsGeneral() && IsPlainInteger(raw, rawLen)) {
      *value = raw;  // already the text the general format shows
      *len = rawLen;
      return;
    }
    char* end = nullptr;
    double d = std::strtod(raw, &end);
    if (end != raw + rawLen) {
      TextValue(raw, rawLen, reader_->GeneralFormat(), value, len);
      return;
    }
    format.Number(d, reader_->Date1904(), &text_);
    Take(text_, value, len);
  }

  static void Take(const std::string& text, const char** value, size_t* len) {
    *value = text.data();
    *len = text.size();
  }

  const XlsxReader* reader_;
  SheetTable* table_;
  std::unique_ptr<Document> doc_;
  long lastRow_ = 0;
  std::string utf8_, text_, formatted_, joined_;
  char number_[64];
};

bool XlsxReader::LoadSheet(const char* sheetName, SheetTable* table) {
  table->Clear();
  size_t index = 0;
  while (index < names_.size() && names_[index] != sheetName) ++index;
  if (index == names_.size() || sheetParts_[index].empty()) return false;
  const ZipEntry* e = zip_.Find(sheetParts_[index].c_str());
  if (!e) return false;
  if (!extrasLoaded_) {
    if (!LoadSharedStrings() || !LoadStyles()) {
      sharedPool_.clear();
      sharedOffsets_.clear();
      formats_.clear();
      xfFormats_.clear();
      return false;
    }
    extrasLoaded_ = true;
  }
  MemberXml source;
  if (!source.Begin(zip_, *e)) return false;
  RowHandler handler(this, table);
  if (!ForEachPiece(source, "row", "sheetData", kSheetRoots, handler)) {
    table->Clear();
    return false;
  }
  return true;
}

}  // namespace

std::string ResolvePartName(const std::string& baseFolder, const std::string& target) {
  if (target.empty()) return std::string();
  std::string path = target[0] == '/' ? target.substr(1) : baseFolder + target;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string seg = path.substr(start, slash - start);
    if (seg == "..") {
      if (parts.empty()) return std::string();
      parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

std::unique_ptr<WorkbookReader> OpenXlsxFromMemory(std::string bytes, int* why) {
  std::unique_ptr<XlsxReader> reader(new XlsxReader(std::move(bytes)));
  bool ok = reader->Init();
  if (why) *why = ok ? kReadOk : reader->Binary() ? kReadBinaryFormat : kReadDamaged;
  if (!ok) return nullptr;
  return std::unique_ptr<WorkbookReader>(reader.release());
}

}  // namespace gridbridge
