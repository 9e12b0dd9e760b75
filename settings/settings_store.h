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

// The window's start-up: fills SendSettings as LoadSettings does, without the password ever
// standing in plain text on disk. A stored form that can be read is unscrambled in memory and
// stays as it is, byte for byte; a plain "Environ.def" beside it is deleted (the stored form
// wins). Without one, a plain "Environ.def" left from before (a crash of an older version, a
// failed scramble) is read and then scrambled into "Environ.psw" at once and deleted (it stays
// when the scramble fails). A first start finds nothing and stores nothing.
void LoadStoredSettings();

// In place; its own inverse.
void ScrambleBytes(unsigned char* bytes, int length);

// Reads the whole source, scrambles it, writes the destination. 0 on success, -1 on failure
// (the destination then stays as it was: it is written beside under a temporary name and then
// moved into place; the source is never changed).
int ScrambleFile(const char* sourcePath, const char* destinationPath);
