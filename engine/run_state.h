// The two run flags shared by the window's thread and the run's worker thread.
#pragma once
#include <atomic>

struct RunStateRecord {
  std::atomic<int> Running{0};        // 1 while a send run lasts; written only by the run
  std::atomic<int> StopRequested{0};  // set by the stop command, cleared when a run starts
};

extern RunStateRecord RunState;
