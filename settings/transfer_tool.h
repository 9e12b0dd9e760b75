// The transfer tool that delivers each message file. "SMTP.exe" beside the program comes
// first; when it is not there, the curl that the system ships takes its place, since it
// accepts the same command line (on Windows %SystemRoot%\System32\curl.exe, present since
// Windows 10 1803; elsewhere /usr/bin/curl).
#pragma once

#include "settings/settings_texts.h"  // kTransferToolMissingMessage, shown when neither tool exists

// After BuildFileLocations: points FileLocations.ToolPath at the system's curl when "SMTP.exe"
// is missing and that curl exists. Otherwise ToolPath stays as it was built.
void ResolveTransferTool();

// True when FileLocations.ToolPath names an existing file.
bool TransferToolPresent();
