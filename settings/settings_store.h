// The settings store: "Environ.def" (fifteen CR LF lines) and its scrambled form "Environ.psw".
#pragma once

// Start-up: unscramble "Environ.psw" into "Environ.def" (deleting the stored form on success),
// then read "Environ.def" into SendSettings. Line k feeds field k; a line longer than its
// field keeps what fits, cut between whole Shift-JIS characters.
void LoadSettings();

// The storage steps of save-and-exit: unless EscapePressed is 1, write SendSettings to
// "Environ.def"; then scramble it into "Environ.psw" and delete "Environ.def" on success.
// When "Environ.def" opened but did not take every byte, both files are left as they are.
// When it was written whole but could not be scrambled, it stays and an older "Environ.psw"
// is deleted, so that the next start reads the values written now.
void StoreSettings();

// Right after LoadSettings: "Environ.def", as start-up read it, is scrambled into
// "Environ.psw" at once and deleted on success, so that the password does not stand in plain
// text while the program runs. "Environ.psw" then holds the same bytes as before start-up
// when start-up took the values from it. Without a plain file (a first start) nothing is
// stored; a failed scramble leaves the plain file.
void StoreLoadedSettings();

// In place; its own inverse.
void ScrambleBytes(unsigned char* bytes, int length);

// Reads the whole source, scrambles it, writes the destination. 0 on success, -1 on failure
// (the destination then stays as it was: it is written beside under a temporary name and then
// moved into place; the source is never changed).
int ScrambleFile(const char* sourcePath, const char* destinationPath);
