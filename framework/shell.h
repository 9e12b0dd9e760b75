// The shell's verbs and the system's own programs, over the wide calls; paths outside them are
// Shift-JIS.
#pragma once
#include <string>

// Asks the shell to perform its "open" verb on the path (no owner window, no parameters, no
// working folder, the normal show state); the application the shell associates with the file
// opens it. The result is not looked at.
void ShellOpen(const char* path);

// The full path of the system's own text editor (notepad.exe in the Windows folder), or its bare
// name when the Windows folder cannot be told.
std::string SystemTextEditorPath();
