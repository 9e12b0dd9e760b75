#include "engine/wire_message.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/html_text.h"
#include "platform/codepage.h"

namespace {

const char kCrLf[] = "\r\n";
const char kContentType[] = "Content-Type: ";
const char kTransferEncoding[] = "Content-Transfer-Encoding: ";
const char kHtmlType[] = "Content-Type: text/html; charset=UTF-8";

bool StartsWith(const std::string& text, const char* prefix) { return text.compare(0, std::strlen(prefix), prefix) == 0; }

// The lines of a header block whose lines end with CR LF, without their line ends.
std::vector<std::string> HeaderLines(const std::string& header) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < header.size();) {
    size_t end = header.find(kCrLf, start);
    if (end == std::string::npos) end = header.size();
    lines.push_back(header.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// One part's body as it goes out, and the name of its transfer encoding.
struct EncodedBody {
  std::string encoding;
  std::string text;
};

EncodedBody EncodeBody(const std::string& body) {
  if (LongestLine(body) > kMaxLineOctets) return {"base64", Base64Lines(body)};
  return {"8bit", body};
}

// A boundary that occurs in none of the parts' texts.
std::string Boundary(const std::vector<EncodedBody>& parts) {
  static std::atomic<unsigned long long> counter{0};
  static const unsigned long long seed = [] {
    std::random_device device;
    return (static_cast<unsigned long long>(device()) << 32) ^ device();
  }();
  for (;;) {
    char boundary[64];
    std::snprintf(boundary, sizeof boundary, "=_Rowcaster_%016llx_%llu", seed, counter.fetch_add(1) + 1);
    bool unique = true;
    for (const EncodedBody& part : parts) unique = unique && part.text.find(boundary) == std::string::npos;
    if (unique) return boundary;
  }
}

// The header block with its Content-Type and Content-Transfer-Encoding lines replaced (an
// empty replacement keeps the line) and the extra lines after the To line, every line ended by
// CR LF.
std::string RewriteHeader(const std::vector<std::string>& lines, const std::string& contentType,
                          const std::string& transferEncoding, const std::string& extra) {
  std::string header;
  for (const std::string& line : lines) {
    if (!contentType.empty() && StartsWith(line, kContentType))
      header += kContentType + contentType;
    else if (StartsWith(line, kTransferEncoding))
      header += kTransferEncoding + transferEncoding;
    else
      header += line;
    header += kCrLf;
    if (StartsWith(line, "To: ")) header += extra;
  }
  return header;
}

bool HeaderLinesFit(const std::string& header) { return LongestLine(header) <= kMaxLineOctets; }

// The body of a message as one MIME entity: its content type, its transfer encoding and its
// text. A text that is not multipart and is base64 has no line end after its last line.
struct BodyEntity {
  std::string type;
  std::string encoding;
  std::string text;
};

BodyEntity SinglePart(const std::string& type, const std::string& body) {
  EncodedBody encoded = EncodeBody(body);
  return {type, encoded.encoding, encoded.text};
}

BodyEntity Alternative(const std::string& html) {
  std::vector<EncodedBody> parts = {EncodeBody(HtmlToPlainText(html)), EncodeBody(html)};
  const char* const types[] = {"text/plain; charset=UTF-8", "text/html; charset=UTF-8"};
  const std::string boundary = Boundary(parts);
  bool eightBit = parts[0].encoding == "8bit" || parts[1].encoding == "8bit";
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    text += "--" + boundary + kCrLf + kContentType + types[i] + kCrLf + kTransferEncoding + parts[i].encoding +
            kCrLf + kCrLf + parts[i].text + kCrLf;
  }
  text += "--" + boundary + "--" + kCrLf;
  return {"multipart/alternative; boundary=\"" + boundary + "\"", eightBit ? "8bit" : "7bit", text};
}

// The entity's text as it stands before the next delimiter or at the end of the message.
std::string EntityText(const BodyEntity& entity) {
  return entity.encoding == "base64" ? entity.text + kCrLf : entity.text;
}

// The whole message of one entity: the composed header with the entity's lines.
std::string WholeMessage(const std::vector<std::string>& headerLines, const BodyEntity& entity, bool keepType,
                         const std::string& extra) {
  return RewriteHeader(headerLines, keepType ? "" : entity.type, entity.encoding, extra) + kCrLf + EntityText(entity);
}

// The head of a multipart/mixed message: the header, the first delimiter and the entity as the
// first part, up to its CR LF; the files' parts follow.
std::string MixedHead(const std::vector<std::string>& headerLines, const BodyEntity& entity, const std::string& extra,
                      std::string& boundary) {
  std::string part = kContentType + entity.type + kCrLf + kTransferEncoding + entity.encoding + kCrLf + kCrLf +
                     EntityText(entity);
  boundary = Boundary({{entity.encoding, part}});
  std::string top = entity.encoding == "8bit" ? "8bit" : "7bit";
  return RewriteHeader(headerLines, "multipart/mixed; boundary=\"" + boundary + "\"", top, extra) + kCrLf + "--" +
         boundary + kCrLf + part + kCrLf;
}

long CopyOut(const std::string& message, char* wire, size_t capacity) {
  if (!wire || capacity == 0) return kWireTooLarge;
  if (message.size() + 1 > capacity) {
    wire[0] = '\0';
    return kWireTooLarge;
  }
  std::memcpy(wire, message.c_str(), message.size() + 1);
  return static_cast<long>(message.size());
}

}  // namespace

