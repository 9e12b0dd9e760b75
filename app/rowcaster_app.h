// The application object: start-up in its fixed order, the splash screen, the main window's
// modal run; the process ends with it.
#pragma once
#include "framework/win_app.h"

class CRowcasterApp : public CWinApp {
 public:
  BOOL InitInstance() override;
  void ShowSplashScreen();
};

extern CRowcasterApp theApp;
