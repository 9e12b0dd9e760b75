#include "gridbridge/biff8_reader.h"

#include <cstring>
#include <unordered_map>
#include <utility>

#include "gridbridge/byte_order.h"
#include "gridbridge/compound_file.h"
#include "platform/codepage.h"

namespace gridbridge {
namespace {

enum RecordType : uint16_t {
  kFormula = 0x0006,
  kBof2 = 0x0009,  // the BOF records of BIFF2, BIFF3 and BIFF4
  kBof3 = 0x0209,
  kBof4 = 0x0409,
  kEof = 0x000A,
  kDateMode = 0x0022,
  kFilePass = 0x002F,
  kContinue = 0x003C,
  kBoundSheet = 0x0085,
  kMulRk = 0x00BD,
  kRString = 0x00D6,
  kXf = 0x00E0,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kNumber = 0x0203,
  kLabel = 0x0204,
  kBoolErr = 0x0205,
  kFormulaOld = 0x0206,  // the FORMULA record of BIFF3 and BIFF4, which some writers still use
  kString = 0x0207,
  kRk = 0x027E,
  kFormat = 0x041E,
  kBof = 0x0809,
};

const uint16_t kBiff8 = 0x0600;
const uint16_t kGlobalsSubstream = 0x0005;
const uint16_t kWorksheetSubstream = 0x0010;
const uint16_t kMacroSheetSubstream = 0x0040;
// How far from the offset that BOUNDSHEET records a sheet's BOF may lie and still be found.
const size_t kNearBof = 32;


// An RK value: a 30-bit integer or the top 30 bits of a double, optionally divided by 100.
double RkValue(uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<int32_t>(rk & 0xFFFFFFFCu) / 4);
  } else {
    uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  if (rk & 1) v /= 100;
  return v;
}

const char* ErrorText(uint8_t code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    case 0x2B: return "#GETTING_DATA";
    default: return nullptr;
  }
}

// One record: its type and where its data lies in the stream.
struct Record {
  uint16_t type;
  size_t data;
  size_t size;
};

// Reads the record header at `pos`; false when the header or the data runs past the end.
bool RecordAt(const std::vector<unsigned char>& s, size_t pos, Record* r) {
  if (pos > s.size() || s.size() - pos < 4) return false;
  r->type = ReadLe16(&s[pos]);
  r->size = ReadLe16(&s[pos + 2]);
  r->data = pos + 4;
  return s.size() - r->data >= r->size;
}

// Appends the text of UTF-16 code units in code page 932; ASCII is copied as it is. In cell
// texts the yen sign U+00A5 becomes the full-width yen (0x818F), not 0x5C.
void AppendCp932(const std::u16string& units, std::string& out, bool cellText = true) {
  bool ascii = true;
  for (char16_t c : units)
    if (c >= 0x80 || c == 0) ascii = false;
  if (ascii) {
    out.append(units.begin(), units.end());
  } else if (cellText && units.find(u'\u00A5') != std::u16string::npos) {
    std::u16string widened = units;
    for (char16_t& c : widened)
      if (c == u'\u00A5') c = u'\uFFE5';
    out += platform::Utf16ToCp932(widened.data(), widened.size());
  } else {
    out += platform::Utf16ToCp932(units.data(), units.size());
  }
}

std::string ToCp932(const std::u16string& units, bool cellText = true) {
  std::string out;
  AppendCp932(units, out, cellText);
  return out;
}

// The data of a record and the CONTINUE records right after it, read as one sequence.
// Plain bytes run on across the seams; the characters of a string do too, but each
// CONTINUE record that a string's characters run into starts with a new flags byte that
// tells whether the rest is stored in one or two bytes per character.
class ContinuedData {
 public:
  // Starts with the record at `pos`; collects the CONTINUE records that follow it.
  // *next receives the position after the last one.
  bool Start(const std::vector<unsigned char>& s, size_t pos, size_t* next) {
    s_ = &s;
    segments_.clear();
    Record r;
    if (!RecordAt(s, pos, &r)) return false;
    segments_.push_back({r.data, r.data + r.size});
    pos = r.data + r.size;
    while (RecordAt(s, pos, &r) && r.type == kContinue) {
      if (r.size) segments_.push_back({r.data, r.data + r.size});  // an empty one carries nothing
      pos = r.data + r.size;
    }
    // A CONTINUE header that is cut off is damage, not the end of the sequence.
    if (pos < s.size() && s.size() - pos >= 4 && ReadLe16(&s[pos]) == kContinue && !RecordAt(s, pos, &r)) return false;
    *next = pos;
    after_.assign(segments_.size(), 0);
    for (size_t i = segments_.size() - 1; i > 0; --i)
      after_[i - 1] = after_[i] + (segments_[i].second - segments_[i].first);
    seg_ = 0;
    at_ = segments_[0].first;
    return true;
  }

