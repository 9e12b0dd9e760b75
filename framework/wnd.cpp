#include "framework/wnd.h"

#include <commctrl.h>

#include <unordered_map>

#include "text/sjis_text.h"
#include "platform/codepage.h"

namespace {

// Objects bound to windows of this (the user-interface) thread.
std::unordered_map<HWND, CWnd*>& HandleMap() {
  static std::unordered_map<HWND, CWnd*> map;
  return map;
}

constexpr UINT_PTR kSubclassId = 0x52574e44;  // one subclass per window

}  // namespace

HINSTANCE ProgramInstance() { return GetModuleHandleW(nullptr); }

CWnd::~CWnd() {
  if (m_hWnd && ownClass_) {
    DestroyWindow();
  } else if (m_hWnd) {
    if (subclassed_) RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
    Forget();
  }
}

void CWnd::Forget() {
  if (m_hWnd) {
    auto it = HandleMap().find(m_hWnd);
    if (it != HandleMap().end() && it->second == this) HandleMap().erase(it);
  }
  m_hWnd = nullptr;
  subclassed_ = false;
  ownClass_ = false;
}

bool CWnd::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd) return false;
  m_hWnd = hwnd;
  HandleMap()[hwnd] = this;
  return true;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (h && subclassed_) RemoveWindowSubclass(h, SubclassProc, kSubclassId);
  Forget();
  return h;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (!Attach(hwnd)) return false;
  if (!SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    Forget();
    return false;
  }
  subclassed_ = true;
  return true;
}

bool CWnd::SubclassDlgItem(int id, CWnd* parent) {
  if (!parent || !parent->m_hWnd) return false;
  return SubclassWindow(::GetDlgItem(parent->m_hWnd, id));
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  auto it = HandleMap().find(hwnd);
  return it == HandleMap().end() ? nullptr : it->second;
}

bool CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const char* title, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU idOrMenu) {
  if (m_hWnd) return false;
  std::wstring wideTitle = platform::Cp932ToWide(title ? title : "");
  HWND h = CreateWindowExW(exStyle, className, wideTitle.c_str(), style, x, y, width, height, parent, idOrMenu,
                           ProgramInstance(), this);
  return h != nullptr && m_hWnd == h;
}

bool CWnd::DestroyWindow() {
  if (!m_hWnd) return false;
  HWND h = m_hWnd;
  if (!ownClass_) {
    Detach();
    return ::DestroyWindow(h) != FALSE;
  }
  return ::DestroyWindow(h) != FALSE;  // WM_NCDESTROY forgets the handle
}

LRESULT CALLBACK CWnd::StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* self = FromHandlePermanent(hwnd);
  if (!self && message == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<CWnd*>(cs->lpCreateParams);
    if (self) {
      self->m_hWnd = hwnd;
      self->ownClass_ = true;
      HandleMap()[hwnd] = self;
    }
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  LRESULT result = self->WindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->Forget();
    self->PostNcDestroy();
  }
  return result;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CWnd*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
    LRESULT r = DefSubclassProc(hwnd, message, wParam, lParam);
    if (self->m_hWnd == hwnd) self->Forget();
    self->PostNcDestroy();
    return r;
  }
  return self->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

LRESULT CWnd::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  if (subclassed_) return DefSubclassProc(m_hWnd, message, wParam, lParam);
  return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::SetWindowText(const char* text) {
  if (!m_hWnd) return;
  std::wstring w = platform::Cp932ToWide(text ? text : "");
  ::SetWindowTextW(m_hWnd, w.c_str());
}

std::string CWnd::GetWindowText() const {
  if (!m_hWnd) return std::string();
  int n = GetWindowTextLengthW(m_hWnd);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0) + 1, L'\0');
  int got = ::GetWindowTextW(m_hWnd, &w[0], n + 1);
  w.resize(static_cast<size_t>(got > 0 ? got : 0));
  return platform::WideToCp932(w.c_str());
}

int CWnd::GetWindowText(char* out, int size) const {
  if (!out || size <= 0) return 0;
  std::string s = GetWindowText();
  return static_cast<int>(CopyWhole(out, s.c_str(), static_cast<size_t>(size)));
}

bool CWnd::EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE) != FALSE; }
bool CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
bool CWnd::ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command) != FALSE; }
bool CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
bool CWnd::IsIconic() const { return ::IsIconic(m_hWnd) != FALSE; }
HWND CWnd::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(m_hWnd, message, wParam, lParam);
}
bool CWnd::SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags) const {
  return ::SetWindowPos(m_hWnd, insertAfter, x, y, width, height, flags) != FALSE;
}
bool CWnd::RedrawWindow(const RECT* rect, HRGN region, UINT flags) const {
  return ::RedrawWindow(m_hWnd, rect, region, flags) != FALSE;
}
UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse) const { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
bool CWnd::KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id) != FALSE; }
void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
HMENU CWnd::GetSystemMenu(bool revert) const { return ::GetSystemMenu(m_hWnd, revert ? TRUE : FALSE); }
HICON CWnd::SetIcon(HICON icon, bool big) const {
  return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}
int CWnd::MessageBox(const char* text, const char* caption, UINT type) const {
  std::wstring t = platform::Cp932ToWide(text ? text : "");
  std::wstring c = platform::Cp932ToWide(caption ? caption : "");
  return ::MessageBoxW(m_hWnd, t.c_str(), c.c_str(), type);
}

bool PreTranslateThroughWindows(MSG* msg, HWND last) {
  for (HWND h = msg->hwnd; h; h = GetParent(h)) {
    CWnd* w = CWnd::FromHandlePermanent(h);
    if (w && w->PreTranslateMessage(msg)) return true;
    if (h == last) break;
  }
  return false;
}

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!PreTranslateThroughWindows(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}
