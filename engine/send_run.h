// The send run: walks the recipient rows from StartRow to EndRow, fills the placeholders,
// composes each message, writes it to the message file, runs the transfer tool on it, reports
// every row on its window, logs real deliveries and paces itself.
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "engine/run_window.h"

// How a run ended.
enum SendRunEnd {
  kRunNotStarted = 0,
  kRunCompleted,        // past EndRow or at an empty row
  kRunStopped,          // StopRequested
  kRunStartRowEmpty,    // the first row of the range holds nothing
  kRunNoWorkbook,       // OpenExcel failed
  kRunNoSheet,          // OpenSheet failed
  kRunNoResources,      // a working buffer could not be had
  kRunNoBody,           // the body file could not be opened
  kRunMessageFileFailed, // the message file could not be written
  kRunNoOptions,         // "Options.def" exists but could not be read
  kRunBadOptions,        // a value of "Options.def" that no row could use
  kRunNoOptOutList       // the opt-out list could not be read
};

// The outcome of the latest run, for front ends that report it (written by the run).
struct SendRunReportRecord {
  int End = kRunNotStarted;
  int SentRows = 0;
  int SkippedRows = 0;
  int FailedRows = 0;
};
extern SendRunReportRecord SendRunReport;

// The pacing of a run: the interval pause is IntervalSeconds steps of IntervalStepMs, each
// preceded by a look at StopRequested; a skipped row pauses SkipPauseMs. Tests shorten them.
struct SendRunPausesRecord {
  std::atomic<int> IntervalStepMs{999};
  std::atomic<int> SkipPauseMs{1000};
};
extern SendRunPausesRecord SendRunPauses;

// What a run calls for the transfer tool and the log look-up. Benchmarks wrap or replace them
// to measure the engine alone.
struct SendRunHooksRecord {
  int (*RunTool)(const std::vector<std::string>& arguments);
  bool (*IsAlreadySent)(const char* title, const char* address);
};
extern SendRunHooksRecord SendRunHooks;  // platform::RunAndWait and ::IsAlreadySent

// The whole run, on the calling thread. Before it starts, the caller has checked the inputs
// and set SendMode. The window gets every status line (Shift-JIS) and the row ordinals.
void SendRun(RunWindow* window);

// A preview: the rows of a real run (every skip rule, the send log's included, and every
// refusal applied), but each message that run would send is written, byte for byte as the tool
// would get it, to `folder`/PreviewFileName(...) instead of the message file. Nothing is sent,
// the send log and the message file are left alone and no pause is made. Each such row shows
// "[%d]行のメールを[name]に書き出しました。" and counts in SentRows; a row whose title and
// address an earlier row of the preview had is skipped as already sent, as the real run would.
void PreviewRun(RunWindow* window, const char* folder);

// The name of a row's preview file: the row number in at least four digits, "-", the address
// with every character that Windows refuses in a file name (\ / : * ? " < > | and control
// characters) made "_", and ".eml": "0002-yamada@example.jp.eml". The address is cut between
// characters so that the name fits `capacity` bytes with its terminating zero.
std::string PreviewFileName(int row, const char* address, size_t capacity);

// The transfer tool's arguments for one message to `recipients` (one --mail-rcpt each):
//   ToolPath --url smtps://SmtpServer:SmtpPort/DOMAIN --ssl-reqd --mail-from MailAddress
//   --mail-rcpt recipient ... --upload-file MessagePath --user LoginId:Password --verbose [CHECK]
// The scheme is smtp:// (STARTTLS, which --ssl-reqd makes required) for Options.Tls starttls,
// and for auto on ports 587 and 25; smtps:// otherwise. DOMAIN, the name the tool greets the
// server with (EHLO), is MailAddress's domain, percent-encoded. CHECK is "--insecure" when
// Options.VerifyCertificate is off; else "--cacert FILE" when CaBundleFile() names one, then
// RevocationOption() where there is one (Windows).
std::vector<std::string> BuildToolArguments(const std::vector<std::string>& recipients);
inline std::vector<std::string> BuildToolArguments(const char* recipient) {
  return BuildToolArguments(std::vector<std::string>{recipient});
}
