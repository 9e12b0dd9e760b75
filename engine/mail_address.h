// Which addresses a message may go to or come from: mailboxes as RFC 5321 (4.1.2) writes them.
#pragma once

// The longest local part, domain and whole address (RFC 5321 4.5.3.1: a path of 256 octets
// holds "<", the address and ">").
constexpr unsigned kLocalPartLimit = 64;
constexpr unsigned kDomainLimit = 255;
constexpr unsigned kAddressLimit = 254;

// The domain of a mailbox: where it starts in `address`, or nullptr when `address` is no
// mailbox. A mailbox is, in ASCII only, a local part (a dot-atom of atext, or a quoted string
// of printable characters and backslash pairs), "@" and a domain: labels of letters, digits
// and inner hyphens (at most 63 each) joined by dots, or an address literal "[a.b.c.d]" or
// "[IPv6:...]". Nothing else: no spaces or control characters outside quotes, no 8-bit
// bytes (so no Japanese text and no ideographic space), no display name, no "mailto:", no
// second address after ";" or ",". Within kLocalPartLimit, kDomainLimit and kAddressLimit.
const char* MailboxDomain(const char* address);

// True when `address` is a mailbox (see MailboxDomain). Such an address can neither end a
// header line nor an argument early, so it is safe in the header and on the command line.
bool IsUsableAddress(const char* address);

// In place: removes spaces, tabs and ideographic spaces (Shift-JIS 0x81 0x40) around the
// text, never cutting a double-byte character. Returns `text`.
char* TrimAddress(char* text);
