// Holds Wine's desktop for one session of scripts/wine-session.sh.
//
// Wine starts its desktop process (explorer.exe /desktop) on demand, from the first program
// that needs the desktop, and hands it that program's standard error; it closes the desktop
// one second after the last program has left it. A test program that happened to start the
// desktop therefore left its output open in the desktop process for as long as any other
// program of the session kept the desktop in use, and CTest, which waits for the end of a
// test's output, counted that test as running until its time limit.
//
// This program starts the desktop with the session's own quiet handles, prints "ready", and
// keeps the desktop in use until its standard input ends (the session closes it when it ends).
#include <windows.h>

#include <cstdio>

int main() {
  int status = 1;
  if (GetDesktopWindow() != nullptr) {
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char buffer[64];
    DWORD got = 0;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    status = 0;
  }
  return status;
}
