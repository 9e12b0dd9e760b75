// Time per mail through the real program's window under Wine: a test run over ROWS rows with
// no pause between rows, timed from the status line of the first row to that of the last, so
// that start-up and the window's restoring timer stay out. Run by bench/wine_tool/run.py, which
// puts this program beside the Rowcaster.exe and SMTP.exe to measure.
//   window_bench.exe <rows> <server port>
// Prints "ms per mail: <n>" or a line starting with "failed:".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/program_driver.h"

namespace {

// The row a status line reports ("[row]行の..."), or 0.
int RowOf(const std::wstring& line) {
  if (line.size() < 3 || line[0] != L'[') return 0;
  return std::wcstol(line.c_str() + 1, nullptr, 10);
}

// "メール送信を終了しました。"
const wchar_t kFinished[] = L"\u30E1\u30FC\u30EB\u9001\u4FE1\u3092\u7D42\u4E86\u3057\u307E\u3057\u305F\u3002";

bool Idle(const Program& p) {
  return IsWindowEnabled(p.item(1010)) && !IsWindowEnabled(p.item(1011)) && !IsWindowVisible(p.item(1030));
}

int Bench(int rows, const char* port) {
  DataRoot data;
  // The program runs from a folder of its own: the tool to measure goes beside it.
  CopyFileW((FolderOfThisProgram() + L"\\SMTP.exe").c_str(), (data.programFolder() + L"\\SMTP.exe").c_str(), FALSE);
  std::string list = "name,email\r\n";
  for (int i = 1; i <= rows; ++i) list += "Name" + std::to_string(i) + ",row" + std::to_string(i) + "@example.jp\r\n";
  data.Write(L"list.csv", list);
  data.Write(L"body.txt", "Dear {name},\r\nnews.\r\n");
  std::vector<std::string> lines = {"sales@example.jp", "sales", "secret", "Sales", "127.0.0.1", port,
                                    "News for {name}", ToCp932(data.file(L"body.txt")),
                                    ToCp932(data.file(L"list.csv")), "list", "B", "2",
                                    std::to_string(rows + 1), "-1",  // a negative interval: no pause
                                    "test@example.jp"};
  data.Write(L"Environ.def", SettingsText(lines));
  int result = 1;
  {
    Program p(data);
    if (!p.main()) {
      std::printf("failed: the window did not open\n");
    } else {
      p.PostClick(1010);
      // When each row's line first shows (the row's mail has then been handed over); the
      // closing line follows the last row's at once and stands for it.
      LARGE_INTEGER frequency;
      QueryPerformanceFrequency(&frequency);
      std::vector<LONGLONG> seenAt(static_cast<size_t>(rows) + 2, 0);
      bool started = false;
      const DWORD deadline = GetTickCount() + 600000;
      while (static_cast<LONG>(deadline - GetTickCount()) > 0) {
        started = started || !Idle(p);
        std::wstring text = p.text(1009);
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        int row = text == kFinished ? rows + 1 : RowOf(text);
        if (row >= 2 && row <= rows + 1 && !seenAt[row]) seenAt[row] = now.QuadPart;
        if (started && Idle(p)) break;
        Sleep(1);
      }
      int low = 0, high = 0;
      for (int row = 2; row <= rows + 1; ++row) {
        if (!seenAt[row]) continue;
        if (!low) low = row;
        high = row;
      }
      if (high - low < rows / 2) {
        std::printf("failed: rows seen %d to %d, status now \"%s\"\n", low, high, ToCp932(p.text(1009)).c_str());
      } else {
        double ms = 1000.0 * static_cast<double>(seenAt[high] - seenAt[low]) / frequency.QuadPart / (high - low);
        std::printf("ms per mail: %.1f\n", ms);
        result = 0;
      }
      p.Click(2);
      p.WaitForExit(10000);
    }
  }
  DeleteFileW(data.file(L"list.csv").c_str());
  DeleteFileW(data.file(L"body.txt").c_str());
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_bench <rows> <server port>\n");
    return 2;
  }
  return Bench(std::atoi(argv[1]), argv[2]);
}