  // Bytes the sequence still holds.
  size_t Left() const { return segments_[seg_].second - at_ + after_[seg_]; }

  bool Bytes(unsigned char* out, size_t n) {
    while (n > 0) {
      if (!Fill()) return false;
      size_t take = segments_[seg_].second - at_;
      if (take > n) take = n;
      std::memcpy(out, s_->data() + at_, take);
      out += take;
      at_ += take;
      n -= take;
    }
    return true;
  }

  bool Skip(size_t n) {
    while (n > 0) {
      if (!Fill()) return false;
      size_t take = segments_[seg_].second - at_;
      if (take > n) take = n;
      at_ += take;
      n -= take;
    }
    return true;
  }

  // Reads `count` characters, one or two bytes each as `wide` says at first and as the
  // flags byte of every CONTINUE record they run into says afterwards.
  bool Chars(size_t count, bool wide, std::u16string& out) {
    out.clear();
    if (count > Left()) return false;
    out.reserve(count);
    while (out.size() < count) {
      if (at_ == segments_[seg_].second) {
        if (seg_ + 1 >= segments_.size()) return false;
        ++seg_;
        at_ = segments_[seg_].first;
        if (at_ == segments_[seg_].second) return false;
        wide = ((*s_)[at_] & 1) != 0;
        ++at_;
        continue;
      }
      const unsigned char* p = s_->data() + at_;
      size_t avail = segments_[seg_].second - at_;
      size_t want = count - out.size();
      if (wide) {
        size_t n = avail / 2;
        if (n == 0) {
          // Half a character before the seam, written by a broken writer: the byte is
          // dropped, and the next record goes on with its own flags byte.
          at_ = segments_[seg_].second;
          continue;
        }
        if (n > want) n = want;
        for (size_t i = 0; i < n; ++i) out += static_cast<char16_t>(ReadLe16(p + 2 * i));
        at_ += 2 * n;
      } else {
        size_t n = avail < want ? avail : want;
        for (size_t i = 0; i < n; ++i) out += static_cast<char16_t>(p[i]);
        at_ += n;
      }
    }
    return true;
  }

 private:
  // Moves past exhausted segments; false at the end of the sequence.
  bool Fill() {
    while (at_ == segments_[seg_].second) {
      if (seg_ + 1 >= segments_.size()) return false;
      ++seg_;
      at_ = segments_[seg_].first;
    }
    return true;
  }

  const std::vector<unsigned char>* s_ = nullptr;
  std::vector<std::pair<size_t, size_t>> segments_;
  std::vector<size_t> after_;  // bytes in the segments after each one
  size_t seg_ = 0;
  size_t at_ = 0;
};

// A string with a 16-bit character count and a flags byte (XLUnicodeString), whole inside
// one record's data [p, end). Rich-text runs and phonetic data after it are skipped.
bool ReadRecordString(const unsigned char* p, const unsigned char* end, bool countIs16, std::u16string& out) {
  out.clear();
  size_t head = countIs16 ? 3 : 2;
  // An empty string may end before its flags byte (a LABEL of eight bytes): it is empty.
  if (countIs16 && end - p == 2 && ReadLe16(p) == 0) return true;
  if (static_cast<size_t>(end - p) < head) return false;
  size_t count = countIs16 ? ReadLe16(p) : p[0];
  bool wide = (p[head - 1] & 1) != 0;
  p += head;
  size_t bytes = count * (wide ? 2 : 1);
  if (static_cast<size_t>(end - p) < bytes) return false;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) out += static_cast<char16_t>(wide ? ReadLe16(p + 2 * i) : p[i]);
  return true;
}

