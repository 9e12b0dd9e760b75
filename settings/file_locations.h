// The six full paths fixed at start-up and only read afterwards (Shift-JIS, 260-byte buffers).
#pragma once

struct FileLocationsRecord {
  char ToolPath[260];            // "SMTP.exe" beside the executable
  char EditorPath[260];          // "sakura.exe" beside the executable
  char MessagePath[260];         // "SendMail.txt" in the data folder
  char LogPath[260];             // "SendLogs.txt" in the data folder
  char SettingsPath[260];        // "Environ.def" in the data folder
  char StoredSettingsPath[260];  // "Environ.psw" in the data folder
};

extern FileLocationsRecord FileLocations;

// Fills FileLocations in its fixed order (creating the data folder on the way).
void BuildFileLocations();
