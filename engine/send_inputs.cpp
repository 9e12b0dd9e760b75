#include "engine/send_inputs.h"

#include <cstdlib>
#include <cstring>

#include "engine/engine_texts.h"
#include "engine/mail_address.h"
#include "platform/files.h"
#include "settings/send_settings.h"
#include "settings/transfer_tool.h"
#include "text/sjis_text.h"

namespace {

bool Empty(const char* text) { return text[0] == '\0'; }

template <size_t N>
void Fill(char (&field)[N], const char* value) {
  CopyWhole(field, value, N);
}

}  // namespace

bool CheckSendInputs(int testRun, CheckMessageSink sink, void* context) {
  auto say = [&](const char* message) {
    if (sink) sink(message, context);
  };
  SendSettingsRecord& s = SendSettings;
  if (testRun) {
    if (Empty(s.TestAddress)) {
      say(kNoTestAddress);
      Fill(s.TestAddress, s.MailAddress);
    }
    if (!IsUsableAddress(s.TestAddress)) {
      say(kBadTestAddress);
      return false;
    }
  }
  if (Empty(s.MailAddress)) return say(kNoMailAddress), false;
  if (!IsUsableAddress(s.MailAddress)) return say(kBadMailAddress), false;
  if (Empty(s.MailTitle)) return say(kNoMailTitle), false;
  if (Empty(s.BodyFile)) return say(kNoBodyFile), false;
  if (!platform::PathExists(s.BodyFile)) return say(kBodyFileMissing), false;
  if (Empty(s.ListFile)) return say(kNoListFile), false;
  if (!platform::PathExists(s.ListFile)) return say(kListFileMissing), false;
  if (Empty(s.SheetName)) return say(kNoSheetName), false;
  if (Empty(s.MailColumn)) return say(kNoMailColumn), false;
  if (Empty(s.StartRow)) {
    say(kNoStartRow);
    Fill(s.StartRow, "2");
  }
  if (Empty(s.EndRow)) {
    say(kNoEndRow);
    Fill(s.EndRow, "99999");
  }
  if (std::atol(s.StartRow) > std::atol(s.EndRow)) return say(kRowsReversed), false;
  if (Empty(s.IntervalSeconds) || std::atol(s.IntervalSeconds) == 0) {
    say(kNoInterval);
    Fill(s.IntervalSeconds, "10");
  }
  // Without a transfer tool every row would fail: refuse before the run starts.
  if (!TransferToolPresent()) return say(kTransferToolMissingMessage), false;
  return true;
}
