#include "framework/dialog.h"

#include "framework/controls.h"
#include "framework/win_app.h"

namespace {

void CenterDialog(HWND dialog) {
  RECT area;
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT r;
  GetWindowRect(dialog, &r);
  int x = area.left + ((area.right - area.left) - (r.right - r.left)) / 2;
  int y = area.top + ((area.bottom - area.top) - (r.bottom - r.top)) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

CDialogEx::CDialogEx(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialogEx::~CDialogEx() {
  if (m_hWnd) {
    HWND h = m_hWnd;
    ::DestroyWindow(h);
  }
}

INT_PTR CDialogEx::DoModal() {
  HWND owner = parent_ ? parent_->m_hWnd : nullptr;
  if (!owner) {
    CWnd* main = CWinApp::MainWindow();
    if (main && main != this && main->m_hWnd && ::IsWindowEnabled(main->m_hWnd)) owner = main->m_hWnd;
  }
  ended_ = false;
  result_ = -1;
  HWND h = CreateDialogParamW(ProgramInstance(), MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                              reinterpret_cast<LPARAM>(this));
  if (!h) return -1;
  if (owner) ::EnableWindow(owner, FALSE);
  if (!ended_ && !::IsWindowVisible(h)) ::ShowWindow(h, SW_SHOWNORMAL);
  MSG msg;
  while (!ended_) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (!PreTranslateThroughWindows(&msg, h)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (owner) {
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
  }
  if (m_hWnd) ::DestroyWindow(m_hWnd);
  return result_;
}

void CDialogEx::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
  PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wakes the loop
}

BOOL CDialogEx::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

BOOL CDialogEx::PreTranslateMessage(MSG* msg) {
  if (!m_hWnd) return FALSE;
  return IsDialogMessageW(m_hWnd, msg);
}

void CDialogEx::BindControl(int id, CWnd& control) {
  if (control.m_hWnd) return;
  if (control.Attach(::GetDlgItem(m_hWnd, id))) bound_.push_back(&control);
}

void CDialogEx::RouteCommand(UINT id, std::function<void()> handler) {
  routes_.push_back(Route{id, false, std::move(handler)});
}

void CDialogEx::RouteChange(UINT id, std::function<void()> handler) {
  routes_.push_back(Route{id, true, std::move(handler)});
}

bool CDialogEx::OnCommand(UINT id, UINT code, HWND control) {
  bool change = control && code == EN_CHANGE;
  bool click = code == BN_CLICKED || (!control && code <= 1);
  for (const Route& r : routes_) {
    if (r.id == id && r.change == change && (change || click)) {
      r.handler();
      return true;
    }
  }
  if (click && id == IDOK) {
    OnOK();
    return true;
  }
  if (click && id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

void CDialogEx::OnDrawItem(int id, DRAWITEMSTRUCT* item) {
  CWnd* w = CWnd::FromHandlePermanent(item->hwndItem);
  auto* button = dynamic_cast<CButton*>(w);
  if (button && button->GetDlgCtrlID() == id) button->DrawItem(item);
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialogEx*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->Attach(hwnd);
    RECT before;
    ::GetWindowRect(hwnd, &before);
    INT_PTR focusByManager = self->OnInitDialog();
    RECT after;
    ::GetWindowRect(hwnd, &after);
    // A dialog that its initialisation did not place comes up centred over its owner or the screen.
    if (EqualRect(&before, &after)) CenterDialog(hwnd);
    return focusByManager;
  }
  auto* self = reinterpret_cast<CDialogEx*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self || self->m_hWnd != hwnd) return FALSE;
  if (message == WM_NCDESTROY) {
    for (CWnd* c : self->bound_)
      if (c->m_hWnd) c->Detach();
    self->bound_.clear();
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->Detach();
    self->PostNcDestroy();
    return FALSE;
  }
  return self->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialogEx::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                                  message - WM_CTLCOLORMSGBOX));
    case WM_SYSCOMMAND:
      if (OnSysCommand(static_cast<UINT>(wParam), lParam)) {
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_DRAWITEM:
      OnDrawItem(static_cast<int>(wParam), reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
      return TRUE;
    default: {
      LRESULT result = 0;
      if (OnMessage(message, wParam, lParam, &result)) {
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
      }
      return FALSE;
    }
  }
}
