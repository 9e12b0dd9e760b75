// The controls the program uses: each a window handle plus the calls made on it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "framework/wnd.h"

class CButton : public CWnd {
 public:
  const char* GetRuntimeClassName() const override { return "CButton"; }
  // Owner-drawn buttons paint here; the owner hands its WM_DRAWITEM to the button object.
  virtual void DrawItem(DRAWITEMSTRUCT*) {}
  // A check box's state: BST_UNCHECKED, BST_CHECKED (or BST_INDETERMINATE).
  int GetCheck() const;
  void SetCheck(int state) const;
};

class CEdit : public CWnd {
 public:
  const char* GetRuntimeClassName() const override { return "CEdit"; }
  // Typing limit in bytes of the Shift-JIS form: typed and pasted characters that would make the
  // text longer are refused. Text the program sets is not cut.
  void SetLimitText(UINT bytes);
  UINT GetLimitText() const;
};

// A combo box; item texts are Shift-JIS outside the control.
class CComboBox : public CWnd {
 public:
  const char* GetRuntimeClassName() const override { return "CComboBox"; }
  // Appends an item (the list is not sorted unless the control's style says so); returns its
  // index, or CB_ERR.
  int AddString(const char* text) const;
  // Selects an item; -1 selects none. Returns the index, or CB_ERR for an index out of range.
  int SetCurSel(int index) const;
  // The selected item's index, or CB_ERR (-1) when none is selected.
  int GetCurSel() const;
  int GetCount() const;
};

class CProgressCtrl : public CWnd {
 public:
  const char* GetRuntimeClassName() const override { return "CProgressCtrl"; }
  bool Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetRange(short lower, short upper) const;
  void SetStep(int step) const;
  int SetPos(int position) const;
  int GetPos() const;
  COLORREF SetBarColor(COLORREF color) const;
};

class CAnimateCtrl : public CWnd {
 public:
  const char* GetRuntimeClassName() const override { return "CAnimateCtrl"; }
  bool Open(UINT resourceId) const;
  bool Play(UINT from, UINT to, UINT repeat) const;
  bool Stop() const;
  bool Close() const;
};

// A status bar along the bottom of its parent; panes are laid out from their widths, a
// stretching pane taking what the others leave.
class CStatusBar : public CWnd {
 public:
  static constexpr UINT kStretch = 0x0800;  // pane style: takes the width the others leave

  const char* GetRuntimeClassName() const override { return "CStatusBar"; }
  bool Create(CWnd* parent, DWORD style, UINT id);
  bool SetIndicators(const UINT* ids, int count);
  void SetPaneInfo(int index, UINT id, UINT style, int width);
  bool SetPaneText(int index, const char* text) const;
  COLORREF SetBkColor(COLORREF color) const;
  // Follows the parent's client width and recomputes the pane edges.
  void Reposition();
  UINT GetItemID(int index) const;

 private:
  struct Pane {
    UINT id;
    UINT style;
    int width;
  };
  std::vector<Pane> panes_;
};
