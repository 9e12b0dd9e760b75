// The send journal "SendJournal.txt" at JournalPath: the deliveries that real runs have handed
// to the transfer tool and not yet logged, each with the Message-ID it went out with. A later
// run that sends the same filled title to the same address, with no log line for them written
// in between, takes that Message-ID again: a copy sent again after a crash (or after a failure
// that may still have delivered) is then the same mail to the mailbox. A log line clears the
// entry.
//
// The file is rewritten whole for every change (written beside it, then moved into place), so
// that a process killed at any moment leaves either the old journal or the new one. Each line,
// ended by CR LF, is
//   <CRC-32 of the rest, 8 hex digits> <log size> <title in hex> <address in hex> <Message-ID>
// where the log size is the send log's length when the entry was recorded. A line that fails
// any check is passed over; a journal that is missing or damaged only means fresh Message-IDs.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Room for a Message-ID with its zero byte (the domain of the longest sender address fits).
constexpr size_t kMessageIdCapacity = 400;

// The most entries the journal keeps; recording one more drops the oldest.
constexpr size_t kJournalCapacity = 64;

// One delivery begun and not yet logged.
struct JournalEntry {
  std::string Title;      // the filled title, Shift-JIS
  std::string Address;    // the row's address
  std::string MessageId;  // "<...@...>"
  long long LogSize = 0;  // the send log's length when the entry was recorded
};

// True for a Message-ID of the form MakeMessageId writes: "<" local "@" domain ">", both parts
// non-empty and made of ASCII letters, digits, "." and "-", at most kMessageIdCapacity - 1 bytes.
bool IsJournalMessageId(const char* messageId);

// The entries of a journal's bytes, oldest first: every line that passes its checks (whole,
// with its CR LF or at the end of the bytes, its checksum right, a sound Message-ID), at most
// the kJournalCapacity newest of them.
std::vector<JournalEntry> ParseJournal(const char* bytes, size_t length);

// The bytes of a journal that holds the entries in this order.
std::string FormatJournal(const std::vector<JournalEntry>& entries);

// The Message-ID of the journal's entry for this title and address, copied into `messageId`;
// false and an empty text when there is none, or when the send log is now shorter than when the
// entry was recorded (it was replaced, so a line for them in between cannot be ruled out).
bool FindJournalMessageId(const char* title, const char* address, char* messageId, size_t capacity);

// Records that the message with `messageId` to this title and address is about to go to the
// transfer tool, in the place of any earlier entry for them; entries whose delivery the send
// log holds go (a run killed between a log line and its clearing leaves one). False when the
// journal could not be written (it then stays as it was).
bool RecordJournalEntry(const char* title, const char* address, const char* messageId);

// Removes the entry for this title and address (its log line has been written), and any other
// whose delivery the send log holds; a journal left without entries is deleted.
void ClearJournalEntry(const char* title, const char* address);