// A shared string (XLUnicodeRichExtendedString) from a continued sequence.
bool ReadSharedString(ContinuedData& d, std::u16string& out) {
  unsigned char head[3];
  if (!d.Bytes(head, 3)) return false;
  size_t count = ReadLe16(head);
  unsigned char flags = head[2];
  size_t runs = 0;
  size_t extended = 0;
  unsigned char b[4];
  if (flags & 0x08) {
    if (!d.Bytes(b, 2)) return false;
    runs = ReadLe16(b);
  }
  if (flags & 0x04) {
    if (!d.Bytes(b, 4)) return false;
    extended = ReadLe32(b);
  }
  if (!d.Chars(count, (flags & 1) != 0, out)) return false;
  if (runs * 4 + extended > d.Left()) return false;
  return d.Skip(runs * 4) && d.Skip(extended);
}

}  // namespace

int ExtractWorkbookStream(const unsigned char* data, size_t size, std::vector<unsigned char>& stream) {
  stream.clear();
  CompoundFile cf;
  int r = cf.Open(data, size);
  if (r != kReadOk) return r;
  // Excel 97 and later name the stream "Workbook"; Excel 5 and 95, and a few later writers,
  // "Book" (in any case).
  r = cf.ReadStream("Workbook", stream);
  if (r == kReadNoSuchStream) r = cf.ReadStream("Book", stream);
  if (r != kReadNoSuchStream) return r;
  // A workbook encrypted with a password (any format) is a compound file of this stream.
  std::vector<unsigned char> probe;
  return cf.ReadStream("EncryptedPackage", probe) == kReadNoSuchStream ? kReadNotThisFormat : kReadEncrypted;
}

int Biff8Workbook::Load(const unsigned char* data, size_t size) {
  std::vector<unsigned char> stream;
  int r = ExtractWorkbookStream(data, size, stream);
  if (r != kReadOk) {
    Reset();
    return r;
  }
  return LoadStream(std::move(stream));
}

int Biff8Workbook::LoadStream(std::vector<unsigned char> stream) {
  Reset();
  stream_ = std::move(stream);
  int r = ReadGlobals();
  if (r != kReadOk) Reset();
  return r;
}

void Biff8Workbook::Reset() {
  stream_.clear();
  sheets_.clear();
  sstPool_.clear();
  sstEnds_.clear();
  formats_.clear();
  xfFormat_.clear();
  date1904_ = false;
}

int Biff8Workbook::ReadGlobals() {
  const std::vector<unsigned char>& s = stream_;
  Record r;
  if (!RecordAt(s, 0, &r)) return kReadNotThisFormat;
  if (r.type == kBof2 || r.type == kBof3 || r.type == kBof4) return kReadOldFormat;
  if (r.type != kBof || r.size < 4) return kReadNotThisFormat;
  uint16_t version = ReadLe16(&s[r.data]);
  if (version >= 0x0200 && version < kBiff8) return kReadOldFormat;  // BIFF5 (Excel 5, 95) and older
  if (version != kBiff8 || ReadLe16(&s[r.data + 2]) != kGlobalsSubstream) return kReadNotThisFormat;

  std::unordered_map<uint16_t, std::string> codes;
  std::vector<uint16_t> xfIds;
  std::u16string units;
  size_t pos = r.data + r.size;
  bool ended = false;
  while (!ended) {
    if (!RecordAt(s, pos, &r)) return kReadDamaged;
    const unsigned char* p = s.data() + r.data;
    const unsigned char* end = p + r.size;
    size_t next = r.data + r.size;
    switch (r.type) {
      case kEof:
        ended = true;
        break;
      case kFilePass:
        return kReadEncrypted;
      case kDateMode:
        if (r.size < 2) return kReadDamaged;
        date1904_ = ReadLe16(p) == 1;
        break;
      case kBoundSheet: {
        if (r.size < 6) return kReadDamaged;
        Biff8Sheet sheet;
        sheet.offset = ReadLe32(p);
        sheet.type = p[5];
        if (!ReadRecordString(p + 6, end, false, units)) return kReadDamaged;
        sheet.name = ToCp932(units, false);  // as the user types it, 0x5C for the yen
        if (sheet.type == 0 || sheet.type == 1) sheets_.push_back(std::move(sheet));
        break;
      }
      case kFormat:
        if (r.size < 2) return kReadDamaged;
        if (!ReadRecordString(p + 2, end, true, units)) return kReadDamaged;
        codes[ReadLe16(p)] = platform::Utf16ToUtf8(units.data(), units.size());
        break;
      case kXf:
        if (r.size < 4) return kReadDamaged;
        xfIds.push_back(ReadLe16(p + 2));
        break;
      case kSst: {
        ContinuedData d;
        if (!d.Start(s, pos, &next)) return kReadDamaged;
        unsigned char head[8];
        if (!d.Bytes(head, 8)) return kReadDamaged;
        size_t unique = ReadLe32(head + 4);
        // Each string takes at least three bytes: never trust the count beyond that. Some
        // writers declare more strings than they wrote: the table ends with its data.
        sstEnds_.reserve(unique < d.Left() / 3 ? unique : d.Left() / 3);
        sstPool_.reserve(d.Left());
        for (size_t i = 0; i < unique && d.Left() > 0; ++i) {
          if (!ReadSharedString(d, units)) return kReadDamaged;
          AppendCp932(units, sstPool_);
          if (sstPool_.size() > 0xFFFFFFFFu) return kReadDamaged;
          sstEnds_.push_back(static_cast<uint32_t>(sstPool_.size()));
        }
        sstPool_.shrink_to_fit();
        break;
      }
      default:
        break;
    }
    pos = next;
  }

  // One shared format object per format id in use, so that sinks can cache by it.
  std::unordered_map<uint16_t, uint32_t> slot;
  xfFormat_.reserve(xfIds.size());
  for (uint16_t id : xfIds) {
    auto it = slot.find(id);
    if (it == slot.end()) {
      Biff8NumberFormat f;
      f.id = id;
      auto c = codes.find(id);
      if (c != codes.end()) f.code = c->second;
      it = slot.emplace(id, static_cast<uint32_t>(formats_.size())).first;
      formats_.push_back(std::move(f));
    }
    xfFormat_.push_back(it->second);
  }
  return kReadOk;
}

