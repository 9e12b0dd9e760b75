// Walks a large XML part in pieces: every element with a given local name ("row", "si") is
// handed over whole, as its own small document, while the text around the pieces is only
// checked. Memory stays at one chunk of input plus the longest piece.
#pragma once
#include <cstddef>
#include <string>

namespace gridbridge {

class XmlSource {
 public:
  virtual ~XmlSource() = default;
  // Up to capacity bytes: count, 0 at the end, -1 on damage.
  virtual long Read(char* buffer, size_t capacity) = 0;
};

class XmlPieceHandler {
 public:
  virtual ~XmlPieceHandler() = default;
  // The piece from "<" to the end of its end tag, zero-terminated and writable (it may be
  // parsed in place). False stops the walk as a failure.
  virtual bool OnPiece(char* text, size_t len) = 0;
};

// False when the source fails, the XML around the pieces is cut off or broken, the container
// element (e.g. "sheetData") does not come before the first piece, or the root element is not
// one of rootNames (a list ended by nullptr) or not closed at the end.
bool ForEachPiece(XmlSource& source, const char* pieceName, const char* containerName, const char* const* rootNames,
                  XmlPieceHandler& handler);

// A source that hands over another one's XML in UTF-8 when it is UTF-16 (little or big
// endian, told by its byte order mark or by its first "<"), and unchanged otherwise.
class Utf8XmlSource : public XmlSource {
 public:
  explicit Utf8XmlSource(XmlSource& raw) : raw_(raw) {}
  long Read(char* buffer, size_t capacity) override;

 private:
  long ReadUtf16(char* buffer, size_t capacity);
  XmlSource& raw_;
  bool started_ = false;
  int utf16_ = 0;             // 0 UTF-8, 1 little endian, 2 big endian
  std::string pending_;       // bytes read while looking at the start
  unsigned highSurrogate_ = 0;
  std::string raw16_;
};

// A whole XML part in UTF-16 (as Utf8XmlSource tells it) converted to UTF-8 in place.
void ConvertUtf16Xml(std::string* part);


// The part of an XML name after its namespace prefix.
const char* LocalName(const char* name, size_t len, size_t* localLen);

}  // namespace gridbridge
