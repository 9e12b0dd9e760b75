#include "engine/send_run.h"

#include <chrono>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "engine/attachments.h"
#include "engine/engine_texts.h"
#include "engine/mail_address.h"
#include "engine/message_encoding.h"
#include "engine/opt_out_list.h"
#include "engine/placeholder_merge.h"
#include "engine/row_options.h"
#include "engine/run_state.h"
#include "engine/send_journal.h"
#include "engine/send_log.h"
#include "engine/tool_failure.h"
#include "engine/wire_message.h"
#include "gridbridge/gridbridge.h"
#include "platform/files.h"
#include "platform/process.h"
#include "settings/file_locations.h"
#include "settings/options.h"
#include "settings/send_settings.h"
#include "text/sjis_text.h"
#include "settings/transfer_tool.h"

SendRunReportRecord SendRunReport;
SendRunPausesRecord SendRunPauses;
SendRunHooksRecord SendRunHooks = {platform::RunAndWait, IsAlreadySent};

namespace {

constexpr size_t kMessageCapacity = 1000000;
constexpr size_t kTitleCapacity = 1024;
constexpr size_t kAddressCapacity = 256;
// The body size taken when the file system cannot tell it.
constexpr long long kUnknownBodySize = 1000000;

char* BodyBuffer = nullptr;
char* MessageBuffer = nullptr;
char* WireBuffer = nullptr;
char StatusLine[1024];

// A new run waits here until the previous one has closed the workbook.
std::mutex gLibraryInUse;

// Not an end: set-up has passed, or no stop condition holds, and the run goes on.
constexpr int kRunGoesOn = kRunNotStarted;

// What a run learns at its set-up and keeps for all its rows.
struct RunContext {
  RunWindow* window = nullptr;
  bool realRun = false;
  std::string previewFolder;  // a preview writes the messages here; empty in a run that sends
  int startRow = 0;
  int endRow = 0;
  int intervalSeconds = 0;
  char encodedSender[kHeaderWordCapacity] = "";
  // A preview's rows so far (filled title, address): what a real run's log would hold by now.
  mutable std::set<std::pair<std::string, std::string>> previewed;
  bool Preview() const { return !previewFolder.empty(); }
};

// What the steps of one row find out and hand on to the steps after them.
struct RowWork {
  int row = 0;
  char title[kTitleCapacity];                  // MailTitle with the row's placeholders filled
  char encodedTitle[kHeaderWordCapacity];      // the filled title as an encoded-word
  char recipient[kAddressCapacity] = "";       // where the message goes
  char address[kAddressCapacity] = "";         // the row's own address, as the log records it
  RowCopies copies;                            // Cc and Bcc (a real run's message only)
  std::vector<Attachment> attachments;         // the files that go with the message
  std::string boundary;                        // the multipart/mixed boundary when files go with it
  char messageId[kMessageIdCapacity] = "";     // the Message-ID the message goes out with
  long wireLength = 0;                         // the length of the message's head in WireBuffer
  std::string detail;                          // what a status line names besides the row
  char failure[128] = "";                      // why the tool failed, for the row's line
};

// What became of one row. A step of a row either passes it on to the next step (kRowGoesOn)
// or settles it with one of the others.
enum RowOutcome {
  kRowGoesOn,
  kRowSent,               // the tool delivered the message
  kRowSendFailed,         // the tool failed or could not be started
  kRowTitleTooLong,       // the filled title cannot be encoded
  kRowNoAddress,          // the row's address cell is empty
  kRowBadAddress,         // the row's address, the recipient or the sender is unusable
  kRowAlreadySent,        // a real run's log holds this title to this address
  kRowMessageTooLong,     // the message does not fit its buffers
  kRowHeaderBroken,       // a filled value would add or end header lines
  kRowMessageFileFailed,  // the message file cannot be written: the run ends
  kRowOptedOut,           // the row's address is in the opt-out list
  kRowBadCopyAddress,     // a Cc or Bcc cell holds an unusable address (detail: the address)
  kRowAttachmentUnreadable,  // a file is missing or cannot be read (detail: the file as written)
  kRowMessageOverLimit,   // the message with its files would pass kMessageSizeLimit
  kRowPreviewed,          // a preview wrote the message (detail: the file's name)
  kRowOutcomeCount
};

// What follows a row: none, the skip pause (no look at StopRequested), or the interval pause.
enum RowPause { kNoPause, kSkipPause, kIntervalPause };

// What an outcome shows, counts, logs and does next.
struct OutcomeRule {
  RowOutcome outcome;
  // The status line; a format that takes the row number, then the recipient (or the row's
  // detail), then why the tool failed, as far as it uses them (arguments a format does not use
  // are ignored).
  const char* status;
  bool namesDetail;                   // the second argument is the row's detail
  int SendRunReportRecord::*counter;  // the report's count the row adds to, if any
  bool logged;                        // a real run appends the row to the send log
  RowPause pause;
  int runEnd;                         // kRunGoesOn, or how the run ends here
};

constexpr OutcomeRule kOutcomeRules[] = {
    {kRowGoesOn, nullptr, false, nullptr, false, kNoPause, kRunGoesOn},
    {kRowSent, kStatusSent, false, &SendRunReportRecord::SentRows, true, kIntervalPause, kRunGoesOn},
    {kRowSendFailed, kStatusSendFailed, false, &SendRunReportRecord::FailedRows, false, kIntervalPause, kRunGoesOn},
    {kRowTitleTooLong, kStatusTitleTooLong, false, &SendRunReportRecord::SkippedRows, false, kSkipPause, kRunGoesOn},
    {kRowNoAddress, kStatusNoAddress, false, &SendRunReportRecord::SkippedRows, false, kSkipPause, kRunGoesOn},
    {kRowBadAddress, kStatusBadAddress, false, &SendRunReportRecord::SkippedRows, false, kSkipPause, kRunGoesOn},
    {kRowAlreadySent, kStatusAlreadySent, false, &SendRunReportRecord::SkippedRows, false, kSkipPause, kRunGoesOn},
    {kRowMessageTooLong, kStatusMessageTooLong, false, &SendRunReportRecord::SkippedRows, false, kSkipPause, kRunGoesOn},
    {kRowHeaderBroken, kStatusHeaderBroken, false, &SendRunReportRecord::SkippedRows, false, kSkipPause, kRunGoesOn},
    {kRowMessageFileFailed, kStatusMessageFileFailed, false, nullptr, false, kNoPause, kRunMessageFileFailed},
    {kRowOptedOut, kStatusOptedOut, false, &SendRunReportRecord::SkippedRows, false, kSkipPause, kRunGoesOn},
    {kRowBadCopyAddress, kStatusBadCopyAddress, true, &SendRunReportRecord::FailedRows, false, kSkipPause, kRunGoesOn},
    {kRowAttachmentUnreadable, kStatusAttachmentUnreadable, true, &SendRunReportRecord::FailedRows, false, kSkipPause,
     kRunGoesOn},
    {kRowMessageOverLimit, kStatusMessageOverLimit, false, &SendRunReportRecord::FailedRows, false, kSkipPause,
     kRunGoesOn},
    {kRowPreviewed, kStatusPreviewWritten, true, &SendRunReportRecord::SentRows, false, kNoPause, kRunGoesOn},
};

constexpr bool RulesInOutcomeOrder() {
  for (int i = 0; i < kRowOutcomeCount; ++i)
    if (kOutcomeRules[i].outcome != i) return false;
  return true;
}
static_assert(sizeof kOutcomeRules / sizeof kOutcomeRules[0] == kRowOutcomeCount, "one rule per outcome");
static_assert(RulesInOutcomeOrder(), "kOutcomeRules is indexed by RowOutcome");

void Show(RunWindow* window, const char* line) {
  if (window) window->ShowStatus(line);
}

// Shows a set-up failure's status line and returns how the run ends.
int EndWith(RunWindow* window, const char* line, int end) {
  Show(window, line);
  return end;
}

void Sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Decimal conversion as atol does it, kept within 32 bits.
int ToInt(const char* text) {
  long long value = std::atoll(text);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// The header block of a composed message: up to and including its empty line.
size_t HeaderLength(const char* message) {
  const char* end = std::strstr(message, "\r\n\r\n");
  return end ? static_cast<size_t>(end - message) + 4 : std::strlen(message);
}

// True when the header block is still made of `lines` CR LF lines and holds no other control
// character: a filled value with a line break in it must not add or end header lines.
bool HeaderIntact(const char* message, size_t lines) {
  size_t length = HeaderLength(message);
  size_t count = 0;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(message[i]);
    if (c == '\r' && i + 1 < length && message[i + 1] == '\n') {
      ++count;
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      return false;
    }
  }
  return count == lines;
}

size_t CountLines(const char* text, size_t length) {
  size_t count = 0;
  for (size_t i = 0; i + 1 < length; ++i)
    if (text[i] == '\r' && text[i + 1] == '\n') ++count;
  return count;
}

void Release(char*& buffer) {
  std::free(buffer);
  buffer = nullptr;
}

// ---- Set-up ----

// Reads "Options.def" afresh for this run. One that exists but cannot be read ends the run:
// its opt-out list or certificate setting must never be dropped silently.
// Every value must be usable: a Cc that no row may have must not be dropped from every row.
int LoadRunOptions(RunWindow* window) {
  if (LoadOptions(FileLocations.OptionsPath) != 0) return EndWith(window, kStatusOptionsNotRead, kRunNoOptions);
  if (const char* key = FindUnusableOption()) {
    std::snprintf(StatusLine, sizeof StatusLine, kStatusBadOption, key);
    return EndWith(window, StatusLine, kRunBadOptions);
  }
  return kRunGoesOn;
}

// Reads the opt-out list once for the run (a relative path is taken from the workbook's
// folder). One that cannot be read ends the run before any row: nobody on it may be mailed.
int LoadRunOptOutList(RunWindow* window) {
  if (Options.OptOutFile.empty()) return kRunGoesOn;
  if (LoadOptOutList(ResolvePath(Options.OptOutFile, SendSettings.ListFile).c_str()) == kOptOutLoaded) return kRunGoesOn;
  std::snprintf(StatusLine, sizeof StatusLine, kStatusOptOutNotRead, Options.OptOutFile.c_str());
  return EndWith(window, StatusLine, kRunNoOptOutList);
}

// Opens the workbook and the sheet and learns the placeholders from row 1.
int OpenRecipients() {
  if (OpenExcel(SendSettings.ListFile, 0) != 0) return kRunNoWorkbook;
  if (OpenSheet(SendSettings.SheetName) != 0) return kRunNoSheet;
  ScanHeaderRow();
  return kRunGoesOn;
}

// Obtains the three buffers of the run and reads the body into BodyBuffer, in Shift-JIS.
int LoadRunBody(RunWindow* window) {
  long long size = 0;
  if (!platform::GetFileSize(SendSettings.BodyFile, &size) || size < 0) size = kUnknownBodySize;
  BodyBuffer = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
  if (BodyBuffer) MessageBuffer = static_cast<char*>(std::malloc(kMessageCapacity));
  if (MessageBuffer) WireBuffer = static_cast<char*>(std::malloc(kMessageCapacity));
  if (!BodyBuffer || !MessageBuffer || !WireBuffer) return EndWith(window, kStatusNoResources, kRunNoResources);
  int loaded = LoadBody(SendSettings.BodyFile, size, BodyBuffer);
  if (loaded == kBodyNotOpened) return EndWith(window, kStatusBodyNotOpened, kRunNoBody);
  if (loaded == kBodyNoScratch) return EndWith(window, kStatusNoResources, kRunNoResources);
  return kRunGoesOn;
}

// The range and the interval as numbers, the sender's name encoded once, and a first row
// that holds something.
int PrepareRows(RunContext& run) {
  run.startRow = ToInt(SendSettings.StartRow);
  run.endRow = ToInt(SendSettings.EndRow);
  run.intervalSeconds = ToInt(SendSettings.IntervalSeconds);
  const char* sender = EncodeHeaderWord(SendSettings.SenderName);
  std::strcpy(run.encodedSender, sender ? sender : "");
  if (RowIsEmpty(run.startRow)) return EndWith(run.window, kStatusStartRowEmpty, kRunStartRowEmpty);
  return kRunGoesOn;
}

// Everything before the first row. kRunGoesOn when the rows may follow, else how the run ends
// (its status line, if it has one, shown).
int SetUpRun(RunContext& run) {
  // The log and the journal are read afresh once per run: between runs they may have been
  // edited or replaced by a file of the same length, which their caches cannot notice. Within
  // a run the log only grows and the journal changes only by this run's own writes.
  if (run.realRun) {
    ResetSendLogCache();
    ResetSendJournalCache();
  }
  int end = LoadRunOptions(run.window);
  if (end == kRunGoesOn) end = LoadRunOptOutList(run.window);
  if (end == kRunGoesOn) end = OpenRecipients();
  if (end == kRunGoesOn) end = LoadRunBody(run.window);
  if (end == kRunGoesOn) end = PrepareRows(run);
  return end;
}

// ---- The steps of one row, in their order ----

// Fills the title's placeholders (which also sets RowAddress) and encodes the filled title.
RowOutcome MergeTitle(const RunContext&, RowWork& work) {
  std::strcpy(work.title, SendSettings.MailTitle);
  const char* encoded = nullptr;
  if (MergeRow(work.row, work.title, sizeof work.title) == 0) encoded = EncodeHeaderWord(work.title);
  if (!encoded) return kRowTitleTooLong;
  std::strcpy(work.encodedTitle, encoded);
  return kRowGoesOn;
}

// The row's own address is there and usable.
RowOutcome CheckRowAddress(const RunContext&, RowWork&) {
  if (RowAddress[0] == '\0') return kRowNoAddress;
  if (!IsUsableAddress(RowAddress)) return kRowBadAddress;
  return kRowGoesOn;
}

// Test and real runs skip a row whose address is in the opt-out list.
RowOutcome CheckNotOptedOut(const RunContext&, RowWork&) { return IsOptedOut(RowAddress) ? kRowOptedOut : kRowGoesOn; }

// A real run skips a row whose filled title and address the send log already holds (a preview
// also the rows it has written).
RowOutcome CheckNotYetSent(const RunContext& run, RowWork& work) {
  if (!run.realRun) return kRowGoesOn;
  if (SendRunHooks.IsAlreadySent(work.title, RowAddress) || run.previewed.count({work.title, RowAddress}) > 0)
    return kRowAlreadySent;
  return kRowGoesOn;
}

// The recipient is the row's address in a real run and TestAddress in a test run; it and the
// sender must both be usable.
RowOutcome ChooseRecipient(const RunContext& run, RowWork& work) {
  std::strcpy(work.recipient, run.realRun ? RowAddress : SendSettings.TestAddress);
  std::strcpy(work.address, RowAddress);
  if (!IsUsableAddress(work.recipient) || !IsUsableAddress(SendSettings.MailAddress)) return kRowBadAddress;
  return kRowGoesOn;
}

// The row's Cc and Bcc; a cell with an unusable address refuses the row (in a test run too,
// which sends to neither).
RowOutcome GatherRowCopies(const RunContext&, RowWork& work) {
  return GatherCopies(work.row, work.address, work.copies, work.detail) ? kRowGoesOn : kRowBadCopyAddress;
}

// The files of AttachFiles and of the row's AttachColumn cell; one that is missing or cannot be
// read refuses the row: a mail never goes out without the files it names.
RowOutcome GatherAttachments(const RunContext&, RowWork& work) {
  std::vector<std::string> paths = SplitPathList(Options.AttachFiles);
  for (const std::string& path : SplitPathList(OptionCell(Options.AttachColumn, work.row))) paths.push_back(path);
  for (const std::string& path : paths) {
    work.attachments.emplace_back();
    if (!ExamineAttachment(path, SendSettings.ListFile, work.attachments.back())) {
      work.detail = path;
      return kRowAttachmentUnreadable;
    }
  }
  return kRowGoesOn;
}

// A real run takes the Message-ID that the journal holds for a delivery of this title to this
// address begun and not logged (its copy may have arrived); every other message a fresh one.
RowOutcome ChooseMessageId(const RunContext& run, RowWork& work) {
  if (run.realRun && FindJournalMessageId(work.title, work.address, work.messageId, sizeof work.messageId))
    return kRowGoesOn;
  MakeMessageId(SendSettings.MailAddress, work.messageId, sizeof work.messageId);
  return kRowGoesOn;
}

// Composes the message into MessageBuffer and fills the row's placeholders in all of it; the
// header block must keep its lines.
RowOutcome ComposeRowMessage(const RunContext& run, RowWork& work) {
  const char* subtype = IsHtmlBodyFile(SendSettings.BodyFile) ? "html" : "plain";
  if (ComposeMessage(run.encodedSender, work.recipient, work.encodedTitle, subtype, BodyBuffer, MessageBuffer,
                     kMessageCapacity, work.messageId) != 0)
    return kRowMessageTooLong;
  size_t headerLines = CountLines(MessageBuffer, HeaderLength(MessageBuffer));
  if (MergeRow(work.row, MessageBuffer, kMessageCapacity) != 0) return kRowMessageTooLong;
  if (!HeaderIntact(MessageBuffer, headerLines)) return kRowHeaderBroken;
  return kRowGoesOn;
}

// Turns the composed message into the wire form (UTF-8, CR LF lines, transfer encodings, the
// text part of an HTML body, the extra header lines; with files the head of multipart/mixed)
// in WireBuffer. A test run's message names no Cc: it goes to TestAddress alone.
RowOutcome ConvertToWire(const RunContext& run, RowWork& work) {
  WireOptions options;
  options.PlainTextPart = Options.PlainTextPart;
  std::vector<std::string> cc = run.realRun ? work.copies.Cc : std::vector<std::string>();
  options.ExtraHeader = ExtraHeaderLines(cc, UnsubscribeUrls(work.row));
  work.wireLength = ComposeWireMessage(MessageBuffer, options, WireBuffer, kMessageCapacity,
                                       work.attachments.empty() ? nullptr : &work.boundary);
  return work.wireLength < 0 ? kRowMessageTooLong : kRowGoesOn;
}

// The whole message, its files encoded, must not pass kMessageSizeLimit.
RowOutcome CheckMessageSize(const RunContext&, RowWork& work) {
  unsigned long long size = static_cast<unsigned long long>(work.wireLength);
  size += AttachmentPartsSize(work.boundary, work.attachments);
  return size > kMessageSizeLimit ? kRowMessageOverLimit : kRowGoesOn;
}

// The full path of a row's preview file in the preview folder.
std::string PreviewPath(const RunContext& run, const RowWork& work) {
  std::string folder = run.previewFolder;
  size_t last = folder.size() - 1;
  bool separated = folder[last] == kPathSeparator && !IsTrailByte(folder.c_str(), last);
  if (!separated) folder += kPathSeparator;
  size_t room = folder.size() < kPathCapacity ? kPathCapacity - folder.size() : 1;
  return folder + PreviewFileName(work.row, work.address, room);
}

// Writes WireBuffer and the files to the message file (a preview's: its file in the folder).
RowOutcome WriteRowMessage(const RunContext& run, RowWork& work) {
  std::string path = run.Preview() ? PreviewPath(run, work) : FileLocations.MessagePath;
  if (run.Preview()) work.detail = path.substr(static_cast<size_t>(FileNamePart(path.c_str()) - path.c_str()));
  size_t unreadable = 0;
  MessageFileResult written = WriteMessageFile(path.c_str(), WireBuffer, static_cast<size_t>(work.wireLength),
                                               work.boundary, work.attachments, &unreadable);
  if (written == kAttachmentUnreadable) {
    work.detail = work.attachments[unreadable].Written;
    return kRowAttachmentUnreadable;
  }
  return written == kMessageFileWritten ? kRowGoesOn : kRowMessageFileFailed;
}

// Before the tool runs in a real run, the journal records the delivery with its Message-ID; a
// journal that cannot be written only loses that Message-ID for a resend. A preview sends
// nothing and records nothing.
RowOutcome JournalDelivery(const RunContext& run, RowWork& work) {
  if (run.realRun && !run.Preview()) RecordJournalEntry(work.title, work.address, work.messageId);
  return kRowGoesOn;
}

// Runs the transfer tool on the message file, to its end: to the recipient and, in a real run,
// to every Cc and Bcc; a failure keeps its reason. A preview runs nothing.
RowOutcome RunTransferTool(const RunContext& run, RowWork& work) {
  if (run.Preview()) {
    run.previewed.insert({work.title, work.address});
    return kRowPreviewed;
  }
  std::vector<std::string> recipients = {work.recipient};
  if (run.realRun) {
    recipients.insert(recipients.end(), work.copies.Cc.begin(), work.copies.Cc.end());
    recipients.insert(recipients.end(), work.copies.Bcc.begin(), work.copies.Bcc.end());
  }
  int exitCode = SendRunHooks.RunTool(BuildToolArguments(recipients));
  if (exitCode == 0) return kRowSent;
  DescribeToolFailure(exitCode, work.failure, sizeof work.failure);
  return kRowSendFailed;
}

using RowStep = RowOutcome (*)(const RunContext& run, RowWork& work);

// A row's steps in their order; the first that settles the row ends it.
constexpr RowStep kRowSteps[] = {MergeTitle,        CheckRowAddress,  CheckNotOptedOut,  CheckNotYetSent,
                                 ChooseRecipient,   GatherRowCopies,  GatherAttachments, ChooseMessageId,
                                 ComposeRowMessage, ConvertToWire,    CheckMessageSize,  WriteRowMessage,
                                 JournalDelivery,   RunTransferTool};

// ---- After a row ----

// The interval pause looks at StopRequested before each step; the skip pause does not. A
// preview, which sends nothing, never pauses.
void PauseAfterRow(const RunContext& run, RowPause pause) {
  if (run.Preview()) return;
  if (pause == kSkipPause) Sleep(SendRunPauses.SkipPauseMs);
  if (pause != kIntervalPause) return;
  for (int step = 0; step < run.intervalSeconds; ++step) {
    if (RunState.StopRequested == 1) break;
    Sleep(SendRunPauses.IntervalStepMs);
  }
}

// What the outcome's rule says: the status line, the count, the log line, the pause.
void SettleRow(const RunContext& run, const RowWork& work, RowOutcome outcome) {
  const OutcomeRule& rule = kOutcomeRules[outcome];
  if (rule.status) {
    std::snprintf(StatusLine, sizeof StatusLine, rule.status, work.row,
                  rule.namesDetail ? work.detail.c_str() : work.recipient, work.failure);
    Show(run.window, StatusLine);
  }
  if (rule.counter) ++(SendRunReport.*rule.counter);
  // The log line clears the delivery's journal entry.
  if (rule.logged && run.realRun && !run.Preview() && AppendSendLog(work.row, work.title, work.address))
    ClearJournalEntry(work.title, work.address);
  PauseAfterRow(run, rule.pause);
}

// One row: its steps until one settles it, then what that outcome brings.
RowOutcome SendRow(const RunContext& run, int row) {
  RowWork work;
  work.row = row;
  RowOutcome outcome = kRowGoesOn;
  for (RowStep step : kRowSteps) {
    outcome = step(run, work);
    if (outcome != kRowGoesOn) break;
  }
  SettleRow(run, work, outcome);
  return outcome;
}

// The stop conditions at the top of every pass, in their order; kRunGoesOn when none holds.
int StopCondition(const RunContext& run, int row) {
  if (row > run.endRow || RowIsEmpty(row)) return kRunCompleted;
  if (RunState.StopRequested == 1) return kRunStopped;
  return kRunGoesOn;
}

// The last line of a run that reached a stop condition; it counts the rows that failed.
void ShowFinished(RunWindow* window) {
  if (SendRunReport.FailedRows == 0) {
    Show(window, kStatusFinished);
    return;
  }
  std::snprintf(StatusLine, sizeof StatusLine, kStatusFinishedWithFailures, SendRunReport.FailedRows);
  Show(window, StatusLine);
}

// The row loop, from StartRow with the ordinal 1, until a stop condition holds or a row ends
// the run. Returns how the run ended.
int SendRows(const RunContext& run) {
  for (int row = run.startRow, ordinal = 1;; ++row, ++ordinal) {
    int end = StopCondition(run, row);
    if (end != kRunGoesOn) {
      ShowFinished(run.window);
      return end;
    }
    if (run.window) run.window->SetProgress(ordinal);
    end = kOutcomeRules[SendRow(run, row)].runEnd;
    if (end != kRunGoesOn) return end;
  }
}

// The end of every run, however it ended: the buffers released, the placeholders emptied,
// Running cleared and the workbook closed (also when it never opened), in this order.
void EndRun(int end) {
  Release(BodyBuffer);
  Release(MessageBuffer);
  Release(WireBuffer);
  ClearPlaceholders();
  ClearOptOutList();
  SendRunReport.End = end;
  RunState.Running = 0;
  CloseExcel();
}

// STARTTLS for TlsMode starttls, and with auto on the submission port 587 and on port 25.
bool UsesStartTls(TlsMode mode, const char* port) {
  if (mode != TlsMode::Auto) return mode == TlsMode::StartTls;
  long number = std::atol(port);
  return number == 587 || number == 25;
}

// smtp:// (plain text, then the upgrade that --ssl-reqd makes required) or smtps:// (TLS from
// the first byte), the server, the port and a path with the EHLO name.
std::string BuildToolUrl() {
  std::string url = UsesStartTls(Options.Tls, SendSettings.SmtpPort) ? "smtp://" : "smtps://";
  url += std::string(SendSettings.SmtpServer) + ":" + SendSettings.SmtpPort + "/";
  // The path is curl's EHLO name, percent-decoded: the sender's domain. Without a path curl
  // would take the uploaded file's name, "SendMail.txt". An address literal's "[", ":" and "]"
  // are escaped, or curl would read them as a URL pattern.
  const char* domain = MailboxDomain(SendSettings.MailAddress);
  for (const char* p = domain ? domain : ""; *p; ++p) {
    char escaped[4];
    bool plain = std::isalnum(static_cast<unsigned char>(*p)) || *p == '.' || *p == '-';
    std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(*p));
    url += plain ? std::string(1, *p) : std::string(escaped);
  }
  return url;
}

}  // namespace

