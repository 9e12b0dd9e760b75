#include "app/rowcaster_app.h"

#include "app/rowcaster_dlg.h"
#include "resources/resource.h"
#include "settings/file_locations.h"
#include "settings/transfer_tool.h"
#include "settings/settings_store.h"
#include "widgets/splash_screen.h"

CRowcasterApp theApp;

BOOL CRowcasterApp::InitInstance() {
  CWinApp::InitInstance();
  BuildFileLocations();
  ResolveTransferTool();
  // The settings stay scrambled on disk: the password must not stand in plain text while the
  // window is open, nor after a process that was killed. Save-and-exit writes them afresh.
  LoadStoredSettings();
  CRowcasterDlg dialog;
  m_pMainWnd = &dialog;
  ShowSplashScreen();
  dialog.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

void CRowcasterApp::ShowSplashScreen() {
  CSplashScreenEx splash;
  // The main window does not exist yet, so the popup has no owner.
  splash.Create(m_pMainWnd, "", 2000, DropShadow | CenterOnScreen);
  splash.SetPicture(IDB_SPLASH, RGB(255, 255, 255));
  splash.Show();
  for (int position = 0; position < 40; ++position) {
    splash.SetProgress(position);
    Sleep(10);
  }
  // A quarter of the bar while the window fades out.
  splash.SetProgress(10);
  splash.Hide();
}
