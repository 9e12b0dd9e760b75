// Top-level windows of other programs and the processes behind them.
#pragma once
#include <windows.h>

// Room for a window title read for a search: UTF-16 units as the system gives it, and bytes of
// its Shift-JIS form; the terminator included in both.
constexpr int kWindowTitleCapacity = 260;

// Walks the top-level windows in the system's order and asks the first one of another process
// whose title (at most kWindowTitleCapacity - 1 bytes of its Shift-JIS form) contains `text`
// (Shift-JIS, case-sensitive, FindText) to close, through TerminateWindowProcess. Windows
// without a title are passed over; an empty or null text matches no window. True when a window
// was found.
bool TerminateByWindowTitle(const char* text);

// Asks the window to close (WM_CLOSE), so that its program can offer to save its work.
void TerminateWindowProcess(HWND window);
