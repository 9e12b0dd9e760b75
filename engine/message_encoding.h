// The bytes of one outgoing message: the body file brought to Shift-JIS, the conversions
// between Shift-JIS and UTF-8, RFC 2047 "Q" encoded-words and the header block of
// "SendMail.txt". Every text is ended by a zero byte; lengths never count it.
#pragma once
#include <cstddef>
#include <ctime>

// LoadBody results.
constexpr int kBodyLoaded = 0;
constexpr int kBodyNotOpened = 1;   // the body file could not be opened or read
constexpr int kBodyNoScratch = 2;   // no scratch buffer for the UTF-8 conversion

// Reads up to `size` bytes of the body file into `body` (which holds size + 1 bytes) and
// brings the text to Shift-JIS:
// - a file that begins with a UTF-16 byte order mark (FF FE little endian, FE FF big endian)
//   is UTF-16, read up to its first zero character;
// - an HTML file for which IsUtf8HtmlBody holds, or any other file that is well-formed UTF-8,
//   is UTF-8;
// - everything else is Shift-JIS already, up to its first zero byte.
// UTF-16 and UTF-8 are converted (a byte order mark dropped, "?" for what 932 lacks).
int LoadBody(const char* path, long long size, char* body);

// True for a file name whose last extension starts with ".htm" (any ASCII case).
bool IsHtmlBodyFile(const char* path);

// True when the text holds "charset=utf-8", ASCII letters in any case.
bool DeclaresUtf8Charset(const char* text);

// The character set an HTML text declares in its first <meta> element that declares one,
// through a charset attribute (<meta charset="utf-8">) or a content attribute
// (content="text/html; charset=Shift_JIS"): names in any ASCII case, with or without quotes,
// with spaces around "=".
enum HtmlCharset {
  kHtmlCharsetNone,      // no declaration
  kHtmlCharsetUtf8,      // utf-8, utf8 and the other names browsers take for UTF-8
  kHtmlCharsetShiftJis,  // shift_jis, shift-jis, sjis, x-sjis, windows-31j, cp932, ms932, ...
  kHtmlCharsetOther,     // any other name
};
HtmlCharset DeclaredHtmlCharset(const char* text);

// True when an HTML body is UTF-8: DeclaresUtf8Charset holds, or it declares UTF-8 (see
// DeclaredHtmlCharset), or it declares no charset and is well-formed UTF-8.
bool IsUtf8HtmlBody(const char* text);

// The Shift-JIS form of UTF-16 text of `length` bytes after a byte order mark, in the byte
// order `bigEndian` names, up to its first zero character (a lone surrogate and what 932 lacks
// become "?"). Same results as Utf8ToAnsi.
long Utf16ToAnsi(const char* source, size_t length, bool bigEndian, char* destination, size_t capacity);

// True when the text is built of whole UTF-8 sequences (an empty text is).
bool IsWellFormedUtf8(const char* text);

// UTF-8 to code page 932 (a leading byte order mark dropped, "?" for what 932 lacks).
// Returns the length written, or -1 when the result would not fit `capacity` bytes with its
// zero; the destination is then an empty text.
long Utf8ToAnsi(const char* source, char* destination, size_t capacity);

// Code page 932 to UTF-8; same results as Utf8ToAnsi.
long SjisToUtf8(const char* source, char* destination, size_t capacity);

// Bytes that stand for themselves in the "Q" encoding: 0x21..0x7E except "=", "?" and "_".
bool IsQLiteral(unsigned char byte);

// Every byte that is not a literal becomes "=XX" (upper-case hexadecimal). Returns the length
// written, or -1 when it would not fit `capacity` bytes with its zero (destination empty).
long QEncode(const char* source, char* destination, size_t capacity);

// Longest encoded text that goes out as one encoded-word.
constexpr size_t kSingleWordLimit = 255;
// Longest encoded-word ("=?UTF-8?Q?" + text + "?=") when a text is split into several.
constexpr size_t kFoldedWordLimit = 75;
// Room for the encoded form of the longest title text (1,023 bytes).
constexpr size_t kHeaderWordCapacity = 16384;

// The Shift-JIS text as UTF-8 in the "Q" encoding, to be put between "=?UTF-8?Q?" and "?=".
// Up to 255 characters it is one encoded text. A longer one is split between whole
// characters into encoded-words of at most 75 characters each on folded header lines: the
// result then holds "?=\r\n =?UTF-8?Q?" between the parts. Returns a shared buffer that the
// next call overwrites, or nullptr when the text cannot be encoded within
// kHeaderWordCapacity bytes.
const char* EncodeHeaderWord(const char* text);

// "Thu, 10 Dec 2026 19:26:05 +0900": the RFC 5322 date of a moment in local time.
void FormatMailDate(std::time_t moment, char* destination, size_t capacity);

// "<...@domain>": an identifier unique to each call, with the domain of the sender address.
void MakeMessageId(const char* mailAddress, char* destination, size_t capacity);

// Writes the header block, the empty line and the body into `message`: the From, To, Subject,
// MIME-Version, Content-Type and Content-Transfer-Encoding lines, then Date and Message-ID.
// MailAddress comes from SendSettings. The Message-ID is `messageId` when given (the run
// chooses it), else a fresh one from MakeMessageId. 0 on success, -1 when the message would
// not fit `capacity` bytes with its zero.
int ComposeMessage(const char* encodedSender, const char* recipient, const char* encodedTitle,
                   const char* subtype, const char* body, char* message, size_t capacity,
                   const char* messageId = nullptr);
