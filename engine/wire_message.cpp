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
// empty replacement keeps the line), every line ended by CR LF.
std::string RewriteHeader(const std::vector<std::string>& lines, const std::string& contentType,
                          const std::string& transferEncoding) {
  std::string header;
  for (const std::string& line : lines) {
    if (!contentType.empty() && StartsWith(line, kContentType))
      header += kContentType + contentType;
    else if (StartsWith(line, kTransferEncoding))
      header += kTransferEncoding + transferEncoding;
    else
      header += line;
    header += kCrLf;
  }
  return header;
}

bool HeaderLinesFit(const std::string& header) { return LongestLine(header) <= kMaxLineOctets; }

std::string SinglePart(const std::vector<std::string>& headerLines, const std::string& body) {
  EncodedBody encoded = EncodeBody(body);
  std::string message = RewriteHeader(headerLines, "", encoded.encoding) + kCrLf + encoded.text;
  if (encoded.encoding == "base64") message += kCrLf;
  return message;
}

std::string Alternative(const std::vector<std::string>& headerLines, const std::string& html) {
  std::vector<EncodedBody> parts = {EncodeBody(HtmlToPlainText(html)), EncodeBody(html)};
  const char* const types[] = {"text/plain; charset=UTF-8", "text/html; charset=UTF-8"};
  const std::string boundary = Boundary(parts);
  bool eightBit = parts[0].encoding == "8bit" || parts[1].encoding == "8bit";
  std::string message = RewriteHeader(headerLines, "multipart/alternative; boundary=\"" + boundary + "\"",
                                      eightBit ? "8bit" : "7bit") +
                        kCrLf;
  for (size_t i = 0; i < parts.size(); ++i) {
    message += "--" + boundary + kCrLf + kContentType + types[i] + kCrLf + kTransferEncoding + parts[i].encoding +
               kCrLf + kCrLf + parts[i].text + kCrLf;
  }
  return message + "--" + boundary + "--" + kCrLf;
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

long ComposeWireMessage(const char* composed, const WireOptions& options, char* wire, size_t capacity) {
  std::string message = composed ? composed : "";
  size_t split = message.find("\r\n\r\n");
  if (split == std::string::npos) split = message.size();
  std::vector<std::string> headerLines = HeaderLines(platform::Cp932ToUtf8(message.substr(0, split + 2)));
  std::string body = split + 4 <= message.size() ? ToCrLf(platform::Cp932ToUtf8(message.substr(split + 4))) : "";

  bool html = false;
  for (const std::string& line : headerLines) html = html || line == kHtmlType;
  std::string out = html && options.PlainTextPart ? Alternative(headerLines, body) : SinglePart(headerLines, body);
  size_t headerEnd = out.find("\r\n\r\n");
  if (!HeaderLinesFit(headerEnd == std::string::npos ? out : out.substr(0, headerEnd + 2))) return kWireHeaderTooLong;
  return CopyOut(out, wire, capacity);
}
