// The send log "SendLogs.txt" at LogPath: one Shift-JIS line per message a real run handed to
// the transfer tool,
//   "<yyyy/mm/dd hh:mm:ss> 行番号[0002] タイトル[<title>] 送信先アドレス[<address>]" CR LF
// Lines are only ever appended.
#pragma once
#include <cstddef>

// Appends one line for the row; a log that cannot be opened loses the line silently. A CR or
// LF in the title or address is logged as a space, so that the line stays one line. True when
// the whole line was written.
bool AppendSendLog(int row, const char* title, const char* address);

// True when some line of the log holds exactly this title and exactly this address (CR and
// LF taken as spaces, as they are logged).
// The lines read are kept: each call reads only what was appended since the previous one
// (and starts afresh when the log was replaced by a shorter file or another LogPath).
bool IsAlreadySent(const char* title, const char* address);

// The same answer from a fresh read of the whole log, keeping nothing.
bool IsAlreadySentByFullScan(const char* title, const char* address);

// Forgets what IsAlreadySent has read.
void ResetSendLogCache();

// Takes the logged title and address out of one line (without its line end). Both are found
// by the line's fixed markers: the title runs from the first "タイトル[" to the last
// "] 送信先アドレス[", the address from there to the "]" that ends the line; the markers are
// matched at character boundaries only. False for a line without these markers.
bool ParseSendLogLine(const char* line, size_t length, const char** title, size_t* titleLength,
                      const char** address, size_t* addressLength);
