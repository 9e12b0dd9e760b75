// The recipient sheet: row 1 names the fields, each a placeholder "{name}"; every further row
// is one recipient whose cells fill the placeholders of the title and of the message.
#pragma once
#include <cstddef>

struct PlaceholderEntry {
  char ColumnText[4];          // the column letter, e.g. "A"
  char PlaceholderText[256];   // "{" + header text + "}"; empty when the header is too long
};

// Placeholders in column order, A first; built at the start of a run, emptied at its end.
extern int PlaceholderCount;

// Appends a copy of the entry (nullptr is ignored). Ends the process with "SYSTEM RESOURCE
// EMPTY!" when no memory can be had.
void AppendPlaceholder(const PlaceholderEntry* entry);
// Unlinks and releases the entry at the 0-based index; an index past the end does nothing.
void RemovePlaceholder(int index);
// The entry at the index, or nullptr.
const PlaceholderEntry* GetPlaceholder(int index);
// Removes every entry.
void ClearPlaceholders();

// The cell of the current row in MailColumn, trimmed as every cell is and then of the tabs and
// ideographic spaces around it (TrimAddress), or empty; set by MergeRow.
extern char RowAddress[256];

// Builds the placeholder list from row 1: columns A, B, ... up to the first one without a
// value (at most A to Z).
void ScanHeaderRow();

// True when every placeholder column of the row is empty after trimming (and with no
// placeholders at all).
bool RowIsEmpty(int row);

// The trimmed value of the row's cell in `column` (a letter "A" to "Z"), read as the merge reads
// cells, whatever row 1 holds; empty for an empty or unreadable cell or another column text.
void ReadColumnCell(const char* column, int row, char value[256]);

// Fills the text's placeholders in place with the row's trimmed cells, in column order, and
// sets RowAddress. The text lives in a buffer of `capacity` bytes. 0 on success; -1 when a
// filled value would not fit (the text is then partly filled and must not be used).
int MergeRow(int row, char* text, size_t capacity);

// Replaces every occurrence of `pattern` in `text` (a buffer of `capacity` bytes) with
// `replacement`, searching one character at a time and never inside a replacement just made.
// Returns the number of replacements, or -1 when the next one would not fit (the text then
// holds the replacements made so far).
int ReplaceAll(char* text, size_t capacity, const char* pattern, const char* replacement);
