// The splash screen in this process: its window, picture, placement, region, progress bar,
// fades, timer and input filter; and a screenshot of it to build/splash.bmp.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "framework/wnd.h"
#include "resources/resource.h"
#include "tests/support/bitmap_canvas.h"
#include "widgets/splash_screen.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);

// Works through this thread's messages for `ms` milliseconds, and once more at the end: a
// thread held up by a busy machine still sees every timer that fell due in that time.
void PumpFor(DWORD ms) {
  DWORD end = GetTickCount() + ms;
  do {
    Sleep(10);
    PumpWaitingMessages();
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

RECT ClientRectIn(HWND child, HWND parent) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(Splash, CreateMakesAHiddenTopmostPopupWithItsProgressBar) {
  CSplashScreenEx splash;
  ASSERT_TRUE(splash.Create(nullptr, "", 2000, DropShadow | CenterOnScreen));
  HWND h = splash.m_hWnd;
  ASSERT_NE(h, nullptr);
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  EXPECT_STREQ(cls, L"SplashScreenExClass");
  EXPECT_EQ(GetWindowLongW(h, GWL_STYLE) & ~WS_CLIPSIBLINGS, static_cast<LONG>(WS_POPUP));
  EXPECT_EQ(GetWindowLongW(h, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
  EXPECT_EQ(static_cast<UINT>(GetClassLongPtrW(h, GCL_STYLE)) & (CS_DBLCLKS | CS_SAVEBITS), UINT(CS_DBLCLKS | CS_SAVEBITS));
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ(GetParent(h), nullptr);
  HWND bar = GetDlgItem(h, 1820);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar, splash.GetProgressBar());
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 40);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
  EXPECT_TRUE(GetWindowLongW(bar, GWL_STYLE) & PBS_SMOOTH);
  EXPECT_STREQ(splash.GetRuntimeClassName(), "CSplashScreenEx");
}

TEST(Splash, ShowsThePictureCentredWithTheBarInItsLowerPartAndHidesAgain) {
  CSplashScreenEx splash;
  ASSERT_TRUE(splash.Create(nullptr, nullptr, 0, DropShadow | CenterOnScreen));
  ASSERT_TRUE(splash.SetPicture(IDB_SPLASH, kWhite));
  EXPECT_EQ(splash.GetPictureWidth(), 255);
  EXPECT_EQ(splash.GetPictureHeight(), 255);
  EXPECT_EQ(splash.GetWindowLeft(), (GetSystemMetrics(SM_CXFULLSCREEN) - 255) / 2);
  EXPECT_EQ(splash.GetWindowTop(), (GetSystemMetrics(SM_CYFULLSCREEN) - 255) / 2);
  // White is no transparent colour: no region.
  EXPECT_EQ(splash.GetPictureRegion(), nullptr);
  HRGN probe = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(splash.m_hWnd, probe), ERROR);
  DeleteObject(probe);

  splash.Show();
  HWND h = splash.m_hWnd;
  EXPECT_TRUE(IsWindowVisible(h));
  RECT w;
  GetWindowRect(h, &w);
  EXPECT_EQ(w.left, splash.GetWindowLeft());
  EXPECT_EQ(w.top, splash.GetWindowTop());
  EXPECT_EQ(w.right - w.left, 255);
  EXPECT_EQ(w.bottom - w.top, 255);
  RECT bar = ClientRectIn(splash.GetProgressBar(), h);
  EXPECT_EQ(bar.left, 63);
  EXPECT_EQ(bar.top, 223);
  EXPECT_EQ(bar.right - bar.left, 127);
  EXPECT_EQ(bar.bottom - bar.top, 15);
  EXPECT_NE(GetForegroundWindow(), h);  // shown without activation

  for (int p = 0; p < 40; ++p) {
    splash.SetProgress(p);
    EXPECT_EQ(SendMessageW(splash.GetProgressBar(), PBM_GETPOS, 0, 0), p);
  }
  splash.SetProgress(10);
  PumpFor(300);
  // What the screen shows: the picture's turquoise at the corner, the bar in the lower part.
  BitmapCanvas shot(255, 255);
  shot.CopyFromScreen(w.left, w.top);
  shot.WriteBmp(BuildOutputPath(L"splash.bmp"));
  COLORREF corner = shot.At(3, 3);
  EXPECT_LT(GetRValue(corner), 100);
  EXPECT_GT(GetGValue(corner), 180);
  EXPECT_GT(GetBValue(corner), 180);

  splash.Hide();
  EXPECT_FALSE(IsWindowVisible(h));
  splash.Hide();  // already hidden: nothing changes
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_TRUE(IsWindow(h));  // hiding never destroys
}

TEST(Splash, ObjectDestructionTakesTheWindowAlong) {
  HWND h = nullptr, bar = nullptr;
  {
    CSplashScreenEx splash;
    ASSERT_TRUE(splash.Create(nullptr, "", 0, CenterOnScreen));
    h = splash.m_hWnd;
    bar = splash.GetProgressBar();
  }
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(IsWindow(bar));
}

TEST(Splash, MissingBitmapLeavesSizeAndPlaceAsTheyWere) {
  CSplashScreenEx splash;
  ASSERT_TRUE(splash.Create(nullptr, "", 0, CenterOnScreen));
  EXPECT_FALSE(splash.SetPicture(4242, kWhite));
  EXPECT_EQ(splash.GetPictureWidth(), 0);
  EXPECT_EQ(splash.GetWindowLeft(), 0);
  ASSERT_TRUE(splash.SetPicture(IDB_SPLASH, kWhite));
  int left = splash.GetWindowLeft();
  EXPECT_FALSE(splash.SetPicture(4242, kWhite));
  EXPECT_EQ(splash.GetPictureWidth(), 255);
  EXPECT_EQ(splash.GetWindowLeft(), left);
}

TEST(Splash, CentresOnTheParentUnlessCentringOnTheScreen) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 101, 51, 600, 401, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  CWnd parentObject;
  parentObject.Attach(parent);
  struct {
    unsigned style;
    int left, top;
  } cases[] = {
      {CenterOnParent, 101 + (600 - 255) / 2, 51 + (401 - 255) / 2},
      {CenterOnParent | CenterOnScreen, (GetSystemMetrics(SM_CXFULLSCREEN) - 255) / 2,
       (GetSystemMetrics(SM_CYFULLSCREEN) - 255) / 2},
      {0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    CSplashScreenEx splash;
    ASSERT_TRUE(splash.Create(&parentObject, "", 0, c.style));
    EXPECT_EQ(GetWindow(splash.m_hWnd, GW_OWNER), parent);
    ASSERT_TRUE(splash.SetPicture(IDB_SPLASH, kWhite));
    EXPECT_EQ(splash.GetWindowLeft(), c.left);
    EXPECT_EQ(splash.GetWindowTop(), c.top);
  }
  parentObject.Detach();
  DestroyWindow(parent);
}

TEST(Splash, TimeoutHidesTheWindowAndZeroStartsNoTimer) {
  for (unsigned timeout : {150u, 0u}) {
    SCOPED_TRACE(timeout);
    CSplashScreenEx splash;
    ASSERT_TRUE(splash.Create(nullptr, "", timeout, CenterOnScreen));
    ASSERT_TRUE(splash.SetPicture(IDB_SPLASH, kWhite));
    splash.Show();
    ASSERT_TRUE(IsWindowVisible(splash.m_hWnd));
    PumpFor(600);
    EXPECT_EQ(IsWindowVisible(splash.m_hWnd) != FALSE, timeout == 0);
  }
}

TEST(Splash, HideOnInputConsumesKeyAndButtonPresses) {
  const UINT presses[] = {WM_KEYDOWN,      WM_SYSKEYDOWN,   WM_LBUTTONDOWN,  WM_RBUTTONDOWN,
                          WM_MBUTTONDOWN,  WM_NCLBUTTONDOWN, WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN};
  for (bool hideOnInput : {true, false}) {
    for (UINT message : presses) {
      for (bool toBar : {false, true}) {
        SCOPED_TRACE(testing::Message() << "hideOnInput " << hideOnInput << " message " << message << " bar " << toBar);
        CSplashScreenEx splash;
        ASSERT_TRUE(splash.Create(nullptr, "", 0, CenterOnScreen | (hideOnInput ? unsigned(HideOnInput) : 0u)));
        ASSERT_TRUE(splash.SetPicture(IDB_SPLASH, kWhite));
        splash.Show();
        PostMessageW(toBar ? splash.GetProgressBar() : splash.m_hWnd, message, 0, 0);
        PumpWaitingMessages();
        EXPECT_EQ(IsWindowVisible(splash.m_hWnd) == FALSE, hideOnInput);
      }
    }
  }
  // Other messages pass.
  CSplashScreenEx splash;
  ASSERT_TRUE(splash.Create(nullptr, "", 0, CenterOnScreen | HideOnInput));
  ASSERT_TRUE(splash.SetPicture(IDB_SPLASH, kWhite));
  splash.Show();
  PostMessageW(splash.m_hWnd, WM_MOUSEMOVE, 0, 0);
  PostMessageW(splash.m_hWnd, WM_KEYUP, VK_SPACE, 0);
  PumpWaitingMessages();
  EXPECT_TRUE(IsWindowVisible(splash.m_hWnd));
}

// A bitmap from rows of characters: '.' transparent (magenta), anything else opaque.
HBITMAP BitmapFromRows(const std::vector<std::string>& rows, COLORREF transparent) {
  int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
  HDC screen = GetDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(screen, w, h);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bm);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPixel(dc, x, y, rows[y][x] == '.' ? transparent : RGB(10, 200, 30));
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bm;
}

