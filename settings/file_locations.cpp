#include "settings/file_locations.h"

#include <cstring>

#include "text/sjis_text.h"
#include "settings/data_folder.h"

FileLocationsRecord FileLocations = {};

namespace {

// "folder" + separator + "name" into a 260-byte buffer. A result that would not fit, or a
// folder that is not known (empty), leaves the path empty rather than naming another file.
void JoinPath(char* out, const char* folder, const char* name) {
  out[0] = '\0';
  size_t folderLength = std::strlen(folder);
  size_t nameLength = std::strlen(name);
  if (folderLength == 0 || folderLength + 1 + nameLength + 1 > kPathCapacity) return;
  std::memcpy(out, folder, folderLength);
  out[folderLength] = kPathSeparator;
  std::memcpy(out + folderLength + 1, name, nameLength + 1);
}

void JoinDataPath(char* out, const char* name) { JoinPath(out, GetDataFolder("Rowcaster"), name); }
}  // namespace

void BuildFileLocations() {
  const char* modulePath = GetModulePath();
  // The module folder lives in DirectoryPart's shared buffer; an unknown module path gives
  // empty tool paths, never ones relative to the root.
  const char* moduleFolder = *modulePath ? DirectoryPart(modulePath) : "";
  JoinPath(FileLocations.ToolPath, moduleFolder, "SMTP.exe");
  JoinPath(FileLocations.EditorPath, moduleFolder, "sakura.exe");
  JoinDataPath(FileLocations.MessagePath, "SendMail.txt");
  JoinDataPath(FileLocations.LogPath, "SendLogs.txt");
  JoinDataPath(FileLocations.SettingsPath, "Environ.def");
  JoinDataPath(FileLocations.StoredSettingsPath, "Environ.psw");
  JoinDataPath(FileLocations.OptionsPath, "Options.def");
  JoinDataPath(FileLocations.JournalPath, "SendJournal.txt");
}
