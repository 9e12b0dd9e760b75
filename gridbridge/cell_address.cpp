#include "gridbridge/cell_address.h"


namespace gridbridge {

bool ParseCellAddress(const char* address, int* column, int* row) {
  if (!address || address[0] < 'A' || address[0] > 'Z') return false;
  const char* p = address + 1;
  if (*p < '1' || *p > '9') return false;  // no row, or a leading zero
  long number = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (++digits > 6) return false;
    number = number * 10 + (*p - '0');
  }
  if (*p != '\0') return false;
  *column = address[0] - 'A';
  *row = static_cast<int>(number);
  return true;
}

bool ParseCellReference(const char* text, size_t len, long* column, long* row) {
  size_t i = 0;
  if (i < len && text[i] == '$') ++i;
  long col = 0;
  size_t letters = 0;
  for (; i < len; ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') break;
    if (++letters > 3) return false;  // past XFD
    col = col * 26 + (c - 'A' + 1);
  }
  if (i < len && text[i] == '$') ++i;
  long number = 0;
  size_t digits = 0;
  for (; i < len && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (++digits > 9) return false;
    number = number * 10 + (text[i] - '0');
  }
  if (i != len || (letters == 0 && digits == 0)) return false;
  *column = letters ? col - 1 : -1;
  *row = number;
  return true;
}

}  // namespace gridbridge
