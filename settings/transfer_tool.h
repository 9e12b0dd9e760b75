// The transfer tool that delivers each message file. "SMTP.exe" beside the program comes
// first; when it is not there, the curl that the system ships takes its place, since it
// accepts the same command line (on Windows %SystemRoot%\System32\curl.exe, present since
// Windows 10 1803; elsewhere /usr/bin/curl).
#pragma once
#include <string>

#include "settings/settings_texts.h"  // kTransferToolMissingMessage, shown when neither tool exists

// After BuildFileLocations: points FileLocations.ToolPath at the system's curl when "SMTP.exe"
// is missing and that curl exists. Otherwise ToolPath stays as it was built.
void ResolveTransferTool();

// True when FileLocations.ToolPath names an existing file.
bool TransferToolPresent();

// The option that makes the tool's certificate check bear with revocation servers it cannot
// reach (often so behind company proxies; Windows' Schannel would otherwise refuse every
// certificate), or nullptr where none is needed. On Windows "--ssl-revoke-best-effort" (curl
// 7.70 and later: "SMTP.exe", built from Debian's curl) for every tool but the system's
// curl.exe, which may be as old as 7.55.1 (Windows 10 1803) and gets "--ssl-no-revoke" (curl
// 7.44 and later) instead; the chain and the host name are still checked. Elsewhere the tool
// uses OpenSSL, which does not ask revocation servers: nullptr.
const char* RevocationOption();

// The file of certificate authorities that the tool is to trust in place of its own: the one
// that curl's CURL_CA_BUNDLE environment variable names (code page 932), or empty. curl built on
// OpenSSL reads the variable itself; curl built on Windows' Schannel ("SMTP.exe", the system's
// curl.exe) ignores it and takes such a file only as "--cacert FILE", so the send run hands it on
// in that form to every tool.
std::string CaBundleFile();
