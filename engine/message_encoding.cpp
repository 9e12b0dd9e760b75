#include "engine/message_encoding.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "text/sjis_text.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "settings/send_settings.h"

namespace {

long CopyResult(const std::string& text, char* destination, size_t capacity) {
  if (!destination || capacity == 0) return -1;
  if (text.size() + 1 > capacity) {
    destination[0] = '\0';
    return -1;
  }
  std::memcpy(destination, text.data(), text.size());
  destination[text.size()] = '\0';
  return static_cast<long>(text.size());
}

// Length of the UTF-8 sequence that starts with `lead` (1 for anything that does not start one).
size_t Utf8SequenceLength(unsigned char lead) {
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

size_t QLength(const unsigned char* bytes, size_t count) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) n += IsQLiteral(bytes[i]) ? 1 : 3;
  return n;
}

void QAppend(std::string& out, const unsigned char* bytes, size_t count) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    unsigned char b = bytes[i];
    if (IsQLiteral(b)) {
      out += static_cast<char>(b);
    } else {
      out += '=';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
  }
}

char gEncodedWord[kHeaderWordCapacity];

}  // namespace

namespace {

enum BodyEncoding { kBodyShiftJis, kBodyUtf8, kBodyUtf16Le, kBodyUtf16Be };

// The encoding of a body file's `length` bytes (a zero byte after them).
BodyEncoding BodyEncodingOf(const char* path, const char* bytes, size_t length) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  if (length >= 2 && b[0] == 0xFF && b[1] == 0xFE) return kBodyUtf16Le;
  if (length >= 2 && b[0] == 0xFE && b[1] == 0xFF) return kBodyUtf16Be;
  bool utf8 = IsHtmlBodyFile(path) ? IsUtf8HtmlBody(bytes) : IsWellFormedUtf8(bytes);
  return utf8 ? kBodyUtf8 : kBodyShiftJis;
}

}  // namespace

int LoadBody(const char* path, long long size, char* body) {
  if (size < 0) size = 0;
  int fd = platform::OpenFileShared(path, O_RDONLY | O_BINARY, platform::kReadWrite);
  if (fd < 0) return kBodyNotOpened;
  std::memset(body, 0, static_cast<size_t>(size) + 1);
  long got = platform::ReadFd(fd, body, static_cast<unsigned long>(size));
  platform::CloseFd(fd);
  // A body that cannot be read at all is refused like one that cannot be opened: an empty
  // text would go out to every row as an empty mail.
  if (got < 0) return kBodyNotOpened;
  body[got] = '\0';

  BodyEncoding encoding = BodyEncodingOf(path, body, static_cast<size_t>(got));
  if (encoding == kBodyShiftJis) return kBodyLoaded;
  const size_t capacity = static_cast<size_t>(size) + 1;
  char* scratch = static_cast<char*>(std::malloc(capacity));
  if (!scratch) return kBodyNoScratch;
  // Shift-JIS is never longer than its UTF-8 or UTF-16 source, so the converted text fits.
  long converted = encoding == kBodyUtf8
                       ? Utf8ToAnsi(body, scratch, capacity)
                       : Utf16ToAnsi(body + 2, static_cast<size_t>(got) - 2, encoding == kBodyUtf16Be, scratch, capacity);
  if (converted >= 0) std::memcpy(body, scratch, static_cast<size_t>(converted) + 1);
  std::free(scratch);
  return kBodyLoaded;
}

bool IsHtmlBodyFile(const char* path) {
  char name[kPathCapacity];
  CopyWhole(name, FileNamePart(path ? path : ""), sizeof name);
  if (std::strlen(name) <= 4) return false;
  const char* dot = ReverseFindChar(name, '.');
  if (!dot || std::strlen(dot) < 4) return false;
  const char* htm = ".htm";
  for (int i = 0; i < 4; ++i)
    if (AsciiLower(static_cast<unsigned char>(dot[i])) != htm[i]) return false;
  return true;
}

bool DeclaresUtf8Charset(const char* text) { return FindNoCase(text, "charset=utf-8") != nullptr; }

namespace {

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return text;
}

// The name after "charset", spaces, "=", spaces and an optional quote in a tag's text, or empty.
std::string CharsetNameIn(const std::string& tag) {
  for (const char* at = FindNoCase(tag.c_str(), "charset"); at; at = FindNoCase(at + 1, "charset")) {
    const char* p = at + 7;
    while (IsHtmlSpace(*p)) ++p;
    if (*p != '=') continue;
    ++p;
    while (IsHtmlSpace(*p)) ++p;
    if (*p == '"' || *p == '\'') ++p;
    std::string name;
    while (*p && !IsHtmlSpace(*p) && std::strchr("\"';>/", *p) == nullptr) name += *p++;
    if (!name.empty()) return Lower(name);
  }
  return "";
}

