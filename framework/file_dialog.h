// The open-file common dialog, over the wide call; paths and filters outside it are Shift-JIS.
#pragma once
#include <windows.h>

#include <string>

// How the open-file dialog ended.
enum class FileDialogResult {
  kPicked,          // the chosen full path is in `path`
  kCancelled,       // the user cancelled, or the dialog could not be shown
  kNoShiftJisForm,  // the chosen path has characters that code page 932 cannot hold
};

// Shows the open-file dialog in explorer style, resizable and without the read-only box, owned
// by `owner` (may be null). `filter` is in the bar-separated notation ("Text(*.txt)|*.txt||");
// `initialFolder` may be null or empty for the system's own choice. A typed name of a file that
// does not exist is confirmed by a question and then returned as it is (nothing is created).
// `path` holds the chosen full path when the result is kPicked, and is empty otherwise.
FileDialogResult ShowOpenFileDialog(HWND owner, const char* filter, const char* initialFolder, std::string& path);