TEST(Splash, PictureRegionHoldsExactlyTheOpaquePixels) {
  const COLORREF magenta = RGB(255, 0, 255);
  const std::vector<std::vector<std::string>> pictures = {
      {"..##..#.", "........", "#......#", ".######."},  // runs, an empty row, edge pixels
      {".......#", "........"},                          // one opaque pixel at the right edge
      {"........", "........"},                          // nothing opaque: empty region
      {std::string(300, '#')},                           // one long run
      // more than 128 runs: the rectangle store grows
      std::vector<std::string>(6, [] {
        std::string s;
        for (int i = 0; i < 40; ++i) s += "#.";
        return s;
      }()),
  };
  CSplashScreenEx splash;
  ASSERT_TRUE(splash.Create(nullptr, "", 0, 0));
  EXPECT_EQ(splash.BuildPictureRegion(nullptr, magenta), nullptr);
  for (const auto& rows : pictures) {
    SCOPED_TRACE(rows[0]);
    HBITMAP bm = BitmapFromRows(rows, magenta);
    HRGN rgn = splash.BuildPictureRegion(bm, magenta);
    ASSERT_NE(rgn, nullptr);
    bool any = false;
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
      for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
        bool opaque = rows[y][x] != '.';
        any = any || opaque;
        EXPECT_EQ(PtInRegion(rgn, x, y) != FALSE, opaque) << x << "," << y;
      }
    RECT box;
    EXPECT_EQ(GetRgnBox(rgn, &box) == NULLREGION, !any);
    DeleteObject(rgn);
    DeleteObject(bm);
  }
}

