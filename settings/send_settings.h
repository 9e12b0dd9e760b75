// The process-wide settings record: fifteen Shift-JIS texts, each in a fixed buffer whose size
// counts the terminating zero.
#pragma once

#include "platform/files.h"

struct SendSettingsRecord {
  char MailAddress[256];
  char LoginId[256];
  char Password[256];
  char SenderName[256];
  char SmtpServer[256];
  char SmtpPort[16];
  char MailTitle[256];
  char BodyFile[platform::kPathCapacity];
  char ListFile[platform::kPathCapacity];
  char SheetName[256];
  char MailColumn[8];
  char StartRow[8];
  char EndRow[8];
  char IntervalSeconds[8];
  char TestAddress[256];
};

extern SendSettingsRecord SendSettings;

// 1 for a real run (the built-in value), 0 for a test run; written before a run starts.
extern int SendMode;

// Set when an Escape key-down passed the main window's pre-translation; never cleared.
extern int EscapePressed;

// Puts the built-in values back: StartRow "2", EndRow "999", IntervalSeconds "4", all else empty.
void ResetSendSettings();

// The fifteen fields in line order of the settings file, with their capacities.
struct SettingsField {
  char* text;
  int capacity;
};
constexpr int kSettingsFieldCount = 15;
// Fills `fields` with the fifteen fields of `record` in file order.
void ListSettingsFields(SendSettingsRecord& record, SettingsField fields[kSettingsFieldCount]);
