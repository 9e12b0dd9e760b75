// The program's Japanese texts are written here in UTF-8 and handed on in Shift-JIS.
#pragma once
#include <string>

#include "platform/codepage.h"

inline std::string Sjis(const char* utf8) { return platform::Utf8ToCp932(utf8, std::char_traits<char>::length(utf8)); }

// Message box captions.
constexpr char kMainCaptionUtf8[] = u8"一括メール送信";
constexpr char kSmtpCaptionUtf8[] = u8"送信メール設定";
