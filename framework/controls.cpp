#include "framework/controls.h"

#include <string>

#include "platform/codepage.h"

namespace {

constexpr UINT_PTR kByteLimitSubclass = 0x4c494d54;

// Bytes of the Shift-JIS form of a piece of UTF-16 text; a character without one counts as "?".
size_t Cp932Bytes(const wchar_t* text, size_t length) {
  return platform::WideToCp932(std::wstring(text, length).c_str()).size();
}

size_t BytesOutsideSelection(HWND edit) {
  int n = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(edit, &text[0], n + 1);
  text.resize(static_cast<size_t>(n > 0 ? n : 0));
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (end > text.size()) end = static_cast<DWORD>(text.size());
  if (start > end) start = end;
  text.erase(start, end - start);
  return Cp932Bytes(text.data(), text.size());
}

// The longest head of `text` (up to its first line end) whose Shift-JIS form fits `room` bytes.
std::wstring FittingHead(const std::wstring& text, size_t room) {
  std::wstring head;
  size_t used = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' || text[i] == L'\n') break;
    size_t unit = 1;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size()) unit = 2;
    size_t bytes = Cp932Bytes(&text[i], unit);
    if (used + bytes > room) break;
    head.append(text, i, unit);
    used += bytes;
    i += unit - 1;
  }
  return head;
}

LRESULT CALLBACK ByteLimitProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR limit) {
  if (message == WM_CHAR && wParam >= 0x20 && wParam != 0x7F) {
    wchar_t c = static_cast<wchar_t>(wParam);
    // The low half of a surrogate pair follows its high half, which already counted.
    size_t bytes = (c >= 0xDC00 && c <= 0xDFFF) ? 0 : Cp932Bytes(&c, 1);
    if (BytesOutsideSelection(edit) + bytes > limit) {
      MessageBeep(MB_OK);
      return 0;
    }
  } else if (message == WM_PASTE) {
    std::wstring clip;
    if (OpenClipboard(edit)) {
      HANDLE h = GetClipboardData(CF_UNICODETEXT);
      if (h) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
          clip = p;
          GlobalUnlock(h);
        }
      }
      CloseClipboard();
    }
    size_t used = BytesOutsideSelection(edit);
    std::wstring head = FittingHead(clip, used < limit ? limit - used : 0);
    if (head.size() < clip.size() && head.size() < clip.find_first_of(L"\r\n")) MessageBeep(MB_OK);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(head.c_str()));
    return 0;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(edit, ByteLimitProc, kByteLimitSubclass);
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void CEdit::SetLimitText(UINT bytes) {
  if (!m_hWnd) return;
  // A character takes at least one byte, so the control's own limit in characters is an
  // upper bound; the subclass holds the bytes.
  SendMessage(EM_SETLIMITTEXT, bytes);
  SetWindowSubclass(m_hWnd, ByteLimitProc, kByteLimitSubclass, bytes);
}

UINT CEdit::GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }

int CButton::GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
void CButton::SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }

int CComboBox::AddString(const char* text) const {
  std::wstring w = platform::Cp932ToWide(text ? text : "");
  return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str())));
}
int CComboBox::SetCurSel(int index) const { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
int CComboBox::GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
int CComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }

bool CProgressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (m_hWnd || !parent || !parent->m_hWnd) return false;
  HWND h = CreateWindowExW(0, PROGRESS_CLASSW, L"", style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent->m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                           ProgramInstance(), nullptr);
  return h && Attach(h);
}
void CProgressCtrl::SetRange(short lower, short upper) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
void CProgressCtrl::SetStep(int step) const { SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step)); }
int CProgressCtrl::SetPos(int position) const { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
int CProgressCtrl::GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
COLORREF CProgressCtrl::SetBarColor(COLORREF color) const {
  return static_cast<COLORREF>(SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(color)));
}

bool CAnimateCtrl::Open(UINT resourceId) const {
  return SendMessage(ACM_OPENW, reinterpret_cast<WPARAM>(ProgramInstance()),
                     reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(resourceId))) != 0;
}
bool CAnimateCtrl::Play(UINT from, UINT to, UINT repeat) const {
  return SendMessage(ACM_PLAY, repeat, MAKELPARAM(from, to)) != 0;
}
bool CAnimateCtrl::Stop() const { return SendMessage(ACM_STOP) != 0; }
bool CAnimateCtrl::Close() const { return SendMessage(ACM_OPENW, 0, 0) != 0; }

bool CStatusBar::Create(CWnd* parent, DWORD style, UINT id) {
  if (m_hWnd || !parent || !parent->m_hWnd) return false;
  HWND h = CreateWindowExW(0, STATUSCLASSNAMEW, L"", style | WS_CHILD, 0, 0, 0, 0, parent->m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ProgramInstance(), nullptr);
  return h && Attach(h);
}

bool CStatusBar::SetIndicators(const UINT* ids, int count) {
  if (count <= 0 || count > 255) return false;
  panes_.clear();
  for (int i = 0; i < count; ++i) panes_.push_back(Pane{ids[i], 0, 0});
  Reposition();
  return true;
}

void CStatusBar::SetPaneInfo(int index, UINT id, UINT style, int width) {
  if (index < 0 || index >= static_cast<int>(panes_.size())) return;
  panes_[static_cast<size_t>(index)] = Pane{id, style, width};
  Reposition();
}

UINT CStatusBar::GetItemID(int index) const {
  if (index < 0 || index >= static_cast<int>(panes_.size())) return 0;
  return panes_[static_cast<size_t>(index)].id;
}

void CStatusBar::Reposition() {
  if (!m_hWnd || panes_.empty()) return;
  SendMessage(WM_SIZE, 0, 0);  // the bar follows its parent's width
  RECT client;
  GetClientRect(&client);
  int total = client.right - client.left;
  int fixed = 0;
  for (const Pane& p : panes_)
    if (!(p.style & kStretch)) fixed += p.width;
  std::vector<int> edges;
  int x = 0;
  for (const Pane& p : panes_) {
    x += (p.style & kStretch) ? (total - fixed > 0 ? total - fixed : 0) : p.width;
    edges.push_back(x);
  }
  edges.back() = -1;  // the last pane reaches the right edge
  SendMessage(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

bool CStatusBar::SetPaneText(int index, const char* text) const {
  std::wstring w = platform::Cp932ToWide(text ? text : "");
  return SendMessage(SB_SETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(w.c_str())) != 0;
}

COLORREF CStatusBar::SetBkColor(COLORREF color) const {
  return static_cast<COLORREF>(SendMessage(SB_SETBKCOLOR, 0, static_cast<LPARAM>(color)));
}
