#include "tests/support/engine_run_support.h"

#include <cstdio>

#include "engine/send_run.h"
#include "platform/files.h"
#include "settings/file_locations.h"
#include "tests/support/engine_test_support.h"

std::string PointRunInto(const std::string& folder) {
  auto put = [](char* field, const std::string& path) {
    std::snprintf(field, platform::kPathCapacity, "%s", path.c_str());
  };
  put(FileLocations.ToolPath, EchoToolPath());
  put(FileLocations.MessagePath, folder + "/SendMail.txt");
  put(FileLocations.LogPath, folder + "/SendLogs.txt");
  put(FileLocations.OptionsPath, folder + "/Options.def");
  put(FileLocations.JournalPath, folder + "/SendJournal.txt");
  std::string echo = folder + "/echo.bin";
  SetEnv("ROWCASTER_ECHO_OUT", echo);
  SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "");
  SetEnv("ROWCASTER_ECHO_FAIL_CODE", "");
  SendRunPauses.IntervalStepMs = 0;
  SendRunPauses.SkipPauseMs = 0;
  return echo;
}
