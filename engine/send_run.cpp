#include "engine/send_run.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/mail_address.h"
#include "engine/message_encoding.h"
#include "engine/placeholder_merge.h"
#include "engine/run_state.h"
#include "engine/send_log.h"
#include "engine/wire_message.h"
#include "engine/engine_texts.h"
#include "gridbridge/gridbridge.h"
#include "platform/files.h"
#include "platform/process.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"

SendRunReportRecord SendRunReport;
SendRunPausesRecord SendRunPauses;
SendRunHooksRecord SendRunHooks = {platform::RunAndWait, IsAlreadySent};

namespace {

constexpr size_t kMessageCapacity = 1000000;
constexpr size_t kTitleCapacity = 1024;

char* BodyBuffer = nullptr;
char* MessageBuffer = nullptr;
char* WireBuffer = nullptr;
char StatusLine[1024];

// A new run waits here until the previous one has closed the workbook.
std::mutex gLibraryInUse;

void Show(RunWindow* window, const char* line) {
  if (window) window->ShowStatus(line);
}

void ShowRow(RunWindow* window, const char* format, int row) {
  std::snprintf(StatusLine, sizeof StatusLine, format, row);
  Show(window, StatusLine);
}

void ShowRowTo(RunWindow* window, const char* format, int row, const char* recipient) {
  std::snprintf(StatusLine, sizeof StatusLine, format, row, recipient);
  Show(window, StatusLine);
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

// The message file holds exactly this message afterwards. It is overwritten from its start and
// then cut to the message's length rather than emptied first: some file systems write a file
// emptied and refilled through to disk at once when it is closed, which would cost every row
// milliseconds.
bool WriteMessageFile(const char* bytes, size_t length) {
  int fd = platform::OpenFileShared(FileLocations.MessagePath, O_WRONLY | O_CREAT | O_BINARY, platform::kReadWrite);
  if (fd < 0) return false;
  long written = platform::WriteFd(fd, bytes, static_cast<unsigned long>(length));
  int cut = platform::TruncateFd(fd, static_cast<long long>(length));
  int closed = platform::CloseFd(fd);
  return written == static_cast<long>(length) && cut == 0 && closed == 0;
}

void Release(char*& buffer) {
  std::free(buffer);
  buffer = nullptr;
}

}  // namespace

std::vector<std::string> BuildToolArguments(const char* recipient) {
  std::string url = std::string("smtps://") + SendSettings.SmtpServer + ":" + SendSettings.SmtpPort;
  std::string user = std::string(SendSettings.LoginId) + ":" + SendSettings.Password;
  return {FileLocations.ToolPath, "--url",       url,    "--ssl-reqd", "--mail-from", SendSettings.MailAddress,
          "--mail-rcpt",          recipient,     "--upload-file", FileLocations.MessagePath,
          "--user",               user,          "--verbose",     "--insecure"};
}

void SendRun(RunWindow* window) {
  RunState.Running = 1;
  RunState.StopRequested = 0;
  std::lock_guard<std::mutex> libraryLock(gLibraryInUse);
  SendRunReport = SendRunReportRecord();
  Show(window, kStatusStarted);

  const bool realRun = SendMode == 1;
  // The log is read afresh once per run: between runs it may have been edited or replaced by
  // a file that is no shorter, which reading only the appended bytes cannot notice. Within a
  // run it only grows.
  if (realRun) ResetSendLogCache();
  int end = kRunCompleted;
  static char title[kTitleCapacity];
  static char encodedTitle[kHeaderWordCapacity];
  static char encodedSender[kHeaderWordCapacity];

  do {
    if (OpenExcel(SendSettings.ListFile, 0) != 0) {
      end = kRunNoWorkbook;
      break;
    }
    if (OpenSheet(SendSettings.SheetName) != 0) {
      end = kRunNoSheet;
      break;
    }
    ScanHeaderRow();

    long long size = 0;
    if (!platform::GetFileSize(SendSettings.BodyFile, &size) || size < 0) size = 1000000;
    BodyBuffer = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (BodyBuffer) MessageBuffer = static_cast<char*>(std::malloc(kMessageCapacity));
    if (MessageBuffer) WireBuffer = static_cast<char*>(std::malloc(kMessageCapacity));
    if (!BodyBuffer || !MessageBuffer || !WireBuffer) {
      Show(window, kStatusNoResources);
      end = kRunNoResources;
      break;
    }
    int loaded = LoadBody(SendSettings.BodyFile, size, BodyBuffer);
    if (loaded == kBodyNotOpened) {
      Show(window, kStatusBodyNotOpened);
      end = kRunNoBody;
      break;
    }
    if (loaded == kBodyNoScratch) {
      Show(window, kStatusNoResources);
      end = kRunNoResources;
      break;
    }

    const int startRow = ToInt(SendSettings.StartRow);
    const int endRow = ToInt(SendSettings.EndRow);
    const int intervalSeconds = ToInt(SendSettings.IntervalSeconds);

    const char* sender = EncodeHeaderWord(SendSettings.SenderName);
    std::strcpy(encodedSender, sender ? sender : "");

    if (RowIsEmpty(startRow)) {
      Show(window, kStatusStartRowEmpty);
      end = kRunStartRowEmpty;
      break;
    }

    int ordinal = 1;
    for (int row = startRow;; ++row, ++ordinal) {
      int stop = kRunNotStarted;
      if (row > endRow || RowIsEmpty(row))
        stop = kRunCompleted;
      else if (RunState.StopRequested == 1)
        stop = kRunStopped;
      if (stop != kRunNotStarted) {
        end = stop;
        if (SendRunReport.FailedRows > 0) {
          std::snprintf(StatusLine, sizeof StatusLine, kStatusFinishedWithFailures, SendRunReport.FailedRows);
          Show(window, StatusLine);
        } else {
          Show(window, kStatusFinished);
        }
        break;
      }
      if (window) window->SetProgress(ordinal);

      // Skipped rows: a status line and a pause that does not look at StopRequested.
      auto skip = [&](const char* format) {
        ShowRow(window, format, row);
        ++SendRunReport.SkippedRows;
        Sleep(SendRunPauses.SkipPauseMs);
      };

      std::strcpy(title, SendSettings.MailTitle);
      const char* encoded = nullptr;
      if (MergeRow(row, title, sizeof title) == 0) encoded = EncodeHeaderWord(title);
      if (!encoded) {
        skip(kStatusTitleTooLong);
        continue;
      }
      std::strcpy(encodedTitle, encoded);

      if (RowAddress[0] == '\0') {
        skip(kStatusNoAddress);
        continue;
      }
      if (!IsUsableAddress(RowAddress)) {
        skip(kStatusBadAddress);
        continue;
      }
      if (realRun && SendRunHooks.IsAlreadySent(title, RowAddress)) {
        skip(kStatusAlreadySent);
        continue;
      }
      char recipient[256];
      std::strcpy(recipient, realRun ? RowAddress : SendSettings.TestAddress);
      char address[256];
      std::strcpy(address, RowAddress);
      if (!IsUsableAddress(recipient) || !IsUsableAddress(SendSettings.MailAddress)) {
        skip(kStatusBadAddress);
        continue;
      }
      const char* subtype = IsHtmlBodyFile(SendSettings.BodyFile) ? "html" : "plain";

      if (ComposeMessage(encodedSender, recipient, encodedTitle, subtype, BodyBuffer, MessageBuffer,
                         kMessageCapacity) != 0) {
        skip(kStatusMessageTooLong);
        continue;
      }
      size_t headerLines = CountLines(MessageBuffer, HeaderLength(MessageBuffer));
      if (MergeRow(row, MessageBuffer, kMessageCapacity) != 0) {
        skip(kStatusMessageTooLong);
        continue;
      }
      if (!HeaderIntact(MessageBuffer, headerLines)) {
        skip(kStatusHeaderBroken);
        continue;
      }
      long wireLength = ComposeWireMessage(MessageBuffer, WireOptions(), WireBuffer, kMessageCapacity);
      if (wireLength < 0) {
        skip(kStatusMessageTooLong);
        continue;
      }
      if (!WriteMessageFile(WireBuffer, static_cast<size_t>(wireLength))) {
        Show(window, kStatusMessageFileFailed);
        end = kRunMessageFileFailed;
        break;
      }

      int exitCode = SendRunHooks.RunTool(BuildToolArguments(recipient));
      if (exitCode == 0) {
        ShowRowTo(window, kStatusSent, row, recipient);
        ++SendRunReport.SentRows;
        if (realRun) AppendSendLog(row, title, address);
      } else {
        // Not delivered: not logged, so the next real run sends it again.
        ShowRowTo(window, kStatusSendFailed, row, recipient);
        ++SendRunReport.FailedRows;
      }

      for (int step = 0; step < intervalSeconds; ++step) {
        if (RunState.StopRequested == 1) break;
        Sleep(SendRunPauses.IntervalStepMs);
      }
    }
  } while (false);

  Release(BodyBuffer);
  Release(MessageBuffer);
  Release(WireBuffer);
  ClearPlaceholders();
  SendRunReport.End = end;
  RunState.Running = 0;
  CloseExcel();
}
