// The colour button's painting, drawn into a memory bitmap and read back pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/bitmap_canvas.h"
#include "widgets/color_button.h"

namespace {

constexpr int kW = 140, kH = 60;
const COLORREF kFace = RGB(0, 90, 20);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);

class ColorButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A real button window, never shown: DrawItem reads the caption from it.
    button_ = CreateWindowExW(0, L"BUTTON", L"", WS_POPUP | BS_OWNERDRAW, 0, 0, kW, kH, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(button_, nullptr);
    font_ = CreateFontW(-22, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, L"MS UI Gothic");
    SelectObject(canvas_.dc(), font_);
  }
  void TearDown() override {
    DestroyWindow(button_);
    DeleteObject(font_);
  }
  void Paint(CCButton& b, const wchar_t* caption, UINT state) {
    SetWindowTextW(button_, caption);
    canvas_.Fill(RGB(1, 2, 3));
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = 1;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = button_;
    dis.hDC = canvas_.dc();
    dis.rcItem = RECT{0, 0, kW, kH};
    b.DrawItem(&dis);
  }
  // The inside of the button, clear of the borders and the focus rectangle.
  int Inside(COLORREF c) const { return canvas_.Count(c, 6, 6, kW - 6, kH - 6); }
  bool FocusRectangleDrawn(COLORREF face) const {
    for (int x = 5; x < kW - 5; ++x)
      if (canvas_.At(x, 4) != face) return true;
    return false;
  }

  HWND button_ = nullptr;
  HFONT font_ = nullptr;
  BitmapCanvas canvas_{kW, kH};
};

TEST_F(ColorButtonTest, StartsWithItsBuiltInColoursAndStoresNewOnes) {
  CCButton b;
  EXPECT_EQ(b.GetCaptionColor(), RGB(0, 0, 0));
  EXPECT_EQ(b.GetFaceColor(), RGB(200, 200, 200));
  EXPECT_EQ(b.GetDisabledCaptionColor(), RGB(255, 255, 255));
  b.SetFaceColor(kFace);
  b.SetCaptionColor(RGB(10, 20, 30));
  EXPECT_EQ(b.GetFaceColor(), kFace);
  EXPECT_EQ(b.GetCaptionColor(), RGB(10, 20, 30));
  EXPECT_EQ(b.GetDisabledCaptionColor(), RGB(255, 255, 255));
}

struct StateCase {
  const char* name;
  UINT state;
  bool sunken;        // the sunken border over the raised one
  bool focusRect;     // dotted rectangle 4 pixels inside
  COLORREF shown;     // the caption colour that ends up on the face
  COLORREF absent;    // a caption colour that must not be there
};

TEST_F(ColorButtonTest, PaintsFaceBorderCaptionAndCuesForEachState) {
  const StateCase cases[] = {
      {"released", 0, false, false, kBlack, kWhite},
      {"pressed without focus", ODS_SELECTED, false, false, kBlack, kWhite},
      {"focused", ODS_FOCUS, false, true, kBlack, kWhite},
      {"focused and pressed", ODS_FOCUS | ODS_SELECTED, true, true, kBlack, kWhite},
      {"disabled", ODS_DISABLED, false, false, kWhite, kBlack},
      {"disabled with focus keeps the focus cues", ODS_DISABLED | ODS_FOCUS, false, true, kBlack, kWhite},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.name);
    CCButton b;
    b.SetFaceColor(kFace);
    b.SetCaptionColor(kBlack);
    Paint(b, L"\u9001\u4FE1\u5B9F\u884C", c.state);  // 送信実行
    // The face fills the whole button away from the caption.
    EXPECT_EQ(canvas_.At(8, kH / 2), kFace);
    EXPECT_EQ(canvas_.At(kW - 9, kH / 2), kFace);
    EXPECT_GT(Inside(c.shown), 20);
    EXPECT_EQ(Inside(c.absent), 0);
    if (c.sunken) {
      EXPECT_EQ(canvas_.At(0, 0), GetSysColor(COLOR_3DSHADOW));
      EXPECT_EQ(canvas_.At(kW - 1, kH - 1), GetSysColor(COLOR_3DHILIGHT));
    } else {
      EXPECT_EQ(canvas_.At(0, 0), GetSysColor(COLOR_3DLIGHT));
      EXPECT_EQ(canvas_.At(kW - 1, kH - 1), GetSysColor(COLOR_3DDKSHADOW));
      EXPECT_EQ(canvas_.At(1, 1), GetSysColor(COLOR_3DHILIGHT));
      EXPECT_EQ(canvas_.At(kW - 2, kH - 2), GetSysColor(COLOR_3DSHADOW));
    }
    EXPECT_EQ(FocusRectangleDrawn(kFace), c.focusRect);
  }
}

TEST_F(ColorButtonTest, EmptyCaptionGivesFaceAndBorderOnly) {
  CCButton b;
  b.SetFaceColor(kFace);
  b.SetCaptionColor(kWhite);
  Paint(b, L"", ODS_DISABLED);
  EXPECT_EQ(Inside(kFace), (kW - 12) * (kH - 12));
  EXPECT_EQ(canvas_.At(0, 0), GetSysColor(COLOR_3DLIGHT));
}

TEST_F(ColorButtonTest, CaptionIsReadAfreshAndDrawnOnOneCentredLine) {
  CCButton b;
  b.SetFaceColor(kFace);
  b.SetCaptionColor(kWhite);
  Paint(b, L"", 0);
  EXPECT_EQ(Inside(kWhite), 0);
  // A caption with a line break: still one line, centred vertically.
  Paint(b, L"\u9001\u4FE1\n\u505C\u6B62", 0);  // 送信\n停止
  int top = kH, bottom = -1, left = kW, right = -1;
  for (int y = 3; y < kH - 3; ++y)  // inside the border, whose highlight is white too
    for (int x = 3; x < kW - 3; ++x)
      if (canvas_.At(x, y) == kWhite) {
        top = std::min(top, y), bottom = std::max(bottom, y);
        left = std::min(left, x), right = std::max(right, x);
      }
  ASSERT_GE(bottom, 0);
  EXPECT_LE(bottom - top, 24);  // one line of a 22-pixel font
  EXPECT_NEAR((top + bottom) / 2, kH / 2, 4);
  EXPECT_NEAR((left + right) / 2, kW / 2, 6);
}

TEST_F(ColorButtonTest, CaptionWiderThanTheButtonIsClippedAtItsEdges) {
  CCButton b;
  b.SetFaceColor(kFace);
  b.SetCaptionColor(kWhite);
  canvas_.Fill(RGB(1, 2, 3));
  SetWindowTextW(button_, L"\u9001\u4FE1\u5B9F\u884C\u9001\u4FE1\u5B9F\u884C\u9001\u4FE1\u5B9F\u884C");
  DRAWITEMSTRUCT dis = {};
  dis.CtlType = ODT_BUTTON;
  dis.hwndItem = button_;
  dis.hDC = canvas_.dc();
  dis.rcItem = RECT{20, 0, 100, kH};  // a narrower button inside the bitmap
  b.DrawItem(&dis);
  EXPECT_EQ(canvas_.Count(kWhite, 0, 0, 20, kH), 0);
  EXPECT_EQ(canvas_.Count(kWhite, 100, 0, kW, kH), 0);
  EXPECT_GT(canvas_.Count(kWhite, 22, 2, 98, kH - 2), 50);
}

}  // namespace