const Biff8NumberFormat& Biff8Workbook::FormatOfXf(uint16_t xf) const {
  if (xf >= xfFormat_.size()) return general_;
  return formats_[xfFormat_[xf]];
}

int Biff8Workbook::FindSheet(const char* name) const {
  for (size_t i = 0; i < sheets_.size(); ++i)
    if (sheets_[i].name == name) return static_cast<int>(i);
  return -1;
}

size_t Biff8Workbook::SheetBof(uint32_t offset) const {
  // A sheet's BOF at the recorded offset, or else the nearest BIFF8 worksheet or macro sheet
  // BOF a few bytes off it (as some writers record it).
  auto sheetBof = [this](size_t pos, bool strict) {
    Record r;
    if (!RecordAt(stream_, pos, &r) || r.type != kBof || r.size < 4) return false;
    uint16_t kind = ReadLe16(&stream_[r.data + 2]);
    if (!strict) return kind != kGlobalsSubstream;
    return ReadLe16(&stream_[r.data]) == kBiff8 && (kind == kWorksheetSubstream || kind == kMacroSheetSubstream);
  };
  if (sheetBof(offset, false)) return offset;
  for (size_t d = 1; d <= kNearBof; ++d) {
    if (offset >= d && sheetBof(offset - d, true)) return offset - d;
    if (sheetBof(static_cast<size_t>(offset) + d, true)) return static_cast<size_t>(offset) + d;
  }
  return offset;
}

