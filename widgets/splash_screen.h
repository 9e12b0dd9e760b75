// CSplashScreenEx: a borderless topmost picture window with a progress bar along its lower
// part, faded in and out with AnimateWindow.
#pragma once
#include <string>

#include "framework/controls.h"

enum SplashStyle : unsigned {
  DropShadow = 4,       // the window class gets CS_DROPSHADOW
  CenterOnScreen = 8,   // SetPicture centres the window on the screen
  CenterOnParent = 16,  // SetPicture centres it on ParentWindow (CenterOnScreen wins)
  HideOnInput = 32,     // a key or mouse-button press meant for the splash hides it
};

class CSplashScreenEx : public CWnd {
 public:
  CSplashScreenEx();
  ~CSplashScreenEx() override;
  const char* GetRuntimeClassName() const override { return "CSplashScreenEx"; }

  // `text` is Shift-JIS (nullptr for none). Creates the hidden popup and its progress bar.
  bool Create(CWnd* parent, const char* text, unsigned timeoutMs, unsigned style);
  // Loads the bitmap resource, sizes and places the window, and cuts it to the picture's shape
  // unless `transparent` is white.
  bool SetPicture(UINT bitmapId, COLORREF transparent);
  void Show();
  void Hide();
  void SetProgress(int position);

  // The union of one-row rectangles of the pixels that differ from `transparent`.
  HRGN BuildPictureRegion(HBITMAP bitmap, COLORREF transparent);
  void PaintSplash(HDC dc);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void PostNcDestroy() override;

  // What the tests look at.
  int GetPictureWidth() const { return PictureWidth; }
  int GetPictureHeight() const { return PictureHeight; }
  int GetWindowLeft() const { return WindowLeft; }
  int GetWindowTop() const { return WindowTop; }
  unsigned GetStyle() const { return Style; }
  HWND GetProgressBar() const { return SplashProgressBar.m_hWnd; }
  HRGN GetPictureRegion() const { return PictureRegion; }

 private:
  CWnd* ParentWindow = nullptr;
  HBITMAP Picture = nullptr;
  HFONT TextFont = nullptr;
  HRGN PictureRegion = nullptr;
  unsigned Style = 0;
  unsigned TimeoutMs = 0;
  std::string Text;
  RECT TextRect = {0, 0, 0, 0};
  unsigned TextFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  COLORREF TextColor = RGB(0, 0, 0);
  CProgressCtrl SplashProgressBar;
  int PictureWidth = 0;
  int PictureHeight = 0;
  int WindowLeft = 0;
  int WindowTop = 0;
  bool destroyingFromOwner_ = false;
};
