// CWnd: a window handle and the calls the program makes on it. Texts cross the Win32 boundary
// through the wide calls; outside it they are Shift-JIS (code page 932).
#pragma once
#include <windows.h>

#include <string>

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd();

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  virtual const char* GetRuntimeClassName() const { return "CWnd"; }

  // Binds the object to an existing window without changing the window's procedure.
  bool Attach(HWND hwnd);
  HWND Detach();
  // Binds the object and routes the window's messages through WindowProc.
  bool SubclassWindow(HWND hwnd);
  bool SubclassDlgItem(int id, CWnd* parent);
  static CWnd* FromHandlePermanent(HWND hwnd);

  // A window of a class registered with StandardWindowProc; its messages reach WindowProc.
  bool CreateEx(DWORD exStyle, const wchar_t* className, const char* title, DWORD style, int x, int y,
                int width, int height, HWND parent, HMENU idOrMenu);
  bool DestroyWindow();

  void SetWindowText(const char* text);
  // Copies at most size - 1 bytes of the Shift-JIS text, never half a double-byte character.
  int GetWindowText(char* out, int size) const;
  std::string GetWindowText() const;

  bool EnableWindow(bool enable) const;
  bool IsWindowEnabled() const;
  bool ShowWindow(int command) const;
  bool IsWindowVisible() const;
  bool IsIconic() const;
  HWND GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  bool SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags) const;
  bool RedrawWindow(const RECT* rect, HRGN region, UINT flags) const;
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse) const;
  bool KillTimer(UINT_PTR id) const;
  void GetClientRect(RECT* rect) const;
  void GetWindowRect(RECT* rect) const;
  HMENU GetSystemMenu(bool revert) const;
  HICON SetIcon(HICON icon, bool big) const;
  int MessageBox(const char* text, const char* caption, UINT type) const;

  // Messages of a window that StandardWindowProc or a subclass routes to this object.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Offered every queued message for this window or its children before it is dispatched;
  // true consumes it.
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Called after the window has received its last message.
  virtual void PostNcDestroy() {}

  static LRESULT CALLBACK StandardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  void Forget();
  bool subclassed_ = false;
  bool ownClass_ = false;
};

// Offers a message to the PreTranslateMessage of each object on the way from its window up
// through the parents; stops after `last` when it is given. True when one consumed it.
bool PreTranslateThroughWindows(MSG* msg, HWND last = nullptr);

// Takes every waiting message from the queue, pre-translates and dispatches it.
void PumpWaitingMessages();

// The module of the program (its resources).
HINSTANCE ProgramInstance();