TEST(Splash, TransparentColourOtherThanWhiteCutsTheWindowToThePicture) {
  CSplashScreenEx splash;
  ASSERT_TRUE(splash.Create(nullptr, "", 0, CenterOnScreen));
  // The picture's own background colour, read from its corner.
  HBITMAP bm = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SPLASH));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bm);
  COLORREF background = GetPixel(dc, 0, 0);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bm);
  ASSERT_TRUE(splash.SetPicture(IDB_SPLASH, background));
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(splash.m_hWnd, rgn), ERROR);
  EXPECT_FALSE(PtInRegion(rgn, 0, 0));
  EXPECT_FALSE(PtInRegion(rgn, 254, 254));
  EXPECT_TRUE(PtInRegion(rgn, 120, 120));  // the laptop's screen
  DeleteObject(rgn);
}

}  // namespace

namespace {

// The resources the program is built with.
TEST(Resources, IconStringClipBitmapAndTemplatesAreThere) {
  HINSTANCE self = GetModuleHandleW(nullptr);
  HICON icon = LoadIconW(self, MAKEINTRESOURCEW(IDR_MAINFRAME));
  EXPECT_NE(icon, nullptr);
  wchar_t text[64] = {};
  EXPECT_GT(LoadStringW(self, IDS_ABOUTBOX, text, 64), 0);
  EXPECT_STREQ(text, L"Rowcaster\u306B\u3064\u3044\u3066(&A)...");
  HBITMAP bm = LoadBitmapW(self, MAKEINTRESOURCEW(IDB_SPLASH));
  ASSERT_NE(bm, nullptr);
  BITMAP info = {};
  GetObjectW(bm, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 255);
  EXPECT_EQ(info.bmHeight, 255);
  DeleteObject(bm);
  HRSRC dib = FindResourceW(self, MAKEINTRESOURCEW(IDB_SPLASH), reinterpret_cast<LPCWSTR>(RT_BITMAP));
  ASSERT_NE(dib, nullptr);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(self, dib)));
  EXPECT_EQ(header->biBitCount, 24);
  EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
  for (int id : {IDD_ABOUTBOX, IDD_ROWCASTER_DIALOG})
    EXPECT_NE(FindResourceW(self, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG)), nullptr) << id;
  // The clip opens in an animation control: six frames of 87 x 87.
  HRSRC clip = FindResourceW(self, MAKEINTRESOURCEW(IDR_RUN_ANIMATION), L"AVI");
  ASSERT_NE(clip, nullptr);
  const auto* riff = static_cast<const unsigned char*>(LockResource(LoadResource(self, clip)));
  ASSERT_NE(riff, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(riff), 4), "RIFF");
  const DWORD* avih = reinterpret_cast<const DWORD*>(riff + 32);  // after RIFF, AVI, LIST, hdrl, avih and its size
  EXPECT_EQ(avih[0], 100000u);                                     // 100 ms a frame
  EXPECT_EQ(avih[4], 6u);                                          // frames
  EXPECT_EQ(avih[8], 87u);
  EXPECT_EQ(avih[9], 87u);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, self, nullptr);
  HWND anim = CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD, 0, 0, 87, 87, parent, nullptr, self, nullptr);
  ASSERT_NE(anim, nullptr);
  EXPECT_NE(SendMessageW(anim, ACM_OPENW, reinterpret_cast<WPARAM>(self), reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(IDR_RUN_ANIMATION))), 0);
  DestroyWindow(parent);
}

}  // namespace
