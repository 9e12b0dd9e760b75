// The main window: shows and edits SendSettings, the clock, the run's status and progress.
#pragma once
#include <string>
#include <vector>

#include "engine/run_window.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "widgets/color_button.h"

// Process-wide objects of the main window; they outlive it.
extern CCButton SendButton;
extern CProgressCtrl* ProgressBar;
extern int StartRowFixing;

struct WindowBrushes {
  HBRUSH White, LightGrey, LightBlue, Navy, Lime;
};
extern const WindowBrushes Brushes;

constexpr UINT_PTR kClockTimer = 999;
constexpr UINT_PTR kRunWatchTimer = 888;

// The credit line of status-bar pane 0 (Shift-JIS).
extern const char kCreditText[];
// The open-file dialog with the filter of `keyword` ("xls", "txt" or any extension). Returns the
// picked full path (Shift-JIS), or an empty text when cancelled or refused: a path that does not
// fit 259 bytes or has characters without a Shift-JIS form is refused with a message.
const char* PickFile(const char* initialFolder, const char* keyword);
// Runs a program with its argument list (quoted so that each argument arrives whole), shown
// as it would show itself, and waits for its end. The exit code, or -1 when it did not start.
int RunVisibleAndWait(const std::vector<std::string>& arguments);

// The shell's "open" verb on a Shift-JIS path.
void ShellOpen(const char* path);

// The clock text for a moment, formatted for the process's LC_TIME (Shift-JIS).
void FormatClock(const struct tm& moment, char* out, size_t size);

// Finds the first top-level window of another process whose title contains `text` (Shift-JIS)
// and asks it to close. An empty text matches no window. True when one was found.
bool TerminateByWindowTitle(const char* text);
// Asks the window to close (WM_CLOSE), so that its program can offer to save its work.
void TerminateWindowProcess(HWND window);

// The send run's window: the status field and the progress bar, reached by synchronous
// messages from the run's thread.
class StatusFieldWindow : public RunWindow {
 public:
  explicit StatusFieldWindow(CEdit& field) : field_(field) {}
  void ShowStatus(const char* line) override { field_.SetWindowText(line); }
  void SetProgress(int position) override {
    if (ProgressBar) ProgressBar->SetPos(position);
  }

 private:
  CEdit& field_;
};

class CAboutDlg : public CDialogEx {
 public:
  CAboutDlg();
};

class CRowcasterDlg : public CDialogEx {
 public:
  explicit CRowcasterDlg(CWnd* parent = nullptr);

  void EnableEditingControls(int enable);
  void SaveSettingsAndExit();
  void OnSmtpSettings();
  void OnSend();
  void OnTestSend();
  void OnStop();
  bool ValidateSendInputs(int testRun);
  void StartSendRun();
  // True from the start of a run until its thread has ended (the workbook closed).
  bool RunActive() const;
  void OnPickBodyFile();
  void OnPickListFile();
  void OnEditBody();
  void OnEditList();
  void OnViewLog();

 protected:
  void DoDataExchange() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnInitDialog() override;

  void OnTimer(UINT_PTR id) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
  bool OnSysCommand(UINT id, LPARAM lParam) override;
  bool OnPaint() override;
  HCURSOR OnQueryDragIcon() override;
  // The dialog manager's Enter and Escape go to the routed commands 1 and 2, not to the base.
  void OnOK() override {}
  void OnCancel() override { SaveSettingsAndExit(); }

 private:
  void BindValue(CEdit& field, int id, char* value, int readBack);
  void OnStartRowChange();
  void ShowClock();
  void ShowMessage(const char* utf8Text) const;
  void OnRunWatchTimer();
  void RestoreAfterRun();

  HICON m_hIcon;
  CAnimateCtrl RunAnimation;
  CStatusBar StatusBar;
  CEdit MailAddressField, MailTitleField, BodyFileField, ListFileField, SheetNameField, MailColumnField,
      StartRowField, EndRowField, IntervalField, TestAddressField, StatusField;
  CButton StopButton, LogButton, EditBodyButton, EditListButton;
  CProgressCtrl RunProgress;
  CButton ExitButton, SmtpButton, PickBodyButton, PickListButton;
  StatusFieldWindow RunStatus{StatusField};
  HANDLE runThread_ = nullptr;
};
