// CCButton: a push button that paints itself: a flat face, a centred one-line caption, a raised
// border and the focus and pressed cues. The control carries BS_OWNERDRAW from its template.
#pragma once
#include "framework/controls.h"

class CCButton : public CButton {
 public:
  CCButton();
  ~CCButton() override;
  const char* GetRuntimeClassName() const override { return "CCButton"; }

  void DrawItem(DRAWITEMSTRUCT* item) override;

  // Store the colour; the caller repaints.
  void SetCaptionColor(COLORREF color) { CaptionColor = color; }
  void SetFaceColor(COLORREF color) { FaceColor = color; }
  COLORREF GetCaptionColor() const { return CaptionColor; }
  COLORREF GetFaceColor() const { return FaceColor; }
  COLORREF GetDisabledCaptionColor() const { return DisabledCaptionColor; }

  void FillFace(HDC dc, const RECT& rect, COLORREF color);
  // `text` is Shift-JIS.
  void DrawCaption(HDC dc, const RECT& rect, COLORREF color, const char* text);

 private:
  COLORREF CaptionColor;
  COLORREF FaceColor;
  COLORREF DisabledCaptionColor;
};
