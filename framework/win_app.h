// CWinApp: the one application object of the process and its entry.
#pragma once
#include "framework/wnd.h"

class CWinApp {
 public:
  CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // The framework's own initialisation (the common controls); true to go on to Run.
  virtual BOOL InitInstance();
  // The application message loop, entered only when InitInstance returns true.
  virtual int Run();
  // The process's exit status.
  virtual int ExitInstance() { return exitCode_; }

  // The main window reference; dialogs without a parent are owned by it.
  CWnd* m_pMainWnd = nullptr;

  static CWinApp* Current();
  static CWnd* MainWindow();

 private:
  int exitCode_ = 0;
};

// The process entry: InitInstance, Run when it asks for it, then ExitInstance.
int RunApplication();
