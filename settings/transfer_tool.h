// The transfer tool that delivers each message file. "SMTP.exe" beside the program comes
// first; when it is not there, the curl that the system ships takes its place, since it
// accepts the same command line (on Windows %SystemRoot%\System32\curl.exe, present since
// Windows 10 1803; elsewhere /usr/bin/curl).
#pragma once

// After BuildFileLocations: points FileLocations.ToolPath at the system's curl when "SMTP.exe"
// is missing and that curl exists. Otherwise ToolPath stays as it was built.
void ResolveTransferTool();

// True when FileLocations.ToolPath names an existing file.
bool TransferToolPresent();

// The Shift-JIS message shown when neither tool exists:
// "メール送信ツール（SMTP.exe または curl.exe）が見つかりません。メール送信はしません。"
extern const char kTransferToolMissingMessage[];
