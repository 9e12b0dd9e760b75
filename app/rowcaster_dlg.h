// The main window: shows and edits SendSettings, the clock, the run's status and progress.
#pragma once
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

// The open-file dialog with the filter of `keyword` ("xls", "txt" or any extension), owned by
// the main window. Returns the picked full path (Shift-JIS), or an empty text when cancelled or
// refused: a path that does not fit 259 bytes or has characters without a Shift-JIS form is
// refused with a message.
const char* PickFile(const char* initialFolder, const char* keyword);

// The clock text for a moment, formatted for the process's LC_TIME (Shift-JIS).
void FormatClock(const struct tm& moment, char* out, size_t size);

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
  // The options dialog from the system menu: reads "Options.def", shows it, writes it when
  // confirmed. Refused while a run lasts; a file that exists but cannot be read is reported.
  void OnOptions();
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
  // One edit bound to a SendSettings value (WTL's DDX_TEXT_LEN): a row of the window's table.
  struct BoundField {
    UINT id;                          // the control in the dialog template
    CEdit& control;                   // its member object
    char* value;                      // the SendSettings value it shows
    int readBack;                     // bytes read into the value on every change, terminator
                                      // included; 0: shown only, never read back
    UINT typingLimit;                 // bytes the user may type; 0: none set
    const char* whenEmpty = nullptr;  // shown at opening instead of an empty value
    const char* atLeast = nullptr;    // the least number the value keeps; below it, this text
    bool filledByChecks = false;      // the send commands may fill the value in
  };
  static constexpr int kBoundFieldCount = 10;

  void OnFieldChange(const BoundField& field);
  // The row of a bound control, or nullptr.
  const BoundField* BoundFieldOf(int id) const;
  void ShowClock();
  void ShowMessage(const char* text) const;
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
  // Binding, typing limits, opening, change handling, colours and the editing set walk it.
  const BoundField Fields[kBoundFieldCount];
  StatusFieldWindow RunStatus{StatusField};
  HANDLE runThread_ = nullptr;
};
