// Opens a workbook through GridBridge, reads every cell of the sheet through GetCell as the
// send run does (columns A to Z of every row), and prints the time taken and the peak memory.
//
// usage: gridbridge_bench WORKBOOK SHEET(UTF-8) ROWS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>

#include "gridbridge/gridbridge.h"
#include "platform/codepage.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s WORKBOOK SHEET ROWS\n", argv[0]);
    return 2;
  }
  std::string path = platform::Utf8ToCp932(argv[1], std::strlen(argv[1]));
  std::string sheet = platform::Utf8ToCp932(argv[2], std::strlen(argv[2]));
  long rows = std::atol(argv[3]);
  auto start = std::chrono::steady_clock::now();
  if (OpenExcel(path.c_str(), 0) != 0 || OpenSheet(sheet.c_str()) != 0) {
    std::fprintf(stderr, "cannot open %s / %s\n", argv[1], argv[2]);
    CloseExcel();
    return 1;
  }
  auto opened = std::chrono::steady_clock::now();
  // Addresses are counted up by hand, so that the figure is GridBridge's and not printf's.
  char address[8] = "A0";
  char value[256];
  unsigned long long bytes = 0, cells = 0;
  if (rows > 999999) rows = 999999;
  for (long row = 1; row <= rows; ++row) {
    size_t end = std::strlen(address);
    size_t i = end;
    while (i > 1 && address[i - 1] == '9') address[--i] = '0';
    if (i == 1) {
      std::memmove(address + 2, address + 1, end);
      address[1] = '1';
    } else {
      ++address[i - 1];
    }
    for (char column = 'A'; column <= 'Z'; ++column) {
      address[0] = column;
      if (GetCell(address, value)) {
        ++cells;
        bytes += std::strlen(value);
      }
    }
  }
  auto done = std::chrono::steady_clock::now();
  CloseExcel();
  // The high-water mark of this program's own memory. (ru_maxrss would also count the image of
  // the parent process that this one was forked from before its exec.)
  long peakKib = 0;
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status))
      if (std::strncmp(line, "VmHWM:", 6) == 0) peakKib = std::atol(line + 6);
    std::fclose(status);
  }
  if (peakKib == 0) {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    peakKib = usage.ru_maxrss;
  }
  std::printf("seconds %.4f open_seconds %.4f cells %llu bytes %llu peak_kib %ld\n",
              std::chrono::duration<double>(done - start).count(),
              std::chrono::duration<double>(opened - start).count(), cells, bytes, peakKib);
  return 0;
}
