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
// element (e.g. "sheetData") does not come before the first piece, or the document does not end
// with the end tag of rootName.
bool ForEachPiece(XmlSource& source, const char* pieceName, const char* containerName, const char* rootName,
                  XmlPieceHandler& handler);

// The part of an XML name after its namespace prefix.
const char* LocalName(const char* name, size_t len, size_t* localLen);

}  // namespace gridbridge
