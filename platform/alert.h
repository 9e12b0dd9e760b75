// The one fatal message of the system: shown to whoever is there, then the process ends.
#pragma once

namespace platform {
// Shows `text` under `caption` (a message box with an OK button on Windows, standard error
// elsewhere) and ends the process with exit code 1.
[[noreturn]] void FailWithSystemMessage(const char* text, const char* caption);
}  // namespace platform
