#include "engine/placeholder_merge.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/mail_address.h"
#include "text/sjis_text.h"
#include "gridbridge/gridbridge.h"
#include "platform/alert.h"
#include "settings/send_settings.h"

int PlaceholderCount = 0;
char RowAddress[256];

namespace {

struct PlaceholderNode {
  PlaceholderEntry* entry;
  PlaceholderNode* next;
};

PlaceholderNode* gFirst = nullptr;

// One cell of a data row, trimmed; an unreadable or empty cell gives an empty value.
void ReadRowCell(const char* column, int row, char value[256]) {
  char address[16];
  std::snprintf(address, sizeof address, "%s%d", column, row);
  value[0] = '\0';
  GetCell(address, value);
  value[255] = '\0';
  TrimField(value);
}

void ReadRowCell(const PlaceholderEntry& entry, int row, char value[256]) { ReadRowCell(entry.ColumnText, row, value); }

}  // namespace

void ReadColumnCell(const char* column, int row, char value[256]) {
  value[0] = '\0';
  if (!column || column[0] < 'A' || column[0] > 'Z' || column[1] != '\0') return;
  ReadRowCell(column, row, value);
}

void AppendPlaceholder(const PlaceholderEntry* entry) {
  if (!entry) return;
  PlaceholderNode* node = static_cast<PlaceholderNode*>(std::malloc(sizeof(PlaceholderNode)));
  PlaceholderEntry* copy = static_cast<PlaceholderEntry*>(std::malloc(sizeof(PlaceholderEntry)));
  if (!node || !copy) platform::FailWithSystemMessage("SYSTEM RESOURCE EMPTY!", "SYSTEM ERROR!");
  std::memcpy(copy, entry, sizeof(PlaceholderEntry));
  node->entry = copy;
  node->next = nullptr;
  PlaceholderNode** link = &gFirst;
  while (*link) link = &(*link)->next;
  *link = node;
  ++PlaceholderCount;
}

void RemovePlaceholder(int index) {
  if (index < 0) return;
  PlaceholderNode** link = &gFirst;
  for (int i = 0; *link && i < index; ++i) link = &(*link)->next;
  PlaceholderNode* node = *link;
  if (!node) return;
  *link = node->next;
  std::free(node->entry);
  std::free(node);
  --PlaceholderCount;
}

const PlaceholderEntry* GetPlaceholder(int index) {
  if (index < 0) return nullptr;
  PlaceholderNode* node = gFirst;
  for (int i = 0; node && i < index; ++i) node = node->next;
  return node ? node->entry : nullptr;
}

void ClearPlaceholders() {
  for (int n = PlaceholderCount; n > 0; --n) RemovePlaceholder(0);
}

void ScanHeaderRow() {
  for (char column = 'A'; column <= 'Z'; ++column) {
    char address[8];
    char value[256];
    std::snprintf(address, sizeof address, "%c1", column);
    value[0] = '\0';
    if (GetCell(address, value) == 0) break;
    value[255] = '\0';
    PlaceholderEntry entry;
    std::memset(&entry, 0, sizeof entry);
    std::snprintf(entry.ColumnText, sizeof entry.ColumnText, "%c", column);
    // A header text of more than 253 bytes has no placeholder that fits: its column still
    // counts for the empty-row test and the address, but fills nothing.
    size_t length = std::strlen(value);
    if (length + 3 <= sizeof entry.PlaceholderText) {
      entry.PlaceholderText[0] = '{';
      std::memcpy(entry.PlaceholderText + 1, value, length);
      entry.PlaceholderText[length + 1] = '}';
      entry.PlaceholderText[length + 2] = '\0';
    }
    AppendPlaceholder(&entry);
  }
}

bool RowIsEmpty(int row) {
  for (PlaceholderNode* node = gFirst; node; node = node->next) {
    char value[256];
    ReadRowCell(*node->entry, row, value);
    if (value[0]) return false;
  }
  return true;
}

int MergeRow(int row, char* text, size_t capacity) {
  RowAddress[0] = '\0';
  int result = 0;
  int count = PlaceholderCount;
  PlaceholderNode* node = gFirst;
  for (int i = 0; i < count && node; ++i, node = node->next) {
    char value[256];
    ReadRowCell(*node->entry, row, value);
    if (ReplaceAll(text, capacity, node->entry->PlaceholderText, value) < 0) result = -1;
    if (std::strcmp(node->entry->ColumnText, SendSettings.MailColumn) == 0) {
      std::memcpy(RowAddress, value, sizeof RowAddress);
      TrimAddress(RowAddress);
    }
  }
  return result;
}

int ReplaceAll(char* text, size_t capacity, const char* pattern, const char* replacement) {
  if (!text || !pattern || !*pattern) return 0;
  if (!replacement) replacement = "";
  size_t patternLength = std::strlen(pattern);
  size_t replacementLength = std::strlen(replacement);
  size_t textLength = std::strlen(text);
  int count = 0;
  char* found = FindText(text, pattern);
  while (found) {
    size_t at = static_cast<size_t>(found - text);
    if (replacementLength != patternLength) {
      if (replacementLength > patternLength &&
          textLength + (replacementLength - patternLength) + 1 > capacity)
        return -1;
      // The rest of the text, terminating zero included, moves by the difference.
      std::memmove(found + replacementLength, found + patternLength, textLength - at - patternLength + 1);
      textLength = textLength - patternLength + replacementLength;
    }
    std::memcpy(found, replacement, replacementLength);
    ++count;
    found = FindText(found + replacementLength, pattern);
  }
  return count;
}
