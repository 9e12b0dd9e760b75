#include "engine/mail_address.h"

#include "text/sjis_text.h"

bool IsUsableAddress(const char* address) {
  if (!address || !*address || !FindChar(address, '@')) return false;
  // None of the refused bytes can be the second byte of a double-byte character (those are
  // 0x40 and above), so a plain byte scan is exact.
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(address); *p; ++p) {
    unsigned char c = *p;
    if (c < 0x20 || c == 0x7F || c == ' ' || c == '"' || c == '<' || c == '>' || c == ',') return false;
  }
  return true;
}
