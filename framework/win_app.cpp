#include "framework/win_app.h"

#include <commctrl.h>

namespace {
CWinApp* gApplication = nullptr;
}

CWinApp::CWinApp() { gApplication = this; }

CWinApp::~CWinApp() {
  if (gApplication == this) gApplication = nullptr;
}

CWinApp* CWinApp::Current() { return gApplication; }

CWnd* CWinApp::MainWindow() { return gApplication ? gApplication->m_pMainWnd : nullptr; }

BOOL CWinApp::InitInstance() {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  return TRUE;
}

int CWinApp::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!PreTranslateThroughWindows(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  exitCode_ = static_cast<int>(msg.wParam);
  return exitCode_;
}

int RunApplication() {
  CWinApp* app = CWinApp::Current();
  if (!app) return 1;
  if (app->InitInstance()) app->Run();
  return app->ExitInstance();
}
