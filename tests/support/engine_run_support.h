// A send run's surroundings for the engine's run tests (they link the engine itself).
#pragma once
#include <string>

// Points a run's files into `folder` (the stand-in tool; SendMail.txt, SendLogs.txt,
// Options.def, SendJournal.txt), has the stand-in record its calls in folder/echo.bin and refuse
// nothing, and takes the pauses out. Returns the record file's path.
std::string PointRunInto(const std::string& folder);