int Biff8Workbook::ReadSheet(size_t index, Biff8CellSink& sink) const {
  if (index >= sheets_.size()) return kReadNoSuchSheet;
  const std::vector<unsigned char>& s = stream_;
  Record r;
  size_t pos = SheetBof(sheets_[index].offset);
  if (!RecordAt(s, pos, &r) || r.type != kBof || r.size < 4) return kReadDamaged;
  if (ReadLe16(&s[r.data + 2]) == kGlobalsSubstream) return kReadDamaged;

  // Charts embedded in a worksheet are substreams of their own, BOF to EOF, inside it:
  // only the records at depth 1 belong to the sheet.
  int depth = 0;
  bool stringPending = false;  // a FORMULA whose text result follows in a STRING record
  uint32_t pendingRow = 0, pendingColumn = 0;
  const Biff8NumberFormat* pendingFormat = &general_;
  std::u16string units;
  std::string text;
  while (true) {
    if (!RecordAt(s, pos, &r)) return kReadDamaged;
    const unsigned char* p = s.data() + r.data;
    const unsigned char* end = p + r.size;
    size_t next = r.data + r.size;
    if (r.type == kBof) {
      ++depth;
    } else if (r.type == kEof) {
      if (--depth == 0) break;
    } else if (depth == 1) {
      switch (r.type) {
        case kLabelSst: {
          if (r.size < 10) return kReadDamaged;
          uint32_t isst = ReadLe32(p + 6);
          if (isst >= sstEnds_.size()) return kReadDamaged;
          uint32_t begin = isst ? sstEnds_[isst - 1] : 0;
          sink.Text(ReadLe16(p), ReadLe16(p + 2), sstPool_.data() + begin, sstEnds_[isst] - begin,
                    FormatOfXf(ReadLe16(p + 4)));
          break;
        }
        case kLabel:
        case kRString:
          if (r.size < 6 || !ReadRecordString(p + 6, end, true, units)) return kReadDamaged;
          text = ToCp932(units);
          sink.Text(ReadLe16(p), ReadLe16(p + 2), text.data(), text.size(), FormatOfXf(ReadLe16(p + 4)));
          break;
        case kNumber:
          if (r.size < 14) return kReadDamaged;
          sink.Number(ReadLe16(p), ReadLe16(p + 2), ReadLeDouble(p + 6), FormatOfXf(ReadLe16(p + 4)));
          break;
        case kRk:
          if (r.size < 10) return kReadDamaged;
          sink.Number(ReadLe16(p), ReadLe16(p + 2), RkValue(ReadLe32(p + 6)), FormatOfXf(ReadLe16(p + 4)));
          break;
        case kMulRk: {
          // Row, first column, then six bytes (XF, RK) per cell, then the last column.
          if (r.size < 12 || (r.size - 6) % 6 != 0) return kReadDamaged;
          uint32_t row = ReadLe16(p);
          uint32_t column = ReadLe16(p + 2);
          size_t cells = (r.size - 6) / 6;
          for (size_t i = 0; i < cells; ++i) {
            const unsigned char* c = p + 4 + 6 * i;
            sink.Number(row, column + static_cast<uint32_t>(i), RkValue(ReadLe32(c + 2)), FormatOfXf(ReadLe16(c)));
          }
          break;
        }
        case kBoolErr:
          if (r.size < 8) return kReadDamaged;
          if (p[7] == 0) {
            sink.Boolean(ReadLe16(p), ReadLe16(p + 2), p[6] != 0);
          } else if (const char* e = ErrorText(p[6])) {
            sink.Error(ReadLe16(p), ReadLe16(p + 2), e);
          }
          break;
        case kFormula:
        case kFormulaOld: {
          // Row, column, XF, the cached result (8 bytes), flags, then the formula; the older
          // record has no 4-byte field before the formula.
          if (r.size < (r.type == kFormula ? 20 : 18)) return kReadDamaged;
          uint32_t row = ReadLe16(p), column = ReadLe16(p + 2);
          const unsigned char* v = p + 6;
          stringPending = false;
          if (v[6] != 0xFF || v[7] != 0xFF) {
            sink.Number(row, column, ReadLeDouble(v), FormatOfXf(ReadLe16(p + 4)));
          } else if (v[0] == 0) {
            stringPending = true;
            pendingRow = row;
            pendingColumn = column;
            pendingFormat = &FormatOfXf(ReadLe16(p + 4));
          } else if (v[0] == 1) {
            sink.Boolean(row, column, v[2] != 0);
          } else if (v[0] == 2) {
            if (const char* e = ErrorText(v[2])) sink.Error(row, column, e);
          }
          // v[0] == 3 is an empty text: the cell shows nothing.
          break;
        }
        case kString: {
          ContinuedData d;
          if (!d.Start(s, pos, &next)) return kReadDamaged;
          unsigned char head[3];
          if (!d.Bytes(head, 3) || !d.Chars(ReadLe16(head), (head[2] & 1) != 0, units)) return kReadDamaged;
          if (stringPending) {
            text = ToCp932(units);
            sink.Text(pendingRow, pendingColumn, text.data(), text.size(), *pendingFormat);
            stringPending = false;
          }
          break;
        }
        default:
          break;
      }
    }
    pos = next;
  }
  return kReadOk;
}

}  // namespace gridbridge
