#include "gridbridge/xml_pieces.h"

#include <cstring>
#include <string.h>

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

bool ForEachPiece(XmlSource& source, const char* pieceName, const char* containerName, const char* rootName,
                  XmlPieceHandler& handler) {
  Scanner s(source);
  const size_t pieceLen = std::strlen(pieceName), containerLen = std::strlen(containerName),
               rootLen = std::strlen(rootName);
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
        if (!(localLen == rootLen && std::memcmp(local, rootName, rootLen) == 0)) return false;
        rootClosed = true;
      }
    } else {
      if (localLen == containerLen && std::memcmp(local, containerName, containerLen) == 0) containerSeen = true;
      if (depth == 0 && !(localLen == rootLen && std::memcmp(local, rootName, rootLen) == 0)) return false;
      if (!empty) ++depth;
      else if (depth == 0) rootClosed = true;
    }
    s.pos_ += tagEnd + 1;
  }
  return !s.failed_ && rootClosed;
}

}  // namespace gridbridge
