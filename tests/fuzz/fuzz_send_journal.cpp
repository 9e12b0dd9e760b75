// The send journal's reader on any bytes. Input parts (split at 0xFF): the journal's bytes, a
// title, an address. Properties: every entry read has a sound Message-ID and no more entries
// than the journal keeps; written back and read again, the entries are the same; what the
// look-up finds for a title and address is the newest entry for them; a Message-ID recorded
// is found again.
#include <cstring>
#include <string>
#include <vector>

#include "engine/send_journal.h"
#include "engine/send_log.h"
#include "fuzz_support.h"
#include "settings/file_locations.h"

using namespace fuzz_support;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string parts[3];
  SplitInput(data, size, parts, 3);
  std::string title = parts[1].substr(0, parts[1].find('\0'));
  std::string address = parts[2].substr(0, parts[2].find('\0'));

  std::vector<JournalEntry> entries = ParseJournal(parts[0].data(), parts[0].size());
  FUZZ_CHECK(entries.size() <= kJournalCapacity);
  for (const JournalEntry& e : entries) FUZZ_CHECK(IsJournalMessageId(e.MessageId.c_str()));
  std::string again = FormatJournal(entries);
  std::vector<JournalEntry> back = ParseJournal(again.data(), again.size());
  FUZZ_CHECK(back.size() == entries.size());
  for (size_t i = 0; i < back.size(); ++i) {
    FUZZ_CHECK(back[i].Title == entries[i].Title && back[i].Address == entries[i].Address);
    FUZZ_CHECK(back[i].MessageId == entries[i].MessageId && back[i].LogSize == entries[i].LogSize);
  }

  // Through the file, with no send log: an entry recorded with a log size above 0 is stale.
  std::string journal = ScratchFolder() + "/SendJournal.txt";
  std::string log = ScratchFolder() + "/SendLogs.txt";
  std::strcpy(FileLocations.JournalPath, journal.c_str());
  std::strcpy(FileLocations.LogPath, log.c_str());
  DeleteFile(log);
  ResetSendLogCache();
  WriteFile(journal, parts[0].data(), parts[0].size());
  ResetSendJournalCache();  // rewritten behind the journal's back, perhaps at the same size
  const JournalEntry* newest = nullptr;
  for (const JournalEntry& e : entries)
    if (e.Title == title && e.Address == address) newest = &e;
  char id[kMessageIdCapacity];
  bool found = FindJournalMessageId(title.c_str(), address.c_str(), id, sizeof id);
  FUZZ_CHECK(found == (newest && newest->LogSize == 0));
  if (found) FUZZ_CHECK(newest->MessageId == id);

  FUZZ_CHECK(RecordJournalEntry(title.c_str(), address.c_str(), "<fuzz.1@example.jp>"));
  FUZZ_CHECK(FindJournalMessageId(title.c_str(), address.c_str(), id, sizeof id));
  FUZZ_CHECK(std::strcmp(id, "<fuzz.1@example.jp>") == 0);
  ClearJournalEntry(title.c_str(), address.c_str());
  FUZZ_CHECK(!FindJournalMessageId(title.c_str(), address.c_str(), id, sizeof id));
  DeleteFile(journal);
  return 0;
}