std::string ToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += kCrLf;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += kCrLf;
    } else {
      out += c;
    }
  }
  return out;
}

size_t LongestLine(const std::string& text) {
  size_t longest = 0;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find(kCrLf, start);
    if (end == std::string::npos) end = text.size();
    if (end - start > longest) longest = end - start;
    start = end + 2;
  }
  return longest;
}

std::string Base64Lines(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve(bytes.size() / 57 * 78 + 80);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    if (i > 0 && i % 57 == 0) out += kCrLf;  // 57 bytes make a line of 76 characters
    unsigned long group = static_cast<unsigned char>(bytes[i]) << 16;
    size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    if (n > 1) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (n > 2) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(group >> 18) & 0x3F];
    out += kAlphabet[(group >> 12) & 0x3F];
    out += n > 1 ? kAlphabet[(group >> 6) & 0x3F] : '=';
    out += n > 2 ? kAlphabet[group & 0x3F] : '=';
  }
  return out;
}

long ComposeWireMessage(const char* composed, const WireOptions& options, char* wire, size_t capacity,
                        std::string* mixedBoundary) {
  std::string message = composed ? composed : "";
  size_t split = message.find("\r\n\r\n");
  if (split == std::string::npos) split = message.size();
  std::vector<std::string> headerLines = HeaderLines(platform::Cp932ToUtf8(message.substr(0, split + 2)));
  std::string body = split + 4 <= message.size() ? ToCrLf(platform::Cp932ToUtf8(message.substr(split + 4))) : "";

  bool html = false;
  for (const std::string& line : headerLines) html = html || line == kHtmlType;
  bool alternative = html && options.PlainTextPart;
  BodyEntity entity = alternative ? Alternative(body)
                                  : SinglePart(html ? "text/html; charset=UTF-8" : "text/plain; charset=UTF-8", body);
  std::string out = mixedBoundary ? MixedHead(headerLines, entity, options.ExtraHeader, *mixedBoundary)
                                  : WholeMessage(headerLines, entity, !alternative, options.ExtraHeader);
  size_t headerEnd = out.find("\r\n\r\n");
  if (!HeaderLinesFit(headerEnd == std::string::npos ? out : out.substr(0, headerEnd + 2))) return kWireHeaderTooLong;
  return CopyOut(out, wire, capacity);
}

