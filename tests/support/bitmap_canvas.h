// A 32-bit top-down memory bitmap to draw into and read pixels back from, and a BMP writer.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class BitmapCanvas {
 public:
  BitmapCanvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~BitmapCanvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  BitmapCanvas(const BitmapCanvas&) = delete;
  BitmapCanvas& operator=(const BitmapCanvas&) = delete;

  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  void Fill(COLORREF c) {
    GdiFlush();
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = Pack(c);
  }
  COLORREF At(int x, int y) const {
    GdiFlush();
    uint32_t v = bits_[y * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  // Pixels of colour c inside [x0, x1) x [y0, y1).
  int Count(COLORREF c, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (At(x, y) == c) ++n;
    return n;
  }
  // Copies a rectangle of the screen (what the display shows).
  void CopyFromScreen(int left, int top) {
    HDC screen = GetDC(nullptr);
    BitBlt(dc_, 0, 0, width_, height_, screen, left, top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    GdiFlush();
  }
  bool WriteBmp(const std::wstring& path) const {
    GdiFlush();
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof ih;
    ih.biWidth = width_;
    ih.biHeight = -height_;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    DWORD size = static_cast<DWORD>(width_ * height_ * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + size;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    // Opaque in every viewer: the fourth byte of each pixel is set.
    std::vector<uint32_t> opaque(bits_, bits_ + width_ * height_);
    for (uint32_t& v : opaque) v |= 0xFF000000u;
    DWORD written = 0;
    bool ok = WriteFile(f, &fh, sizeof fh, &written, nullptr) && WriteFile(f, &ih, sizeof ih, &written, nullptr) &&
              WriteFile(f, opaque.data(), size, &written, nullptr) && written == size;
    CloseHandle(f);
    return ok;
  }

 private:
  static uint32_t Pack(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// build/<name> as a Windows path (the build folder is reached through drive Z:). Under another
// ANSI code page than 932 the name gets the code page before its extension.
inline std::wstring BuildOutputPath(const wchar_t* name) {
  std::wstring file = name;
  if (GetACP() != 932) file.insert(file.find_last_of(L'.'), L"-acp" + std::to_wstring(GetACP()));
  const char* build = getenv("ROWCASTER_BUILD_DIR");
  std::string dir = build ? build : ".";
  // build/windows -> build
  size_t cut = dir.find_last_of('/');
  if (cut != std::string::npos && dir.compare(cut + 1, std::string::npos, "windows") == 0) dir.resize(cut);
  std::wstring w = (dir.size() && dir[0] == '/') ? L"Z:" : L"";
  for (char c : dir) w += (c == '/') ? L'\\' : static_cast<wchar_t>(c);
  return w + L"\\" + file;
}
