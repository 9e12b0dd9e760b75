// The bytes of one message as the transfer tool uploads them: the composed and filled message
// (Shift-JIS, ComposeMessage's header block) turned into UTF-8 that every server takes
// (RFC 5322: lines end with CR LF and hold at most 998 octets).
#pragma once
#include <cstddef>
#include <string>

// How the wire form is built.
struct WireOptions {
  // An HTML body goes out as multipart/alternative: a text/plain part made from it
  // (HtmlToPlainText) and then the text/html part. False sends the HTML part alone.
  bool PlainTextPart = true;
  // Header lines that go right after the To line (Cc, Reply-To, List-Unsubscribe ...): US-ASCII,
  // each ended by CR LF (folded lines allowed). Empty for none.
  std::string ExtraHeader;
};

// ComposeWireMessage results other than a length.
constexpr long kWireTooLarge = -1;       // the message would not fit the destination
constexpr long kWireHeaderTooLong = -2;  // a header line would be over 998 octets

// Longest line of a message, in octets without its CR LF (RFC 5322 2.1.1).
constexpr size_t kMaxLineOctets = 998;

// Writes the wire form of `composed` (ComposeMessage's header block, the empty line and the
// body, placeholders filled, Shift-JIS) into `wire` and returns its length:
// - The message is converted to UTF-8, and every CR or LF of the body that is not part of a
//   CR LF pair becomes CR LF.
// - A plain body (Content-Type text/plain) stays one part. Its header block stays as composed
//   unless a body line is over 998 octets: then the body goes in base64 in lines of 76, and the
//   Content-Transfer-Encoding line says base64.
// - An HTML body goes out as multipart/alternative (see WireOptions): the Content-Type line
//   names the boundary, the Content-Transfer-Encoding line says 8bit (7bit when no part holds
//   8-bit text), and each part is text/...; charset=UTF-8 in 8bit, or in base64 when one of
//   its lines is over 998 octets.
// - With `mixedBoundary` (files go with the message) the message is multipart/mixed: the
//   Content-Type line names a boundary that occurs in no part (given back in *mixedBoundary),
//   the body above (one part, or the alternative) is its first part, and the wire form ends
//   after that part's CR LF. The caller adds each file (AttachmentPartHeader, the file in
//   Base64Lines, CR LF) and then MixedEnd.
// kWireTooLarge when the result would not fit `capacity` bytes with its terminating zero (the
// destination is then an empty text), kWireHeaderTooLong when a header line is over 998 octets.
long ComposeWireMessage(const char* composed, const WireOptions& options, char* wire, size_t capacity,
                        std::string* mixedBoundary = nullptr);

// The content type of a file by the extension of its name (any ASCII case): the usual office,
// picture, text and archive types; application/octet-stream for every other name.
const char* AttachmentContentType(const std::string& fileName);

// The delimiter line and the header of one file's part of a multipart/mixed message, up to and
// including the empty line: its content type by name, "Content-Disposition: attachment" with
// the file name (UTF-8), "Content-Transfer-Encoding: base64". A name of printable ASCII goes
// as a quoted string; any other in RFC 2231 form (filename*=UTF-8''..., split into numbered
// sections when long) and, for programs that predate RFC 2231, as RFC 2047 encoded-words in
// the Content-Type's name parameter. Each parameter is on a folded line of its own; the lines
// that carry the name are at most 78 octets.
std::string AttachmentPartHeader(const std::string& boundary, const std::string& fileName);

// The close delimiter of a multipart/mixed message, with its CR LF.
std::string MixedEnd(const std::string& boundary);

// The length of Base64Lines of `bytes` bytes.
unsigned long long Base64LinesLength(unsigned long long bytes);

// The text with every CR or LF that is not part of a CR LF pair made into CR LF.
std::string ToCrLf(const std::string& text);

// The length in octets of the longest line of a text whose lines end with CR LF.
size_t LongestLine(const std::string& text);

// The bytes in base64 (RFC 2045 6.8), in lines of 76 characters separated by CR LF; the last
// line has no line end.
std::string Base64Lines(const std::string& bytes);