namespace {

struct ExtensionType {
  const char* extension;
  const char* type;
};

const ExtensionType kExtensionTypes[] = {
    {"pdf", "application/pdf"},
    {"doc", "application/msword"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xls", "application/vnd.ms-excel"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"zip", "application/zip"},
    {"txt", "text/plain"},
    {"csv", "text/csv"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"png", "image/png"},
    {"gif", "image/gif"},
    {"bmp", "image/bmp"},
};

bool SameAsciiText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != b[i]) return false;
  }
  return true;
}

// A name that can go as a quoted string on a short line.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name.size() > 60) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
  return true;
}

// The length of the UTF-8 sequence that starts with this byte (1 for a byte that starts none).
size_t SequenceLength(unsigned char lead) {
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

// The UTF-8 text in pieces of at most `limit` bytes, never inside a character.
std::vector<std::string> WholeCharacterPieces(const std::string& text, size_t limit) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < text.size();) {
    size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
    if (n > text.size() - i) n = text.size() - i;
    if (!pieces.back().empty() && pieces.back().size() + n > limit) pieces.emplace_back();
    pieces.back() += text.substr(i, n);
    i += n;
  }
  return pieces;
}

// RFC 2231 value characters: letters, digits and "-._~" stand for themselves, every other
// byte is "%XX". Each item is one whole character of the name, so that no section of a long
// name ends inside a character.
std::vector<std::string> PercentItems(const std::string& name) {
  std::vector<std::string> items;
  for (const std::string& character : WholeCharacterPieces(name, 1)) {
    std::string item;
    for (unsigned char c : character) {
      bool literal = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~';
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, literal ? "%c" : "%%%02X", c);
      item += escaped;
    }
    items.push_back(item);
  }
  return items;
}

// " filename*=UTF-8''..." or, for a long name, numbered sections on lines of at most 78
// octets: " filename*0*=UTF-8''...;\r\n filename*1*=...".
std::string Rfc2231FileName(const std::string& name) {
  std::vector<std::string> items = PercentItems(name);
  std::string single = " filename*=UTF-8''";
  for (const std::string& item : items) single += item;
  if (single.size() <= 78) return single;
  std::string out;
  std::string line = " filename*0*=UTF-8''";
  int section = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    // Room for the ";" that ends every line but the last.
    if (line.size() + items[i].size() + 1 > 78) {
      out += line + ";\r\n";
      line = " filename*" + std::to_string(++section) + "*=";
    }
    line += items[i];
  }
  return out + line;
}

// " name=\"=?UTF-8?B?...?=\"": encoded-words of whole characters, folded inside the quotes.
std::string EncodedWordsName(const std::string& name) {
  std::string out = " name=\"";
  std::vector<std::string> pieces = WholeCharacterPieces(name, 42);
  for (size_t i = 0; i < pieces.size(); ++i) out += (i ? "\r\n " : "") + ("=?UTF-8?B?" + Base64Lines(pieces[i]) + "?=");
  return out + "\"";
}

}  // namespace

const char* AttachmentContentType(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return "application/octet-stream";
  std::string extension = fileName.substr(dot + 1);
  for (const ExtensionType& e : kExtensionTypes)
    if (SameAsciiText(extension, e.extension)) return e.type;
  return "application/octet-stream";
}

std::string AttachmentPartHeader(const std::string& boundary, const std::string& fileName) {
  bool plain = IsPlainName(fileName);
  std::string name = plain ? " name=\"" + fileName + "\"" : EncodedWordsName(fileName);
  std::string file = plain ? " filename=\"" + fileName + "\"" : Rfc2231FileName(fileName);
  return "--" + boundary + kCrLf + kContentType + AttachmentContentType(fileName) + ";" + kCrLf + name + kCrLf +
         "Content-Disposition: attachment;" + kCrLf + file + kCrLf + kTransferEncoding + "base64" + kCrLf + kCrLf;
}

std::string MixedEnd(const std::string& boundary) { return "--" + boundary + "--" + kCrLf; }

unsigned long long Base64LinesLength(unsigned long long bytes) {
  if (bytes == 0) return 0;
  unsigned long long lines = (bytes + 56) / 57;
  return (bytes + 2) / 3 * 4 + 2 * (lines - 1);
}
