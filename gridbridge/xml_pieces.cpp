#include "gridbridge/xml_pieces.h"

#include <cstring>
#include <string.h>

#include "gridbridge/byte_order.h"

namespace gridbridge {
namespace {

constexpr size_t kChunk = 256 * 1024;
// The longest piece or stretch of text between pieces that is kept whole.
constexpr size_t kMaxPiece = 64 * 1024 * 1024;

// The first occurrence of needle (m bytes, m >= 1) in the n bytes at haystack, or nullptr.
const char* FindBytes(const char* haystack, size_t n, const char* needle, size_t m) {
#if defined(__GLIBC__)
  return static_cast<const char*>(memmem(haystack, n, needle, m));
#else
  const char* end = haystack + n;
  for (const char* p = haystack; static_cast<size_t>(end - p) >= m;) {
    p = static_cast<const char*>(std::memchr(p, needle[0], static_cast<size_t>(end - p) - m + 1));
    if (!p) return nullptr;
    if (std::memcmp(p, needle, m) == 0) return p;
    ++p;
  }
  return nullptr;
#endif
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsOneOf(const char* name, size_t len, const char* const* names) {
  for (; *names; ++names)
    if (std::strlen(*names) == len && std::memcmp(*names, name, len) == 0) return true;
  return false;
}

void AppendUtf8(std::string* out, unsigned code) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The UTF-16 form of a part's first bytes: 1 little endian, 2 big endian, 0 none. *bom is the
// length of the byte order mark.
int Utf16FormOf(const char* p, size_t n, size_t* bom) {
  *bom = 0;
  if (n >= 2 && p[0] == '\xFF' && p[1] == '\xFE') return *bom = 2, 1;
  if (n >= 2 && p[0] == '\xFE' && p[1] == '\xFF') return *bom = 2, 2;
  if (n >= 2 && p[0] == '<' && p[1] == '\0') return 1;
  if (n >= 2 && p[0] == '\0' && p[1] == '<') return 2;
  return 0;
}

// Converts whole UTF-16 code units of bytes [p, p + n) to UTF-8; a surrogate pair may span
// calls through *high. Unpaired surrogates become U+FFFD.
void Utf16ToUtf8(const char* p, size_t n, int form, unsigned* high, std::string* out) {
  for (size_t i = 0; i + 1 < n; i += 2) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(p + i);
    unsigned unit = form == 1 ? ReadLe16(at) : ReadBe16(at);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (*high) AppendUtf8(out, 0xFFFD);
      *high = unit;
      continue;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendUtf8(out, *high ? 0x10000 + ((*high - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
      *high = 0;
      continue;
    }
    if (*high) AppendUtf8(out, 0xFFFD);
    *high = 0;
    AppendUtf8(out, unit);
  }
}

bool EndsName(char c) { return IsSpace(c) || c == '>' || c == '/' || c == '\0'; }

class Scanner {
 public:
  Scanner(XmlSource& source) : source_(source) {}

  // Makes sure at least need bytes lie at and after pos; false at the end of the input.
  bool Have(size_t need) {
    while (buf_.size() - pos_ < need) {
      if (eof_) return false;
      if (pos_ > 0 && pos_ >= buf_.size() / 2) {
        buf_.erase(0, pos_);
        pos_ = 0;
      }
      if (buf_.size() - pos_ > kMaxPiece) {
        failed_ = true;
        eof_ = true;
        return false;
      }
      size_t old = buf_.size();
      buf_.resize(old + kChunk);
      long n = source_.Read(&buf_[old], kChunk);
      if (n < 0) {
        failed_ = true;
        n = 0;
      }
      buf_.resize(old + static_cast<size_t>(n));
      if (n == 0) eof_ = true;
    }
    return true;
  }

  // Finds text starting at pos + from; returns its offset from pos, or npos at the end.
  size_t FindFrom(size_t from, const char* text) {
    size_t len = std::strlen(text);
    for (;;) {
      if (pos_ + from < buf_.size()) {
        const char* base = buf_.data() + pos_ + from;
        const void* hit = len == 1 ? std::memchr(base, text[0], buf_.size() - pos_ - from)
                                   : FindBytes(base, buf_.size() - pos_ - from, text, len);
        if (hit) return static_cast<size_t>(static_cast<const char*>(hit) - buf_.data()) - pos_;
      }
      size_t scanned = buf_.size() - pos_;
      from = scanned >= len ? scanned - len + 1 : 0;
      if (!Have(scanned + 1)) return std::string::npos;
    }
  }

  // Offset of the ">" that ends the tag starting at pos, skipping quoted attribute values.
  size_t TagEnd() {
    char quote = 0;
    for (size_t i = 1;; ++i) {
      if (!Have(i + 1)) return std::string::npos;
      char c = buf_[pos_ + i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return i;
      } else if (c == '<') {
        return std::string::npos;
      }
    }
  }

  std::string buf_;
  size_t pos_ = 0;
  bool eof_ = false;
  bool failed_ = false;

 private:
  XmlSource& source_;
};

}  // namespace

const char* LocalName(const char* name, size_t len, size_t* localLen) {
  const void* colon = std::memchr(name, ':', len);
  const char* local = colon ? static_cast<const char*>(colon) + 1 : name;
  *localLen = len - static_cast<size_t>(local - name);
  return local;
}

bool ForEachPiece(XmlSource& source, const char* pieceName, const char* containerName, const char* const* rootNames,
                  XmlPieceHandler& handler) {
  Scanner s(source);
  const size_t pieceLen = std::strlen(pieceName), containerLen = std::strlen(containerName);
  std::string rootName;  // the root element's local name, once it is open
  bool containerSeen = false;
  int depth = 0;                // open elements outside the pieces
  bool rootClosed = false;
  for (;;) {
    size_t lt = s.FindFrom(0, "<");
    if (lt == std::string::npos) break;
    // Text between tags outside the pieces is of no interest.
    s.pos_ += lt;
    if (!s.Have(2)) return false;
    char next = s.buf_[s.pos_ + 1];
    if (next == '?') {
      size_t end = s.FindFrom(2, "?>");
      if (end == std::string::npos) return false;
      s.pos_ += end + 2;
      continue;
    }
    if (next == '!') {
      s.Have(9);  // fewer bytes only near the end: then neither form matches
      const char* close = s.buf_.compare(s.pos_, 4, "<!--") == 0 ? "-->"
                          : s.buf_.compare(s.pos_, 9, "<![CDATA[") == 0 ? "]]>"
                                                                        : ">";
      size_t end = s.FindFrom(2, close);
      if (end == std::string::npos) return false;
      s.pos_ += end + std::strlen(close);
      continue;
    }
    if (rootClosed) return false;  // no element may follow the root
    size_t tagEnd = s.TagEnd();
    if (tagEnd == std::string::npos) return false;
    bool closing = next == '/';
    bool empty = !closing && s.buf_[s.pos_ + tagEnd - 1] == '/';
    size_t nameStart = closing ? 2 : 1;
    size_t nameEnd = nameStart;
    while (nameEnd < tagEnd && !EndsName(s.buf_[s.pos_ + nameEnd])) ++nameEnd;
    if (nameEnd == nameStart) return false;
    size_t localLen;
    const char* local = LocalName(s.buf_.data() + s.pos_ + nameStart, nameEnd - nameStart, &localLen);
    std::string qname(s.buf_, s.pos_ + nameStart, nameEnd - nameStart);
    if (!closing && localLen == pieceLen && std::memcmp(local, pieceName, pieceLen) == 0) {
      if (!containerSeen) return false;
      size_t end = tagEnd + 1;
      if (!empty) {
        std::string closeTag = "</" + qname;
        size_t at = tagEnd + 1;
        for (;;) {
          at = s.FindFrom(at, closeTag.c_str());
          if (at == std::string::npos) return false;
          size_t k = at + closeTag.size();
          if (!s.Have(k + 1)) return false;
          while (IsSpace(s.buf_[s.pos_ + k]) && s.Have(k + 2)) ++k;
          if (s.buf_[s.pos_ + k] == '>') {
            end = k + 1;
            break;
          }
          at = k;
        }
      }
      // Terminate the piece in place: the byte after it is copied aside and restored.
      if (!s.Have(end + 1)) s.buf_.push_back('\0');
      char after = s.buf_[s.pos_ + end];
      s.buf_[s.pos_ + end] = '\0';
      bool ok = handler.OnPiece(&s.buf_[s.pos_], end);
      s.buf_[s.pos_ + end] = after;
      if (!ok) return false;
      s.pos_ += end;
      continue;
    }
    if (closing) {
      if (--depth < 0) return false;
      if (depth == 0) {
        if (rootName.compare(0, std::string::npos, local, localLen) != 0) return false;
        rootClosed = true;
      }
    } else {
      if (localLen == containerLen && std::memcmp(local, containerName, containerLen) == 0) containerSeen = true;
      if (depth == 0) {
        if (!IsOneOf(local, localLen, rootNames)) return false;
        rootName.assign(local, localLen);
      }
      if (!empty) ++depth;
      else if (depth == 0) rootClosed = true;
    }
    s.pos_ += tagEnd + 1;
  }
  return !s.failed_ && rootClosed;
}

long Utf8XmlSource::Read(char* buffer, size_t capacity) {
  if (!started_) {
    started_ = true;
    pending_.resize(4);
    long n = raw_.Read(&pending_[0], pending_.size());
    if (n < 0) return -1;
    pending_.resize(static_cast<size_t>(n));
    size_t bom;
    utf16_ = Utf16FormOf(pending_.data(), pending_.size(), &bom);
    pending_.erase(0, bom);
    if (utf16_) raw16_ = pending_, pending_.clear();
  }
  if (utf16_) return ReadUtf16(buffer, capacity);
  if (!pending_.empty()) {
    size_t n = pending_.size() < capacity ? pending_.size() : capacity;
    std::memcpy(buffer, pending_.data(), n);
    pending_.erase(0, n);
    return static_cast<long>(n);
  }
  return raw_.Read(buffer, capacity);
}

long Utf8XmlSource::ReadUtf16(char* buffer, size_t capacity) {
  // Each two bytes give at most three: read no more than fits.
  // (A pending lone surrogate adds three more.)
  size_t want = capacity > 9 ? (capacity - 3) / 3 * 2 : 0;
  if (want < 4) return -1;
  for (;;) {
    size_t have = raw16_.size();
    if (have < want) {
      raw16_.resize(want);
      long n = raw_.Read(&raw16_[have], want - have);
      if (n < 0) return -1;
      raw16_.resize(have + static_cast<size_t>(n));
      if (n == 0 && have < 2) return 0;  // the end (an odd last byte is dropped)
    }
    size_t whole = raw16_.size() & ~static_cast<size_t>(1);
    std::string out;
    Utf16ToUtf8(raw16_.data(), whole, utf16_, &highSurrogate_, &out);
    raw16_.erase(0, whole);
    if (out.empty()) continue;  // a lone high surrogate so far
    std::memcpy(buffer, out.data(), out.size());
    return static_cast<long>(out.size());
  }
}

void ConvertUtf16Xml(std::string* part) {
  size_t bom;
  int form = Utf16FormOf(part->data(), part->size(), &bom);
  if (!form) return;
  std::string out;
  unsigned high = 0;
  Utf16ToUtf8(part->data() + bom, part->size() - bom, form, &high, &out);
  part->swap(out);
}

}  // namespace gridbridge
