#include "widgets/splash_screen.h"

#include <cstdlib>
#include <cstring>

#include "platform/codepage.h"

namespace {
constexpr wchar_t kClassName[] = L"SplashScreenExClass";
constexpr UINT kProgressId = 1820;
}  // namespace

CSplashScreenEx::CSplashScreenEx() {
  LOGFONTW font = {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  TextFont = CreateFontIndirectW(&font);
}

CSplashScreenEx::~CSplashScreenEx() {
  // The owner destroys the object: the window goes on the way, without a second delete.
  destroyingFromOwner_ = true;
  if (SplashProgressBar.m_hWnd) {
    HWND bar = SplashProgressBar.Detach();
    ::DestroyWindow(bar);
  }
  if (m_hWnd) DestroyWindow();
  if (Picture) DeleteObject(Picture);
  if (TextFont) DeleteObject(TextFont);
}

void CSplashScreenEx::PostNcDestroy() {
  // A splash on the heap whose window was destroyed directly goes with its window.
  if (!destroyingFromOwner_) delete this;
}

bool CSplashScreenEx::Create(CWnd* parent, const char* text, unsigned timeoutMs, unsigned style) {
  ParentWindow = parent;
  Text = text ? text : "";
  TimeoutMs = timeoutMs;
  Style = style;

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS | CS_SAVEBITS | ((Style & DropShadow) ? CS_DROPSHADOW : 0);
  wc.lpfnWndProc = CWnd::StandardWindowProc;
  wc.hInstance = ProgramInstance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = kClassName;
  // A second splash in the process reuses the registration of the first.
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    wc.style &= ~static_cast<UINT>(CS_DROPSHADOW);
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  HWND owner = ParentWindow ? ParentWindow->m_hWnd : nullptr;
  if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP, 0, 0, 0, 0, owner, nullptr)) return false;
  RECT none = {0, 0, 0, 0};
  SplashProgressBar.Create(WS_CHILD | WS_VISIBLE | PBS_SMOOTH, none, this, kProgressId);
  SplashProgressBar.SetRange(0, 40);
  SplashProgressBar.SetStep(1);
  SplashProgressBar.SetPos(0);
  return true;
}

bool CSplashScreenEx::SetPicture(UINT bitmapId, COLORREF transparent) {
  if (Picture) {
    DeleteObject(Picture);
    Picture = nullptr;
  }
  Picture = LoadBitmapW(ProgramInstance(), MAKEINTRESOURCEW(bitmapId));
  if (!Picture) return false;
  BITMAP bm = {};
  GetObjectW(Picture, sizeof bm, &bm);
  PictureWidth = bm.bmWidth;
  PictureHeight = bm.bmHeight;
  TextRect = RECT{0, 0, PictureWidth, PictureHeight};
  if (Style & CenterOnScreen) {
    WindowLeft = (GetSystemMetrics(SM_CXFULLSCREEN) - PictureWidth) / 2;
    WindowTop = (GetSystemMetrics(SM_CYFULLSCREEN) - PictureHeight) / 2;
  } else if ((Style & CenterOnParent) && ParentWindow && ParentWindow->m_hWnd) {
    RECT r;
    ParentWindow->GetWindowRect(&r);
    WindowLeft = r.left + ((r.right - r.left) - PictureWidth) / 2;
    WindowTop = r.top + ((r.bottom - r.top) - PictureHeight) / 2;
  }
  if (transparent != RGB(255, 255, 255)) {
    PictureRegion = BuildPictureRegion(Picture, transparent);
    // Once set, the region belongs to the window.
    if (m_hWnd) SetWindowRgn(m_hWnd, PictureRegion, TRUE);
  }
  return true;
}

HRGN CSplashScreenEx::BuildPictureRegion(HBITMAP bitmap, COLORREF transparent) {
  if (!bitmap) return nullptr;
  BITMAP bm = {};
  GetObjectW(bitmap, sizeof bm, &bm);
  const int width = bm.bmWidth, height = bm.bmHeight;
  HDC windowDc = GetDC(m_hWnd);
  HDC memory = CreateCompatibleDC(windowDc);
  ReleaseDC(m_hWnd, windowDc);
  HGDIOBJ previous = SelectObject(memory, bitmap);

  size_t capacity = 128, count = 0;
  auto* rects = static_cast<RECT*>(std::calloc(capacity, sizeof(RECT)));
  bool ok = rects != nullptr;
  for (int y = height - 1; ok && y >= 0; --y) {
    int x = 0;
    while (ok && x < width) {
      while (x < width && GetPixel(memory, x, y) == transparent) ++x;
      if (x >= width) break;
      int x0 = x;
      while (x < width && GetPixel(memory, x, y) != transparent) ++x;
      if (count == capacity) {
        auto* grown = static_cast<RECT*>(std::calloc(capacity + 128, sizeof(RECT)));
        if (!grown) {
          ok = false;
          break;
        }
        std::memcpy(grown, rects, capacity * sizeof(RECT));
        std::free(rects);
        rects = grown;
        capacity += 128;
      }
      rects[count++] = RECT{x0, y, x, y + 1};
    }
  }
  SelectObject(memory, previous);
  DeleteDC(memory);

  HRGN result = CreateRectRgn(0, 0, 0, 0);
  for (size_t i = 0; i < count; ++i) {
    HRGN one = CreateRectRgnIndirect(&rects[i]);
    CombineRgn(result, result, one, RGN_OR);
    DeleteObject(one);
  }
  std::free(rects);
  return result;
}

void CSplashScreenEx::Show() {
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  SplashProgressBar.SetWindowPos(nullptr, PictureWidth / 4, PictureHeight - 32, PictureWidth / 2, 15, flags);
  SetWindowPos(nullptr, WindowLeft, WindowTop, PictureWidth, PictureHeight, flags);
  AnimateWindow(m_hWnd, 500, AW_BLEND);
  if (TimeoutMs != 0) SetTimer(0, TimeoutMs);
}

void CSplashScreenEx::Hide() { AnimateWindow(m_hWnd, 200, AW_BLEND | AW_HIDE); }

void CSplashScreenEx::SetProgress(int position) { SplashProgressBar.SetPos(position); }

void CSplashScreenEx::PaintSplash(HDC dc) {
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previousBitmap = SelectObject(memory, Picture);
  BitBlt(dc, 0, 0, PictureWidth, PictureHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previousBitmap);

  HGDIOBJ previousFont = SelectObject(dc, TextFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TextColor);
  std::wstring w = platform::Cp932ToWide(Text.c_str());
  RECT r = TextRect;
  DrawTextW(dc, w.c_str(), -1, &r, TextFormat);
  SelectObject(dc, previousFont);
  DeleteDC(memory);
}

LRESULT CSplashScreenEx::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      PaintSplash(dc);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintSplash(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_TIMER:
      Hide();
      return 0;
    default:
      return Default(message, wParam, lParam);
  }
}

BOOL CSplashScreenEx::PreTranslateMessage(MSG* msg) {
  if (!(Style & HideOnInput)) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      Hide();
      return TRUE;
    default:
      return FALSE;
  }
}