HtmlCharset ClassifyCharset(const std::string& name) {
  static const char* const kUtf8[] = {"utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
                                      "x-unicode20utf8"};
  static const char* const kShiftJis[] = {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932",
                                          "ms932", "ms_kanji", "csshiftjis", "x-ms-cp932"};
  for (const char* n : kUtf8)
    if (name == n) return kHtmlCharsetUtf8;
  for (const char* n : kShiftJis)
    if (name == n) return kHtmlCharsetShiftJis;
  return kHtmlCharsetOther;
}

}  // namespace

HtmlCharset DeclaredHtmlCharset(const char* text) {
  for (const char* meta = FindNoCase(text ? text : "", "<meta"); meta; meta = FindNoCase(meta + 1, "<meta")) {
    char after = meta[5];
    if (!IsHtmlSpace(after) && after != '/' && after != '>') continue;
    const char* end = std::strchr(meta, '>');
    std::string name = CharsetNameIn(end ? std::string(meta, end) : std::string(meta));
    if (!name.empty()) return ClassifyCharset(name);
  }
  return kHtmlCharsetNone;
}

bool IsUtf8HtmlBody(const char* text) {
  if (DeclaresUtf8Charset(text)) return true;
  HtmlCharset declared = DeclaredHtmlCharset(text);
  return declared == kHtmlCharsetUtf8 || (declared == kHtmlCharsetNone && IsWellFormedUtf8(text));
}

bool IsWellFormedUtf8(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    unsigned char b = *p;
    size_t n;
    if (b <= 0x7F) n = 1;
    else if ((b & 0xE0) == 0xC0) n = 2;
    else if ((b & 0xF0) == 0xE0) n = 3;
    else if ((b & 0xF8) == 0xF0) n = 4;
    else return false;
    for (size_t i = 1; i < n; ++i)
      if ((p[i] & 0xC0) != 0x80) return false;  // the terminating zero fails here too
    p += n;
  }
  return true;
}

long Utf8ToAnsi(const char* source, char* destination, size_t capacity) {
  if (!source) source = "";
  if (static_cast<unsigned char>(source[0]) == 0xEF && static_cast<unsigned char>(source[1]) == 0xBB &&
      static_cast<unsigned char>(source[2]) == 0xBF)
    source += 3;
  return CopyResult(platform::Utf8ToCp932(source, std::strlen(source)), destination, capacity);
}

long Utf16ToAnsi(const char* source, size_t length, bool bigEndian, char* destination, size_t capacity) {
  std::u16string units(length / 2, u'\0');
  const unsigned char* b = reinterpret_cast<const unsigned char*>(source);
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(bigEndian ? (b[2 * i] << 8) | b[2 * i + 1] : b[2 * i] | (b[2 * i + 1] << 8));
  return CopyResult(platform::Utf8ToCp932(platform::Utf16ToUtf8(units.data(), units.size())), destination, capacity);
}

long SjisToUtf8(const char* source, char* destination, size_t capacity) {
  if (!source) source = "";
  return CopyResult(platform::Cp932ToUtf8(source, std::strlen(source)), destination, capacity);
}

bool IsQLiteral(unsigned char byte) {
  return byte >= 0x21 && byte <= 0x7E && byte != '=' && byte != '?' && byte != '_';
}

long QEncode(const char* source, char* destination, size_t capacity) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(source ? source : "");
  size_t count = std::strlen(reinterpret_cast<const char*>(bytes));
  std::string out;
  out.reserve(QLength(bytes, count));
  QAppend(out, bytes, count);
  return CopyResult(out, destination, capacity);
}

