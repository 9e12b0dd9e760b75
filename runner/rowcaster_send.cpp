// rowcaster-send: one send run without a window, for scheduled or scripted runs.
//
//   rowcaster-send [--test | --preview DIR]
//
// Reads the settings (and Options.def) from the data folder, checks them as the send commands
// do, runs the send (a test run with --test; with --preview the messages a real run would send
// are written to DIR and nothing is sent) and prints every status line in UTF-8. Exit status:
// 0 when every row was sent or skipped, 1 when a row failed or the run could not go on, 2 when
// the inputs were refused. Ctrl+C asks the run to stop after the current row.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#include "engine/run_state.h"
#include "engine/run_window.h"
#include "engine/send_inputs.h"
#include "engine/send_run.h"
#include "gridbridge/gridbridge.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "runner/runner_texts.h"
#include "settings/data_folder.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"
#include "settings/settings_store.h"
#include "settings/transfer_tool.h"

namespace {

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

void PrintLine(const char* sjis) {
  std::string line = platform::Cp932ToUtf8(sjis, std::strlen(sjis));
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void PrintMessage(const char* sjis, void*) { PrintLine(sjis); }

// The terminal as the run's window: each status line on a line of its own on standard
// output, and a progress bar on standard error when that is a terminal.
constexpr int kBarLineWidth = 64;

class TerminalWindow : public RunWindow {
 public:
  explicit TerminalWindow(int rows) : rows_(rows > 0 ? rows : 1), bar_(IsTerminal(stderr)) {}
  void ShowStatus(const char* line) override {
    Erase();
    PrintLine(line);
    Draw();
  }
  void SetProgress(int position) override {
    position_ = position;
    Draw();
  }
  void Finish() { Erase(); }

 private:
  void Draw() {
    if (!bar_ || position_ <= 0) return;
    const int width = 40;
    long long filled = static_cast<long long>(position_) * width / rows_;
    if (filled > width) filled = width;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '-');
    std::fprintf(stderr, "\r[%s] %d/%d", bar.c_str(), position_, rows_);
    std::fflush(stderr);
    drawn_ = true;
  }
  void Erase() {
    if (!drawn_) return;
    // Plain spaces: no terminal escape sequences needed, so a Windows console shows it too.
    std::fprintf(stderr, "\r%*s\r", kBarLineWidth, "");
    std::fflush(stderr);
    drawn_ = false;
  }
  int rows_;
  bool bar_;
  int position_ = 0;
  bool drawn_ = false;
};

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    RunState.StopRequested = 1;
    return TRUE;
  }
  return FALSE;
}
void CatchStopRequests() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }
#else
void OnStopSignal(int) { RunState.StopRequested = 1; }
void CatchStopRequests() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // A second Ctrl+C ends the program at once, for a tool that never returns.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}
#endif

// Test hooks, for the suite only: ROWCASTER_TEST_PAUSE_MS replaces the 999 ms interval step
// and the 1,000 ms skip pause, ROWCASTER_TEST_TOOL_LIMIT_MS the transfer tool's time limit.
void ApplyTestHooks() {
  if (const char* pause = std::getenv("ROWCASTER_TEST_PAUSE_MS")) {
    int ms = std::atoi(pause);
    if (ms >= 0) {
      SendRunPauses.IntervalStepMs = ms;
      SendRunPauses.SkipPauseMs = ms;
    }
  }
  if (const char* limit = std::getenv("ROWCASTER_TEST_TOOL_LIMIT_MS")) platform::SetProcessTimeLimit(std::atoi(limit));
}

// The line for a workbook that did not open: its cause when GridBridge names one (an
// encrypted workbook, a format it does not read), asked of it once more after the run.
const char* WorkbookNotOpenedLine() {
  int cause = OpenExcel(SendSettings.ListFile, 0);
  CloseExcel();
  switch (cause) {
    case GRIDBRIDGE_ENCRYPTED: return kWorkbookEncrypted;
    case GRIDBRIDGE_OLD_FORMAT: return kWorkbookOldFormat;
    case GRIDBRIDGE_BINARY_FORMAT: return kWorkbookBinary;
    default: return kWorkbookNotOpened;
  }
}

