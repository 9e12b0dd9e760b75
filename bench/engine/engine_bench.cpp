// Per-row overhead of the send engine: a real run over a 20,000-row workbook with a
// 100,000-line send log, against the same run with the log re-read for every row. The
// transfer tool is /bin/true; the time it takes is measured and taken out, and the pauses are
// zero, so what remains is the engine's own work per row.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/send_log.h"
#include "engine/send_run.h"
#include "platform/codepage.h"
#include "platform/process.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"

namespace {

using Clock = std::chrono::steady_clock;
double gToolSeconds = 0;

int TimedTool(const std::vector<std::string>& arguments) {
  auto start = Clock::now();
  int code = platform::RunAndWait({"/bin/true", arguments[1]});
  gToolSeconds += std::chrono::duration<double>(Clock::now() - start).count();
  return code;
}

class QuietWindow : public RunWindow {
 public:
  void ShowStatus(const char*) override {}
  void SetProgress(int) override {}
};

std::string Sjis(const char* utf8) { return platform::Utf8ToCp932(utf8, std::strlen(utf8)); }

void WriteLog(const std::string& path, int lines) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::string format = Sjis("2026/12/01 09:00:00 行番号[%04d] タイトル[株式会社西進%06d 佐藤様 ご案内] 送信先アドレス[other%06d@example.com]\r\n");
  for (int i = 0; i < lines; ++i) std::fprintf(f, format.c_str(), i % 10000, i, i);
  std::fclose(f);
}

// Runs rows 2 .. lastRow and returns the engine's seconds per row (tool time taken out).
double PerRow(int lastRow, const std::string& log, int logLines) {
  WriteLog(log, logLines);
  ResetSendLogCache();
  std::snprintf(SendSettings.EndRow, sizeof SendSettings.EndRow, "%d", lastRow);
  gToolSeconds = 0;
  QuietWindow window;
  auto start = Clock::now();
  SendRun(&window);
  double total = std::chrono::duration<double>(Clock::now() - start).count();
  int rows = SendRunReport.SentRows + SendRunReport.SkippedRows;
  if (rows != lastRow - 1 || SendRunReport.SentRows != rows)
    std::fprintf(stderr, "unexpected run: %d sent, %d skipped, %d failed\n", SendRunReport.SentRows,
                 SendRunReport.SkippedRows, SendRunReport.FailedRows);
  return (total - gToolSeconds) / rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: engine_bench WORKBOOK.xlsx WORK-FOLDER\n");
    return 2;
  }
  std::string folder = argv[2];
  std::string mkdir = "mkdir -p '" + folder + "'";
  if (std::system(mkdir.c_str()) != 0) return 1;
  std::string body = folder + "/body.txt";
  FILE* f = std::fopen(body.c_str(), "wb");
  std::string text = Sjis("{会社名}\r\n{部署} {氏名} 様\r\n\r\nいつもお世話になっております。新製品のご案内です。\r\n");
  for (int i = 0; i < 20; ++i) std::fputs(text.c_str(), f);
  std::fclose(f);

  ResetSendSettings();
  auto set = [](char* field, size_t size, const std::string& value) { std::snprintf(field, size, "%s", value.c_str()); };
  set(SendSettings.MailAddress, 256, "sales@example.com");
  set(SendSettings.SenderName, 256, Sjis("営業部"));
  set(SendSettings.SmtpServer, 256, "127.0.0.1");
  set(SendSettings.SmtpPort, 16, "465");
  set(SendSettings.MailTitle, 256, Sjis("{会社名} {氏名}様 ご案内"));
  set(SendSettings.BodyFile, sizeof SendSettings.BodyFile, body);
  set(SendSettings.ListFile, sizeof SendSettings.ListFile, argv[1]);
  set(SendSettings.SheetName, 256, Sjis("顧客"));
  set(SendSettings.MailColumn, 8, "D");
  set(SendSettings.IntervalSeconds, 8, "1");
  std::string log = folder + "/SendLogs.txt";
  set(FileLocations.LogPath, sizeof FileLocations.LogPath, log);
  set(FileLocations.MessagePath, sizeof FileLocations.MessagePath, folder + "/SendMail.txt");
  // Every real delivery is journalled before the tool runs and cleared after its log line.
  set(FileLocations.JournalPath, sizeof FileLocations.JournalPath, folder + "/SendJournal.txt");
  set(FileLocations.ToolPath, sizeof FileLocations.ToolPath, "/bin/true");
  SendRunPauses.IntervalStepMs = 0;
  SendRunPauses.SkipPauseMs = 0;
  SendRunHooks.RunTool = TimedTool;
  SendMode = 1;

  const int logLines = 100000;
  SendRunHooks.IsAlreadySent = IsAlreadySent;
  double kept = PerRow(20001, log, logLines);
  SendRunHooks.IsAlreadySent = IsAlreadySentByFullScan;
  const int naiveRows = 200;
  double naive = PerRow(naiveRows + 1, log, logLines);

  std::printf("send engine, per row (tool time taken out, no pauses), %d-line send log:\n", logLines);
  std::printf("  kept log look-up:    %8.4f ms/row over 20000 rows   (goal: at most 0.2)\n", kept * 1000);
  std::printf("  log re-read per row: %8.4f ms/row over %d rows\n", naive * 1000, naiveRows);
  std::printf("  ratio:               %8.1fx                          (goal: at least 50)\n", naive / kept);
  return 0;
}
