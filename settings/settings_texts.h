// The settings layer's user texts.
#pragma once

#include "text/catalogue.h"

#define ROWCASTER_SETTINGS_TEXTS(X) \
  X(kTransferToolMissingMessage, "メール送信ツール（SMTP.exe または curl.exe）が見つかりません。メール送信はしません。", "\x83\x81\x81[\x83\x8B\x91\x97\x90M\x83" "c\x81[\x83\x8B\x81iSMTP.exe \x82\xDC\x82\xBD\x82\xCD curl.exe\x81j\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81" "B\x83\x81\x81[\x83\x8B\x91\x97\x90M\x82\xCD\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81" "B")

ROWCASTER_SETTINGS_TEXTS(ROWCASTER_TEXT_CONSTANT)

// Every entry, for the test that checks the Shift-JIS column against the UTF-8 one.
inline constexpr CatalogueText kSettingsTexts[] = {ROWCASTER_SETTINGS_TEXTS(ROWCASTER_TEXT_ENTRY)};