void Usage(FILE* stream) {
  std::fprintf(stream,
               "usage: rowcaster-send [--test | --preview DIR]\n"
               "  Sends one mail per row of the recipient sheet with the settings in the data folder:\n"
               "  Environ.psw (the window's settings) and Options.def (attachments, Cc, Bcc, Reply-To,\n"
               "  the opt-out list, List-Unsubscribe, ...).\n"
               "  --test         send every row's mail to the test address and leave the send log alone\n"
               "  --preview DIR  send nothing: write each mail a real run would send as\n"
               "                 DIR/NNNN-address.eml (NNNN the row), exactly as it would go out;\n"
               "                 the send log is left alone\n"
               "exit status: 0 all rows sent or skipped, 1 a row failed or the run stopped, 2 inputs refused\n");
}

// The folder argument of --preview in code page 932, as every path of the core. On Windows it
// is taken from the wide command line, whatever the console's code page.
std::string PreviewFolderArgument(char** argv, int index) {
#ifdef _WIN32
  (void)argv;
  int count = 0;
  std::string folder;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    if (index < count) folder = platform::WideToCp932(wide[index]);
    LocalFree(wide);
  }
  return folder;
#else
  return platform::Utf8ToCp932(argv[index], std::strlen(argv[index]));
#endif
}

// The preview folder exists afterwards (made when missing, one level).
bool PreparePreviewFolder(const std::string& folder) {
  return !folder.empty() && (platform::PathExists(folder.c_str()) || platform::MakeFolder(folder.c_str()));
}

}  // namespace

int main(int argc, char** argv) {
  int testRun = 0;
  bool preview = false;
  std::string previewFolder;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--test") == 0 && !preview) {
      testRun = 1;
    } else if (std::strcmp(argv[i], "--preview") == 0 && !preview && !testRun && i + 1 < argc) {
      preview = true;
      previewFolder = PreviewFolderArgument(argv, ++i);
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      Usage(stdout);
      return 0;
    } else {
      Usage(stderr);
      return 2;
    }
  }
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif

  ApplyTestHooks();
  BuildFileLocations();
  ResolveTransferTool();
  // As the window starts: the stored form is read in memory, so that the password never stands
  // in plain text on disk during a run that may last hours (a plain file left from before is
  // stored at once). The run changes no setting, so nothing is written back at its end.
  LoadStoredSettings();
  // The main window never holds a start row below 2 (row 1 names the fields); neither does a
  // run from here, whatever a hand-edited settings file says.
  if (std::atol(SendSettings.StartRow) < 2) std::strcpy(SendSettings.StartRow, "2");

  int status = 0;
  if (!CheckSendInputs(testRun, PrintMessage, nullptr)) {
    status = 2;
  } else if (preview && !PreparePreviewFolder(previewFolder)) {
    std::vector<char> line(std::strlen(kPreviewFolderFailed) + previewFolder.size() + 1);
    std::snprintf(line.data(), line.size(), kPreviewFolderFailed, previewFolder.c_str());
    PrintLine(line.data());
    status = 2;
  } else {
    SendMode = testRun ? 0 : 1;
    CatchStopRequests();
    long long rows = std::atoll(SendSettings.EndRow) - std::atoll(SendSettings.StartRow) + 1;
    TerminalWindow window(rows > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(rows));
    if (preview)
      PreviewRun(&window, previewFolder.c_str());
    else
      SendRun(&window);
    window.Finish();
    switch (SendRunReport.End) {
      case kRunNoWorkbook:
        PrintLine(WorkbookNotOpenedLine());
        break;
      case kRunNoSheet:
        PrintLine(kSheetNotFound);
        break;
      default:
        break;
    }
    bool finished = SendRunReport.End == kRunCompleted || SendRunReport.End == kRunStartRowEmpty;
    status = (finished && SendRunReport.FailedRows == 0) ? 0 : 1;
  }

  return status;
}