const char* EncodeHeaderWord(const char* text) {
  // A title text holds at most 1,023 bytes; its UTF-8 form at most three times as many.
  char utf8[4096];
  gEncodedWord[0] = '\0';
  long length = SjisToUtf8(text ? text : "", utf8, sizeof utf8);
  if (length < 0) return nullptr;
  if (length == 0) return gEncodedWord;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(utf8);
  size_t count = static_cast<size_t>(length);

  std::string out;
  if (QLength(bytes, count) <= kSingleWordLimit) {
    QAppend(out, bytes, count);
  } else {
    // Several encoded-words, each "=?UTF-8?Q?" + part + "?=" within the folded limit, and a
    // UTF-8 character never split between two of them.
    const size_t partLimit = kFoldedWordLimit - std::strlen("=?UTF-8?Q?") - std::strlen("?=");
    size_t partLength = 0;
    for (size_t i = 0; i < count;) {
      size_t n = Utf8SequenceLength(bytes[i]);
      if (i + n > count) n = count - i;
      size_t q = QLength(bytes + i, n);
      if (partLength > 0 && partLength + q > partLimit) {
        out += "?=\r\n =?UTF-8?Q?";
        partLength = 0;
      }
      QAppend(out, bytes + i, n);
      partLength += q;
      i += n;
    }
  }
  if (CopyResult(out, gEncodedWord, sizeof gEncodedWord) < 0) return nullptr;
  return gEncodedWord;
}

namespace {
// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

bool LocalTime(std::time_t moment, std::tm* out) {
#ifdef _WIN32
  return localtime_s(out, &moment) == 0;
#else
  return localtime_r(&moment, out) != nullptr;
#endif
}
}  // namespace

void FormatMailDate(std::time_t moment, char* destination, size_t capacity) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  if (!LocalTime(moment, &local)) {
    std::snprintf(destination, capacity, "Thu, 01 Jan 1970 00:00:00 +0000");
    return;
  }
  // The offset is the local wall-clock reading minus the moment itself.
  long long wall = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                 static_cast<unsigned>(local.tm_mday)) * 86400LL +
                   local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
  long long offsetMinutes = (wall - static_cast<long long>(moment)) / 60;
  char sign = offsetMinutes < 0 ? '-' : '+';
  if (offsetMinutes < 0) offsetMinutes = -offsetMinutes;
  std::snprintf(destination, capacity, "%s, %02d %s %04d %02d:%02d:%02d %c%02lld%02lld",
                kDays[local.tm_wday % 7], local.tm_mday, kMonths[local.tm_mon % 12],
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, sign,
                offsetMinutes / 60, offsetMinutes % 60);
}

void MakeMessageId(const char* mailAddress, char* destination, size_t capacity) {
  static std::atomic<unsigned long long> counter{0};
  static const unsigned long long seed = [] {
    std::random_device device;
    return (static_cast<unsigned long long>(device()) << 32) ^ device();
  }();
  // The domain of the address, when it is a plain host name; else a neutral one.
  const char* domain = "localhost";
  const char* at = nullptr;
  for (const char* p = FindChar(mailAddress ? mailAddress : "", '@'); p; p = FindChar(p + 1, '@')) at = p;
  if (at && at[1]) {
    bool plain = true;
    for (const char* p = at + 1; *p; ++p) {
      unsigned char c = static_cast<unsigned char>(*p);
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
        plain = false;
    }
    if (plain) domain = at + 1;
  }
  unsigned long long n = counter.fetch_add(1) + 1;
  std::snprintf(destination, capacity, "<%llx.%llx.%llx@%s>", static_cast<unsigned long long>(std::time(nullptr)),
                seed, n, domain);
}

int ComposeMessage(const char* encodedSender, const char* recipient, const char* encodedTitle,
                   const char* subtype, const char* body, char* message, size_t capacity,
                   const char* messageId) {
  char date[64];
  char freshId[400];
  FormatMailDate(std::time(nullptr), date, sizeof date);
  if (!messageId) {
    MakeMessageId(SendSettings.MailAddress, freshId, sizeof freshId);
    messageId = freshId;
  }
  int header = std::snprintf(message, capacity,
                             "From: =?UTF-8?Q?%s?= <%s>\r\nTo: %s\r\nSubject: =?UTF-8?Q?%s?=\r\n"
                             "MIME-Version: 1.0\r\nContent-Type: text/%s; charset=UTF-8\r\n"
                             "Content-Transfer-Encoding: 8bit\r\nDate: %s\r\nMessage-ID: %s\r\n\r\n",
                             encodedSender, SendSettings.MailAddress, recipient, encodedTitle, subtype, date,
                             messageId);
  size_t bodyLength = std::strlen(body ? body : "");
  if (header < 0 || static_cast<size_t>(header) + bodyLength + 1 > capacity) {
    if (capacity > 0) message[0] = '\0';
    return -1;
  }
  std::memcpy(message + header, body ? body : "", bodyLength + 1);
  return 0;
}
