#include "settings/send_settings.h"

#include <cstring>

SendSettingsRecord SendSettings = {};
int SendMode = 1;
int EscapePressed = 0;

namespace {
// The built-in values are in place before any code of the program runs.
struct BuiltInValues {
  BuiltInValues() { ResetSendSettings(); }
} gBuiltInValues;
}  // namespace

void ResetSendSettings() {
  std::memset(&SendSettings, 0, sizeof SendSettings);
  std::strcpy(SendSettings.StartRow, "2");
  std::strcpy(SendSettings.EndRow, "999");
  std::strcpy(SendSettings.IntervalSeconds, "4");
}

void ListSettingsFields(SendSettingsRecord& r, SettingsField f[kSettingsFieldCount]) {
  SettingsField all[kSettingsFieldCount] = {
      {r.MailAddress, sizeof r.MailAddress}, {r.LoginId, sizeof r.LoginId},
      {r.Password, sizeof r.Password},       {r.SenderName, sizeof r.SenderName},
      {r.SmtpServer, sizeof r.SmtpServer},   {r.SmtpPort, sizeof r.SmtpPort},
      {r.MailTitle, sizeof r.MailTitle},     {r.BodyFile, sizeof r.BodyFile},
      {r.ListFile, sizeof r.ListFile},       {r.SheetName, sizeof r.SheetName},
      {r.MailColumn, sizeof r.MailColumn},   {r.StartRow, sizeof r.StartRow},
      {r.EndRow, sizeof r.EndRow},           {r.IntervalSeconds, sizeof r.IntervalSeconds},
      {r.TestAddress, sizeof r.TestAddress},
  };
  for (int i = 0; i < kSettingsFieldCount; ++i) f[i] = all[i];
}
