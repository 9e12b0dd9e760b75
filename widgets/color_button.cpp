#include "widgets/color_button.h"

#include <string>

#include "platform/codepage.h"

CCButton::CCButton() : CaptionColor(RGB(0, 0, 0)), FaceColor(RGB(200, 200, 200)), DisabledCaptionColor(RGB(255, 255, 255)) {}

CCButton::~CCButton() = default;

void CCButton::FillFace(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void CCButton::DrawCaption(HDC dc, const RECT& rect, COLORREF color, const char* text) {
  COLORREF previous = SetTextColor(dc, color);
  SetBkMode(dc, TRANSPARENT);
  std::wstring w = platform::Cp932ToWide(text ? text : "");
  RECT r = rect;
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetTextColor(dc, previous);
}

void CCButton::DrawItem(DRAWITEMSTRUCT* item) {
  HDC dc = item->hDC;
  RECT r = item->rcItem;
  UINT state = item->itemState;
  RECT focus = {r.left + 4, r.top + 4, r.right - 4, r.bottom - 4};
  // The caption is read afresh on every paint: it may have changed since the last one.
  std::string caption;
  if (item->hwndItem) {
    int n = GetWindowTextLengthW(item->hwndItem);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    n = ::GetWindowTextW(item->hwndItem, &w[0], n + 1);
    w.resize(static_cast<size_t>(n > 0 ? n : 0));
    caption = platform::WideToCp932(w.c_str());
  }
  FillFace(dc, r, FaceColor);
  DrawCaption(dc, r, CaptionColor, caption.c_str());
  DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  if (state & ODS_FOCUS) {
    if (state & ODS_SELECTED) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    DrawFocusRect(dc, &focus);
  } else if (state & ODS_DISABLED) {
    DrawCaption(dc, r, DisabledCaptionColor, caption.c_str());
  }
}
