// The send journal "SendJournal.txt" at JournalPath: the deliveries that real runs have handed
// to the transfer tool and not yet logged, each with the Message-ID it went out with. A later
// run that sends the same filled title to the same address, with no log line for them written
// in between, takes that Message-ID again: a copy sent again after a crash (or after a failure
// that may still have delivered) is then the same mail to the mailbox. A log line clears the
// entry.
//
// The file is a list of changes, each appended as one line ended by CR LF: a record
//   <CRC-32 of the rest, 8 hex digits> <log size> <title in hex> <address in hex> <Message-ID>
// where the log size is the send log's length when the entry was recorded, or a clearing
//   <CRC-32 of the rest> - <title in hex> <address in hex> -
// Read from the start, a record puts its entry in the place of any earlier one for the same
// title and address (dropping the oldest beyond kJournalCapacity) and a clearing removes it. A
// line that fails any check is passed over, so a process killed in the middle of an append
// loses only that change; a journal that is missing or damaged only means fresh Message-IDs.
// When the lines pile up, and at the end of a run, the journal is written anew with its entries
// alone (beside it, then moved into place), or deleted when none are left.
//
// What the file holds is kept in memory between calls and read again when its size is not the
// size this process left it at (another process wrote it, or it is another file); a run starts
// by forgetting it (ResetSendJournalCache), as an edit of the same length would not be seen.
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

// The entries of a journal's bytes, oldest first: its lines that pass their checks (whole, with
// their CR LF or at the end of the bytes, the checksum right, a record's Message-ID sound)
// applied in order, at most kJournalCapacity of them.
std::vector<JournalEntry> ParseJournal(const char* bytes, size_t length);

// The bytes of a journal that holds the entries in this order: one record line each.
std::string FormatJournal(const std::vector<JournalEntry>& entries);

// The line that clears the entry for this title and address.
std::string FormatJournalClearing(const std::string& title, const std::string& address);

// Forgets what has been read of the journal: the next call reads it again from its start.
void ResetSendJournalCache();

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
// whose delivery the send log holds.
void ClearJournalEntry(const char* title, const char* address);

// Writes the journal anew with its entries alone when it holds more lines than entries, or
// deletes it when it holds none; a real run calls this at its end.
void TidySendJournal();