std::vector<std::string> BuildToolArguments(const std::vector<std::string>& recipients) {
  std::string user = std::string(SendSettings.LoginId) + ":" + SendSettings.Password;
  std::vector<std::string> arguments = {FileLocations.ToolPath, "--url", BuildToolUrl(), "--ssl-reqd",
                                        "--mail-from", SendSettings.MailAddress};
  for (const std::string& recipient : recipients) arguments.insert(arguments.end(), {"--mail-rcpt", recipient});
  arguments.insert(arguments.end(), {"--upload-file", FileLocations.MessagePath, "--user", user, "--verbose"});
  if (!Options.VerifyCertificate) {
    arguments.push_back("--insecure");
    return arguments;
  }
  std::string authorities = CaBundleFile();
  if (!authorities.empty()) arguments.insert(arguments.end(), {"--cacert", authorities});
  if (const char* revocation = RevocationOption()) arguments.push_back(revocation);
  return arguments;
}

std::string PreviewFileName(int row, const char* address, size_t capacity) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d-", row);
  std::string name = number;
  const std::string ending = ".eml";
  const char* refused = "\\/:*?\"<>|";
  for (const char* p = address ? address : ""; *p;) {
    size_t length = IsLeadByte(static_cast<unsigned char>(*p)) && p[1] ? 2 : 1;
    if (name.size() + length + ending.size() + 1 > capacity) break;
    bool bad = length == 1 && (static_cast<unsigned char>(*p) < 0x20 || std::strchr(refused, *p));
    name += bad ? std::string("_") : std::string(p, length);
    p += length;
  }
  return name + ending;
}

namespace {

// A run of either kind, on the calling thread.
void RunRows(RunWindow* window, bool realRun, const char* previewFolder) {
  RunState.Running = 1;
  RunState.StopRequested = 0;
  std::lock_guard<std::mutex> libraryLock(gLibraryInUse);
  SendRunReport = SendRunReportRecord();
  Show(window, kStatusStarted);

  RunContext run;
  run.window = window;
  run.realRun = realRun;
  run.previewFolder = previewFolder ? previewFolder : "";
  int end = SetUpRun(run);
  if (end == kRunGoesOn) end = SendRows(run);
  if (run.realRun && !run.Preview()) TidySendJournal();
  EndRun(end);
}

}  // namespace

void SendRun(RunWindow* window) { RunRows(window, SendMode == 1, nullptr); }

void PreviewRun(RunWindow* window, const char* folder) { RunRows(window, true, folder && *folder ? folder : "."); }
