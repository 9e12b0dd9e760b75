// The settings store: "Environ.def" (fifteen CR LF lines) and its scrambled form "Environ.psw".
#pragma once

// Start-up: unscramble "Environ.psw" into "Environ.def" (deleting the stored form on success),
// then read "Environ.def" into SendSettings. Line k feeds field k; a line longer than its
// field keeps what fits, cut between whole Shift-JIS characters.
void LoadSettings();

// The storage steps of save-and-exit: unless EscapePressed is 1, write SendSettings to
// "Environ.def"; then scramble it into "Environ.psw" and delete "Environ.def" on success.
// When "Environ.def" opened but did not take every byte, both files are left as they are.
void StoreSettings();

// In place; its own inverse.
void ScrambleBytes(unsigned char* bytes, int length);

// Reads the whole source, scrambles it, writes the destination. 0 on success, -1 on failure
// (the destination then does not hold every byte; the source is never changed).
int ScrambleFile(const char* sourcePath, const char* destinationPath);
