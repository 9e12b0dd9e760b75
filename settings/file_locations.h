// The six full paths fixed at start-up and only read afterwards (Shift-JIS, 260-byte buffers).
#pragma once

#include "platform/files.h"

struct FileLocationsRecord {
  char ToolPath[platform::kPathCapacity];            // "SMTP.exe" beside the executable
  char EditorPath[platform::kPathCapacity];          // "sakura.exe" beside the executable
  char MessagePath[platform::kPathCapacity];         // "SendMail.txt" in the data folder
  char LogPath[platform::kPathCapacity];             // "SendLogs.txt" in the data folder
  char SettingsPath[platform::kPathCapacity];        // "Environ.def" in the data folder
  char StoredSettingsPath[platform::kPathCapacity];  // "Environ.psw" in the data folder
  // Beside the six: the options beyond the main window's settings, and the journal of the
  // deliveries a real run has begun but not yet logged (their Message-IDs).
  char OptionsPath[platform::kPathCapacity];         // "Options.def" in the data folder
  char JournalPath[platform::kPathCapacity];         // "SendJournal.txt" in the data folder
};

extern FileLocationsRecord FileLocations;

// Fills FileLocations in its fixed order (creating the data folder on the way).
void BuildFileLocations();
