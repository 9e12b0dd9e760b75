// What a send run needs of its window: a status line and a progress position.
#pragma once

class RunWindow {
 public:
  virtual ~RunWindow() = default;
  // Replaces the whole status text with one Shift-JIS line.
  virtual void ShowStatus(const char* line) = 0;
  // The ordinal of the row being worked on (1 for the first row of the range).
  virtual void SetProgress(int position) = 0;
};
