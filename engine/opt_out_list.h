// The opt-out list (OptOutFile): addresses that must not be mailed, one a line. A run reads it
// once at its set-up; each row's address is looked up in it.
#pragma once

// LoadOptOutList results.
constexpr int kOptOutLoaded = 0;
constexpr int kOptOutUnreadable = -1;  // the file is missing or cannot be read (a folder, no permission)

// Reads the list at `path` (Shift-JIS), replacing the one held; an empty path holds no list. The
// file may be UTF-8 with or without a byte order mark, UTF-16 with its byte order mark, or
// Shift-JIS (what is not well-formed UTF-8). Lines may end with CR LF, LF or CR; blank lines
// and spaces and tabs around an address are ignored. A file that holds zero bytes without a
// UTF-16 byte order mark is of no such form and counts as unreadable. On kOptOutUnreadable the
// list is empty.
int LoadOptOutList(const char* path);

// True when the address (Shift-JIS) is in the list, ASCII letters compared without regard to
// case.
bool IsOptedOut(const char* address);

// Forgets the list.
void ClearOptOutList();
