// CDialogEx: a dialog on a template, run modally by a message loop of its own so that message
// pre-translation sees every key (Escape included) before the dialog manager acts on it.
#pragma once
#include <functional>
#include <vector>

#include "framework/wnd.h"

class CDialogEx : public CWnd {
 public:
  explicit CDialogEx(UINT templateId, CWnd* parent = nullptr);
  ~CDialogEx() override;

  // Creates the dialog, runs it until EndDialog and returns the result; -1 when the dialog
  // could not be created.
  virtual INT_PTR DoModal();
  void EndDialog(int result);
  UINT TemplateId() const { return templateId_; }

 protected:
  // Control binding: BindControl for each member control.
  virtual void DoDataExchange() {}
  // Dialog initialisation; the base binds the controls. True lets the dialog manager set the focus.
  virtual BOOL OnInitDialog();
  // The dialog manager's keyboard handling (Tab, Enter, Escape).
  BOOL PreTranslateMessage(MSG* msg) override;
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

  void BindControl(int id, CWnd& control);

  // Routing by control identifier. A command route serves clicks (and the dialog manager's
  // Enter/Escape commands); a change route serves EN_CHANGE.
  void RouteCommand(UINT id, std::function<void()> handler);
  void RouteChange(UINT id, std::function<void()> handler);
  virtual bool OnCommand(UINT id, UINT code, HWND control);
  virtual void OnTimer(UINT_PTR) {}
  // nullptr: the default colours.
  virtual HBRUSH OnCtlColor(HDC, HWND, UINT) { return nullptr; }
  // True when handled; otherwise the default course.
  virtual bool OnSysCommand(UINT, LPARAM) { return false; }
  virtual bool OnPaint() { return false; }
  virtual HCURSOR OnQueryDragIcon() { return nullptr; }
  // Hands the request to the object bound to the control, when it draws itself.
  virtual void OnDrawItem(int id, DRAWITEMSTRUCT* item);
  // Any other message; true with *result when handled.
  virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  struct Route {
    UINT id;
    bool change;
    std::function<void()> handler;
  };
  UINT templateId_;
  CWnd* parent_;
  std::vector<Route> routes_;
  std::vector<CWnd*> bound_;
  bool ended_ = false;
  int result_ = -1;
};
