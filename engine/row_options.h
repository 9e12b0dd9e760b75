// What "Options.def" adds to every row's message besides its files: copies (Cc, Bcc), Reply-To
// and the List-Unsubscribe header, and the checks of the values that hold for every row.
#pragma once
#include <string>
#include <vector>

// The addresses of a list separated by "," or ";" (Shift-JIS), each trimmed of spaces and
// tabs; empty entries are left out.
std::vector<std::string> SplitAddressList(const std::string& list);

// The first key of Options whose value no row could use, or nullptr when every one is usable:
// an address of Cc, Bcc or ReplyTo that IsUsableAddress refuses; an AttachColumn, CcColumn or
// BccColumn other than one letter A to Z (either case); a ListUnsubscribe entry that is not a
// mailto: or https: URL (scheme in any ASCII case) with something after the colon and no space
// or tab.
const char* FindUnusableOption();

// The row's trimmed cell in the column that an option names (one letter, either case); empty
// when the option names no column.
std::string OptionCell(const std::string& column, int row);

// The copies of one row's message.
struct RowCopies {
  std::vector<std::string> Cc;   // in the header and among the recipients
  std::vector<std::string> Bcc;  // among the recipients only
};

// Options' Cc and Bcc and the row's cells in CcColumn and BccColumn, in that order; an address
// already named (the recipient `to` included) is left out, ASCII letters compared without
// regard to case. False when a cell holds an address that IsUsableAddress refuses: `unusable`
// is then that address.
bool GatherCopies(int row, const char* to, RowCopies& copies, std::string& unusable);

// The entries of ListUnsubscribe: split at each "," that a URL scheme ("letters:") follows
// after spaces, so that a comma inside a URL stays; each trimmed and freed of enclosing "<" ">".
std::vector<std::string> SplitUnsubscribeList(const std::string& list);

// The row's List-Unsubscribe URLs: the entries of ListUnsubscribe with the row's placeholders
// filled, each value percent-encoded in UTF-8 (letters, digits, "-._~@" stay), and every other
// byte that a URL may not hold (space, control characters, "<", ">", double quote, non-ASCII)
// percent-encoded in UTF-8 too.
std::vector<std::string> UnsubscribeUrls(int row);

// The header lines (US-ASCII, CR LF, folded before 78 octets where possible) that a row adds
// after the To line: "Cc: ..." when `cc` is not empty, "Reply-To: ..." when ReplyTo is set; when
// `unsubscribe` is not empty "List-Id: <ListIdOf(MailAddress)>" (when it has one),
// "List-Unsubscribe: <url>, <url>" and, when one of those is an https: URL,
// "List-Unsubscribe-Post: List-Unsubscribe=One-Click".
std::string ExtraHeaderLines(const std::vector<std::string>& cc, const std::vector<std::string>& unsubscribe);

// The list identifier (RFC 2919) of mail from a sender address: its local part, every character
// but ASCII letters, digits and "-" made one "-", then "." and its domain: "sales.example.com" for
// "sales@example.com". Empty when the domain is not a name of ASCII letters, digits, "-" and
// ".". Mail with List-Unsubscribe but no List-Id reads to filters as a forged list.
std::string ListIdOf(const char* mailAddress);
