// The real program under Wine, driven from outside: its main window, the values it loads and
// stores, the ways out of it, the clock, the about box and the colours on the screen.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "resources/resource.h"
#include "tests/support/bitmap_canvas.h"
#include "tests/support/program_driver.h"

namespace {

const COLORREF kLightBlue = RGB(120, 160, 255);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kNavy = RGB(0, 10, 60);
const COLORREF kLime = RGB(190, 255, 0);
const COLORREF kLightGrey = RGB(240, 240, 240);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kSendFace = RGB(0, 90, 20);

std::vector<std::string> StoredLines(const DataRoot& data) { return SettingsLines(Unscramble(data.Read(L"Environ.psw"))); }

enum { kMailAddress, kLoginId, kPassword, kSenderName, kSmtpServer, kSmtpPort, kMailTitle, kBodyFile, kListFile,
       kSheetName, kMailColumn, kStartRow, kEndRow, kIntervalSeconds, kTestAddress };

struct ControlRow {
  int id;
  const wchar_t* cls;
  const wchar_t* caption;
  int x, y, w, h;
  DWORD style;  // the bits of the class's mask below
  bool border;
  DWORD exStyle;  // of WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME
};

DWORD StyleMask(const std::wstring& cls) {
  if (!_wcsicmp(cls.c_str(), L"Edit"))
    return ES_CENTER | ES_LOWERCASE | ES_UPPERCASE | ES_READONLY | ES_NUMBER | ES_AUTOHSCROLL;
  if (!_wcsicmp(cls.c_str(), L"Static")) return SS_TYPEMASK | SS_CENTERIMAGE | SS_NOPREFIX;
  if (!_wcsicmp(cls.c_str(), L"Button")) return BS_TYPEMASK | BS_MULTILINE;
  if (!_wcsicmp(cls.c_str(), L"msctls_progress32")) return PBS_SMOOTH;
  return 0xFFFF;  // SysAnimate32: no animation flags at all
}

const ControlRow kMainControls[] = {
    {-1, L"Button", L"", 3, 0, 291, 35, BS_GROUPBOX, false, 0},
    {-1, L"Button", L"", 3, 37, 351, 61, BS_GROUPBOX, false, 0},
    {-1, L"Button", L"", 3, 142, 351, 28, BS_GROUPBOX, false, 0},
    {-1, L"Static", L"\u3000\u9001\u4FE1\u5143\u30A2\u30C9\u30EC\u30B9", 6, 11, 84, 15, SS_LEFT | SS_CENTERIMAGE, false, WS_EX_STATICEDGE},
    {IDC_MAIL_ADDRESS, L"Edit", L"", 93, 11, 141, 15, ES_READONLY | ES_LOWERCASE | ES_AUTOHSCROLL, true, WS_EX_DLGMODALFRAME},
    {IDC_SMTP_SETTINGS, L"Button", L"\u8A73\u7D30\n\u8A2D\u5B9A", 240, 8, 49, 22, BS_PUSHBUTTON | BS_MULTILINE, false, 0},
    {-1, L"Static", L"\u3000\u30E1\u30FC\u30EB\u30BF\u30A4\u30C8\u30EB", 6, 47, 84, 12, SS_LEFT | SS_CENTERIMAGE, false, WS_EX_STATICEDGE},
    {IDC_MAIL_TITLE, L"Edit", L"", 93, 47, 201, 12, ES_AUTOHSCROLL, true, 0},
    {IDC_PICK_BODY, L"Button", L"\u30E1\u30FC\u30EB\u672C\u6587\u30D5\u30A1\u30A4\u30EB", 6, 66, 84, 26, BS_PUSHBUTTON, false, 0},
    {IDC_BODY_FILE, L"Edit", L"", 93, 72, 201, 13, 0, true, 0},
    {IDC_EDIT_BODY, L"Button", L"\u672C\u6587\u7DE8\u96C6", 300, 66, 48, 26, BS_PUSHBUTTON | BS_MULTILINE, false, 0},
    {IDC_PICK_LIST, L"Button", L"\u9001\u4FE1\u5148\u30A2\u30C9\u30EC\u30B9\u4E00\u89A7", 6, 109, 84, 25, BS_PUSHBUTTON, false, 0},
    {IDC_LIST_FILE, L"Edit", L"", 93, 109, 201, 12, 0, true, 0},
    {IDC_EDIT_LIST, L"Button", L"\u9001\u4FE1\u5148\u7DE8\u96C6", 300, 109, 48, 25, BS_PUSHBUTTON | BS_MULTILINE, false, 0},
    {IDC_SHEET_LABEL, L"Static", L"\u8AAD\u53D6\u30B7\u30FC\u30C8\u540D", 93, 122, 57, 12, SS_CENTER | SS_CENTERIMAGE, false, WS_EX_STATICEDGE},
    {IDC_SHEET_NAME, L"Edit", L"", 153, 122, 64, 12, ES_AUTOHSCROLL, true, 0},
    {IDC_COLUMN_LABEL, L"Static", L"E-Mail\u6B04", 220, 122, 41, 12, SS_CENTER | SS_CENTERIMAGE, false, WS_EX_STATICEDGE},
    {IDC_MAIL_COLUMN, L"Edit", L"", 264, 122, 30, 12, ES_CENTER | ES_UPPERCASE | ES_AUTOHSCROLL, true, 0},
    {-1, L"Static", L"\u3000\u9001\u4FE1\u5148\u30A2\u30C9\u30EC\u30B9\u306E\u9001\u4FE1\u7BC4\u56F2", 6, 152, 114, 12, SS_LEFT | SS_CENTERIMAGE, false, WS_EX_STATICEDGE},
    {IDC_START_ROW, L"Edit", L"2", 126, 152, 24, 12, ES_NUMBER | ES_CENTER | ES_AUTOHSCROLL, true, 0},
    {IDC_ROW_TILDE, L"Static", L"\u884C \uFF5E", 153, 152, 18, 12, SS_LEFT | SS_CENTERIMAGE, false, 0},
    {IDC_END_ROW, L"Edit", L"999", 174, 152, 26, 12, ES_NUMBER | ES_CENTER | ES_AUTOHSCROLL, true, 0},
    {IDC_ROW_LABEL, L"Static", L"\u884C ", 203, 152, 11, 12, SS_LEFT | SS_CENTERIMAGE, false, 0},
    {-1, L"Static", L"\u30E1\u30FC\u30EB\u306E\u9001\u4FE1\u9593\u9694", 220, 152, 74, 12, SS_CENTER | SS_CENTERIMAGE, false, WS_EX_STATICEDGE},
    {IDC_INTERVAL, L"Edit", L"4", 300, 152, 27, 12, ES_NUMBER | ES_CENTER | ES_AUTOHSCROLL, true, 0},
    {IDC_SECONDS_LABEL, L"Static", L"\u79D2", 330, 152, 12, 12, SS_LEFT | SS_CENTERIMAGE, false, 0},
    {IDC_ALL_ADDRESSES_LABEL, L"Static", L"\u3000\u5168\u9001\u4FE1\u5148\u30A2\u30C9\u30EC\u30B9\u3092", 5, 181, 81, 16, SS_LEFT | SS_CENTERIMAGE, false, 0},
    {IDC_TEST_ADDRESS, L"Edit", L"", 87, 183, 104, 12, ES_AUTOHSCROLL, true, 0},
    {IDC_CHANGE_TO_LABEL, L"Static", L"\u306B\u5909\u66F4\u3057\u3066", 193, 181, 42, 16, SS_LEFT | SS_CENTERIMAGE, false, 0},
    {IDC_TEST_SEND, L"Button", L"\u30C6\u30B9\u30C8\u9001\u4FE1", 239, 177, 49, 26, BS_PUSHBUTTON, false, 0},
    {IDOK, L"Button", L"\u9001\u4FE1\u5B9F\u884C", 12, 208, 66, 31, BS_OWNERDRAW | BS_MULTILINE, false, 0},
    {IDC_STOP, L"Button", L"\u9001\u4FE1\n\u505C\u6B62", 84, 208, 39, 31, BS_PUSHBUTTON | BS_MULTILINE, false, 0},
    {IDC_VIEW_LOG, L"Button", L"\u9001\u4FE1\n\u30ED\u30B0", 129, 208, 35, 31, BS_PUSHBUTTON | BS_MULTILINE, false, 0},
    {IDC_STATUS_LABEL, L"Static", L"\u3000\u9001\u4FE1\u72B6\u6CC1", 12, 251, 46, 12, SS_LEFT | SS_CENTERIMAGE, false, WS_EX_STATICEDGE},
    {IDC_STATUS, L"Edit", L"", 61, 253, 278, 12, ES_READONLY | ES_AUTOHSCROLL, false, 0},
    {IDC_RUN_ANIMATION, L"SysAnimate32", L"", 299, 177, 30, 30, 0, false, 0},
    {IDCANCEL, L"Button", L"\u4FDD\u5B58\u7D42\u4E86", 301, 7, 48, 24, BS_PUSHBUTTON, false, 0},
    {IDC_PROGRESS, L"msctls_progress32", L"", 12, 266, 341, 6, PBS_SMOOTH, true, WS_EX_DLGMODALFRAME},
    {-1, L"Button", L"", 3, 100, 351, 40, BS_GROUPBOX, false, 0},
};

RECT RectInClient(HWND control, HWND dialog) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The controls in template order (the status bar, created later, is not one of them).
std::vector<HWND> TemplateControls(HWND dialog) {
  std::vector<HWND> v;
  for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (_wcsicmp(ClassOf(h).c_str(), STATUSCLASSNAMEW)) v.push_back(h);
  return v;
}

class MainWindow : public ::testing::Test {
 protected:
  DataRoot data_;
};

TEST_F(MainWindow, FirstStartShowsEveryControlOfTheTemplateWithTheBuiltInValues) {
  Program p(data_);
  ASSERT_TRUE(p.started());
  ASSERT_NE(p.main(), nullptr) << "no main window";
  HWND main = p.main();
  EXPECT_EQ(TextOf(main), kMainTitle);
  // Start-up showed the splash, topmost and the picture's size, and it has gone.
  EXPECT_TRUE(p.sawSplash());
  RECT splash = p.splashRect();
  EXPECT_EQ(splash.right - splash.left, 255);
  EXPECT_EQ(splash.bottom - splash.top, 255);
  EXPECT_TRUE(p.splashTopmost());
  HWND left = FindWindowW(L"SplashScreenExClass", nullptr);
  EXPECT_TRUE(!left || !IsWindowVisible(left));
  // The clock's first text comes 990 ms after opening.
  EXPECT_EQ(p.PaneText(1), L"");

  LONG style = GetWindowLongW(main, GWL_STYLE);
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  RECT client;
  GetClientRect(main, &client);
  double ux = client.right / 358.0, uy = client.bottom / 283.0;  // pixels per dialog unit

  std::vector<HWND> controls = TemplateControls(main);
  ASSERT_EQ(controls.size(), std::size(kMainControls));
  for (size_t i = 0; i < controls.size(); ++i) {
    const ControlRow& c = kMainControls[i];
    HWND h = controls[i];
    SCOPED_TRACE(testing::Message() << "control " << i << " id " << c.id);
    EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(h))), c.id);
    EXPECT_EQ(_wcsicmp(ClassOf(h).c_str(), c.cls), 0) << ClassOf(h).c_str();
    EXPECT_TRUE(TextOf(h) == c.caption);
    DWORD s = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
    DWORD ex = static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE));
    EXPECT_EQ(s & StyleMask(ClassOf(h)), c.style);
    // The progress control takes WS_BORDER off itself and draws its own frame.
    if (c.id != IDC_PROGRESS) {
      EXPECT_EQ((s & WS_BORDER) != 0 || (ex & WS_EX_CLIENTEDGE) != 0, c.border) << std::hex << s << " " << ex;
    }
    EXPECT_EQ(ex & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME), c.exStyle);
    EXPECT_EQ((s & WS_VISIBLE) != 0, c.id != IDC_PROGRESS) << std::hex << s << " " << ex;
    RECT r = RectInClient(h, main);
    EXPECT_NEAR(r.left, c.x * ux, 1.5);
    EXPECT_NEAR(r.top, c.y * uy, 1.5);
    EXPECT_NEAR(r.right - r.left, c.w * ux, 1.5);
    EXPECT_NEAR(r.bottom - r.top, c.h * uy, 1.5);
  }

  // Idle state: everything enabled except the stop button; the bar hidden in its colour.
  for (int id : {IDC_TEST_SEND, IDOK, IDC_VIEW_LOG, IDC_EDIT_BODY, IDC_EDIT_LIST, IDC_SMTP_SETTINGS, IDCANCEL,
                 IDC_PICK_BODY, IDC_PICK_LIST, IDC_MAIL_TITLE, IDC_BODY_FILE, IDC_LIST_FILE, IDC_SHEET_NAME,
                 IDC_MAIL_COLUMN, IDC_START_ROW, IDC_END_ROW, IDC_INTERVAL, IDC_TEST_ADDRESS})
    EXPECT_TRUE(IsWindowEnabled(p.item(id))) << id;
  EXPECT_FALSE(IsWindowEnabled(p.item(IDC_STOP)));
  EXPECT_FALSE(IsWindowVisible(p.item(IDC_PROGRESS)));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(p.item(IDC_PROGRESS), PBM_GETBARCOLOR, 0, 0)), kSendFace);
  // Typing limits, in the order of the fields.
  const std::pair<int, int> limits[] = {{IDC_MAIL_TITLE, 256}, {IDC_BODY_FILE, 260},  {IDC_LIST_FILE, 260},
                                        {IDC_SHEET_NAME, 256}, {IDC_MAIL_COLUMN, 1}, {IDC_START_ROW, 6},
                                        {IDC_END_ROW, 6},      {IDC_INTERVAL, 6},    {IDC_TEST_ADDRESS, 256}};
  for (auto [id, limit] : limits) EXPECT_EQ(SendMessageW(p.item(id), EM_GETLIMITTEXT, 0, 0), limit) << id;
  // The keyboard focus is in the mail title.
  GUITHREADINFO gti = {};
  gti.cbSize = sizeof gti;
  ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &gti));
  EXPECT_EQ(gti.hwndFocus, p.item(IDC_MAIL_TITLE));

  // Status bar: credit text in pane 0, the clock pane a quarter of the window's width.
  EXPECT_FALSE(p.PaneText(0).empty());
  HWND bar = FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr);
  ASSERT_NE(bar, nullptr);
  std::vector<int> edges = p.PaneEdges();
  ASSERT_EQ(edges.size(), 2u);
  RECT barClient, outer;
  GetClientRect(bar, &barClient);
  GetWindowRect(main, &outer);
  EXPECT_EQ(barClient.right - edges[0], (outer.right - outer.left) / 4);
  EXPECT_EQ(edges[1], -1);

  // A first start finds nothing to store back: nothing is written while the window is open.
  EXPECT_TRUE(data_.Files().empty());
  // Leaving on the first start stores the built-in values.
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_FALSE(data_.Exists(L"Environ.def"));
  EXPECT_EQ(StoredLines(data_), BuiltInSettingsLines());
}

TEST_F(MainWindow, ClockPaneShowsDateJapaneseWeekdayAndTime) {
  Program p(data_);
  ASSERT_NE(p.main(), nullptr);
  std::wstring clock;
  ASSERT_TRUE(WaitUntil(4000, [&] { return !(clock = p.PaneText(1)).empty(); }));
  SYSTEMTIME now;
  GetLocalTime(&now);
  // " YYYY/MM/DD W HH:MM:SS"
  ASSERT_EQ(clock.size(), 22u) << ToCp932(clock);
  wchar_t date[16];
  swprintf(date, 16, L" %04d/%02d/%02d ", now.wYear, now.wMonth, now.wDay);
  EXPECT_EQ(clock.substr(0, 12), date);
  const wchar_t* weekdays = L"\u65E5\u6708\u706B\u6C34\u6728\u91D1\u571F";  // 日月火水木金土
  EXPECT_EQ(clock[12], weekdays[now.wDayOfWeek]);
  EXPECT_EQ(clock[13], L' ');
  for (int i : {14, 15, 17, 18, 20, 21}) EXPECT_TRUE(iswdigit(clock[i])) << i;
  EXPECT_EQ(clock[16], L':');
  EXPECT_EQ(clock[19], L':');
  int seconds = _wtoi(clock.substr(14, 2).c_str()) * 3600 + _wtoi(clock.substr(17, 2).c_str()) * 60 +
                _wtoi(clock.substr(20, 2).c_str());
  int mine = now.wHour * 3600 + now.wMinute * 60 + now.wSecond;
  EXPECT_LE(std::abs(mine - seconds), 3);
  // And it moves on.
  EXPECT_TRUE(WaitUntil(2500, [&] { return p.PaneText(1) != clock; }));
}

TEST_F(MainWindow, LoadedValuesAreShownBoundedAndNormalised) {
  std::vector<std::string> lines = BuiltInSettingsLines();
  lines[kMailAddress] = "Sender@Example.COM";
  lines[kPassword] = "secret";
  lines[kMailTitle] = ToCp932(L"\u3054\u6848\u5185 {\u6C0F\u540D}");  // ご案内 {氏名}
  lines[kBodyFile] = ToCp932(L"C:\\\u6587\u66F8\\body.txt");
  lines[kSheetName] = ToCp932(L"\u540D\u7C3F");
  lines[kMailColumn] = "c";
  lines[kStartRow] = "1";
  lines[kEndRow] = "120";
  lines[kTestAddress] = "";
  ASSERT_TRUE(data_.Write(L"Environ.def", SettingsText(lines)));
  Program p(data_);
  ASSERT_NE(p.main(), nullptr);
  EXPECT_EQ(p.text(IDC_MAIL_ADDRESS), L"sender@example.com");
  EXPECT_EQ(p.text(IDC_TEST_ADDRESS), L"Sender@Example.COM");  // empty TestAddress shows MailAddress
  EXPECT_EQ(p.text(IDC_MAIL_TITLE), L"\u3054\u6848\u5185 {\u6C0F\u540D}");
  EXPECT_EQ(p.text(IDC_BODY_FILE), L"C:\\\u6587\u66F8\\body.txt");
  EXPECT_EQ(p.text(IDC_SHEET_NAME), L"\u540D\u7C3F");
  EXPECT_EQ(p.text(IDC_MAIL_COLUMN), L"C");
  EXPECT_EQ(p.text(IDC_START_ROW), L"2");
  EXPECT_EQ(p.text(IDC_END_ROW), L"120");
  EXPECT_EQ(p.text(IDC_INTERVAL), L"4");

  // The start-row rule on every change: below 2, empty or not a number puts "2" back.
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
      {L"0", L"2"}, {L"1", L"2"}, {L"", L"2"}, {L"abc", L"2"}, {L"-7", L"2"}, {L"3", L"3"}, {L"15", L"15"}};
  for (auto [typed, shown] : rows) {
    p.SetText(IDC_START_ROW, typed);
    EXPECT_EQ(p.text(IDC_START_ROW), shown) << ToCp932(typed);
  }
  p.SetText(IDC_START_ROW, L"1");
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  std::vector<std::string> stored = StoredLines(data_);
  ASSERT_EQ(stored.size(), 15u);
  std::vector<std::string> expected = lines;
  expected[kTestAddress] = "Sender@Example.COM";
  expected[kMailColumn] = "C";
  expected[kStartRow] = "2";
  EXPECT_EQ(stored, expected);
}

TEST_F(MainWindow, TypedValuesAreTrimmedLimitedInBytesAndStoredOnExit) {
  struct Exit {
    const char* name;
    void (*leave)(const Program&);
  } exits[] = {
      {"the save-and-exit button", [](const Program& p) { ASSERT_TRUE(p.Click(IDCANCEL)); }},
      {"the close box", [](const Program& p) { PostMessageW(p.main(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Exit& e : exits) {
    SCOPED_TRACE(e.name);
    DataRoot data;
    Program p(data);
    ASSERT_NE(p.main(), nullptr);
    p.Type(IDC_MAIL_TITLE, L"  \"Spring sale\"  ");
    p.Type(IDC_MAIL_COLUMN, L"de");  // one byte only, upper case
    p.Type(IDC_INTERVAL, L"1234567");
    p.Type(IDC_SHEET_NAME, std::wstring(140, L'\u540D'));  // 名: two bytes each, 256 at most
    p.SetText(IDC_TEST_ADDRESS, L"  test@example.com\r\n");
    p.Type(IDC_END_ROW, L"0");
    EXPECT_EQ(p.text(IDC_MAIL_COLUMN), L"D");
    EXPECT_EQ(p.text(IDC_INTERVAL), L"412345");
    EXPECT_EQ(p.text(IDC_SHEET_NAME), std::wstring(128, L'\u540D'));
    e.leave(p);
    ASSERT_TRUE(p.WaitForExit(10000));
    std::vector<std::string> stored = StoredLines(data);
    ASSERT_EQ(stored.size(), 15u);
    EXPECT_EQ(stored[kMailTitle], "Spring sale");
    EXPECT_EQ(stored[kMailColumn], "D");
    EXPECT_EQ(stored[kIntervalSeconds], "412345");
    EXPECT_EQ(stored[kSheetName], ToCp932(std::wstring(127, L'\u540D')));  // read back into 256 bytes
    EXPECT_EQ(stored[kTestAddress], "test@example.com");
    EXPECT_EQ(stored[kEndRow], "9990");
    EXPECT_FALSE(data.Exists(L"Environ.def"));
  }
}

TEST_F(MainWindow, EscapeLeavesAndDropsTheEditsOfThisStart) {
  std::vector<std::string> lines = BuiltInSettingsLines();
  lines[kMailTitle] = "Before";
  ASSERT_TRUE(data_.Write(L"Environ.def", SettingsText(lines)));
  {
    Program p(data_);
    ASSERT_NE(p.main(), nullptr);
    p.Type(IDC_MAIL_TITLE, L" and after");
    EXPECT_EQ(p.text(IDC_MAIL_TITLE), L"Before and after");
    EXPECT_FALSE(data_.Exists(L"Environ.def"));  // stored back scrambled at start-up
    p.KeyDown(p.item(IDC_MAIL_TITLE), VK_ESCAPE);
    ASSERT_TRUE(p.WaitForExit(10000));
  }
  EXPECT_FALSE(data_.Exists(L"Environ.def"));
  EXPECT_EQ(StoredLines(data_), lines);

  // On a first start there is nothing to store after Escape.
  DataRoot fresh;
  Program p(fresh);
  ASSERT_NE(p.main(), nullptr);
  p.Type(IDC_MAIL_TITLE, L"typed");
  p.KeyDown(p.item(IDC_MAIL_TITLE), VK_ESCAPE);
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_FALSE(fresh.Exists(L"Environ.def"));
  EXPECT_FALSE(fresh.Exists(L"Environ.psw"));
}

// The password never stands in plain text in the data folder while the window is open, nor
// after the program was killed: start-up stores the settings back scrambled at once.
TEST_F(MainWindow, WhileTheWindowIsOpenAndAfterAKillTheSettingsStayScrambled) {
  const std::string password = "Pl41n-Passw0rd";
  std::vector<std::string> lines = BuiltInSettingsLines();
  lines[kMailAddress] = "sales@example.com";
  lines[kLoginId] = "sales";
  lines[kPassword] = password;
  lines[kMailTitle] = "  \"Quoted\"  ";  // bytes that a rewrite from the values would change
  const std::string text = SettingsText(lines);
  auto holdsThePassword = [&](const DataRoot& data) {
    for (const std::wstring& name : data.Files())
      if (data.Read(name.c_str()).find(password) != std::string::npos) return true;
    return false;
  };
  struct Start {
    const char* what;
    const wchar_t* file;  // what start-up finds
    std::string bytes;
  } starts[] = {
      {"from the stored form", L"Environ.psw", Unscramble(text)},
      {"from a plain file left by a crash of an older version", L"Environ.def", text},
  };
  for (const Start& start : starts) {
    SCOPED_TRACE(start.what);
    DataRoot data;
    ASSERT_TRUE(data.Write(start.file, start.bytes));
    {
      Program p(data);
      ASSERT_NE(p.main(), nullptr);
      EXPECT_EQ(p.text(IDC_MAIL_ADDRESS), L"sales@example.com");
      EXPECT_EQ(data.Files(), std::vector<std::wstring>{L"Environ.psw"});
      // The stored form is the one start-up found, byte for byte (or the plain file scrambled).
      EXPECT_EQ(data.Read(L"Environ.psw"), Unscramble(text));
      EXPECT_FALSE(holdsThePassword(data));
      p.Type(IDC_MAIL_TITLE, L" edited");
      ASSERT_TRUE(p.Kill());
    }
    EXPECT_EQ(data.Files(), std::vector<std::wstring>{L"Environ.psw"});
    EXPECT_FALSE(holdsThePassword(data));
    EXPECT_EQ(StoredLines(data), lines);  // the values of start-up; the edit died with the program

    // The next start takes them up again, and its exit stores what is held then.
    Program again(data);
    ASSERT_NE(again.main(), nullptr);
    EXPECT_EQ(again.text(IDC_MAIL_TITLE), L"Quoted");
    EXPECT_FALSE(data.Exists(L"Environ.def"));
    again.Type(IDC_MAIL_TITLE, L" again");
    ASSERT_TRUE(again.Click(IDCANCEL));
    ASSERT_TRUE(again.WaitForExit(10000));
    EXPECT_EQ(data.Files(), std::vector<std::wstring>{L"Environ.psw"});
    std::vector<std::string> stored = StoredLines(data);
    ASSERT_EQ(stored.size(), 15u);
    EXPECT_EQ(stored[kMailTitle], "Quoted again");
    EXPECT_EQ(stored[kPassword], password);
  }
}

TEST_F(MainWindow, AboutBoxComesFromTheSystemMenuAndItsEscapeDoesNotReachTheWindow) {
  Program p(data_);
  ASSERT_NE(p.main(), nullptr);
  const wchar_t aboutTitle[] = L"Rowcaster \u306B\u3064\u3044\u3066";  // Rowcaster について
  for (WPARAM command : {WPARAM(0x0010), WPARAM(0x0013)}) {
    SCOPED_TRACE(command);
    PostMessageW(p.main(), WM_SYSCOMMAND, command, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil(5000, [&] { return (about = FindProcessWindow(p.pid(), aboutTitle)) != nullptr; }));
    EXPECT_EQ(GetWindow(about, GW_OWNER), p.main());
    EXPECT_FALSE(IsWindowEnabled(p.main()));
    LONG style = GetWindowLongW(about, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    RECT client;
    GetClientRect(about, &client);
    double ux = client.right / 170.0, uy = client.bottom / 62.0;
    std::vector<HWND> items = TemplateControls(about);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(GetWindowLongW(items[0], GWL_STYLE) & SS_TYPEMASK, SS_ICON);
    EXPECT_NE(SendMessageW(items[0], STM_GETICON, 0, 0), 0);
    RECT icon = RectInClient(items[0], about);
    EXPECT_NEAR(icon.left, 14 * ux, 1.5);
    EXPECT_NEAR(icon.top, 14 * uy, 1.5);
    EXPECT_TRUE(TextOf(items[1]) == L"Rowcaster\u3001\u30D0\u30FC\u30B8\u30E7\u30F3 1.0");
    EXPECT_TRUE(GetWindowLongW(items[1], GWL_STYLE) & SS_NOPREFIX);
    RECT text = RectInClient(items[1], about);
    EXPECT_NEAR(text.left, 42 * ux, 1.5);
    EXPECT_NEAR(text.right - text.left, 114 * ux, 1.5);
    EXPECT_EQ(GetDlgCtrlID(items[2]), IDOK);
    EXPECT_EQ(TextOf(items[2]), L"OK");
    EXPECT_EQ(GetWindowLongW(items[2], GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    RECT ok = RectInClient(items[2], about);
    EXPECT_NEAR(ok.left, 113 * ux, 1.5);
    EXPECT_NEAR(ok.top, 41 * uy, 1.5);
    EXPECT_NEAR(ok.right - ok.left, 50 * ux, 1.5);
    if (command == 0x0010) {
      Sleep(300);
      RECT r;
      GetWindowRect(about, &r);
      BitmapCanvas shot(r.right - r.left, r.bottom - r.top);
      shot.CopyFromScreen(r.left, r.top);
      shot.WriteBmp(BuildOutputPath(L"about-box.bmp"));
    }
    // Escape in the about box closes it and leaves the main window open.
    p.KeyDown(items[2], VK_ESCAPE);
    ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(about); }));
    EXPECT_TRUE(WaitUntil(2000, [&] { return IsWindowEnabled(p.main()) != FALSE; }));
    EXPECT_FALSE(p.WaitForExit(200));
  }
  // So the edits of this start are stored.
  p.Type(IDC_MAIL_TITLE, L"kept");
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  std::vector<std::string> stored = StoredLines(data_);
  ASSERT_EQ(stored.size(), 15u);
  EXPECT_EQ(stored[kMailTitle], "kept");
}

// Screen pixels in the client rectangle of a control, as offsets into a screenshot of the dialog.
struct Shot {
  HWND dialog;
  POINT origin;  // screen position of the shot's pixel (0, 0)
  BitmapCanvas& canvas;
  COLORREF At(HWND control, int dx, int dy) const {
    POINT pt = {dx, dy};
    ClientToScreen(control, &pt);
    return canvas.At(pt.x - origin.x, pt.y - origin.y);
  }
  int Count(HWND control, COLORREF c) const {
    RECT r;
    GetClientRect(control, &r);
    POINT pt = {0, 0};
    ClientToScreen(control, &pt);
    return canvas.Count(c, pt.x - origin.x, pt.y - origin.y, pt.x - origin.x + r.right, pt.y - origin.y + r.bottom);
  }
};

HWND ChildWithText(HWND dialog, const wchar_t* text) {
  for (HWND h : TemplateControls(dialog))
    if (TextOf(h) == text) return h;
  return nullptr;
}

TEST_F(MainWindow, ScreenShowsTheSendButtonAndControlsInTheirColours) {
  std::vector<std::string> lines = BuiltInSettingsLines();
  lines[kMailAddress] = "sales@example.co.jp";
  lines[kMailTitle] = ToCp932(L"\u3010\u3054\u6848\u5185\u3011{\u4F1A\u793E\u540D} {\u6C0F\u540D}\u69D8");
  lines[kBodyFile] = ToCp932(L"C:\\\u55B6\u696D\\\u672C\u6587.txt");
  lines[kListFile] = ToCp932(L"C:\\\u55B6\u696D\\\u9001\u4FE1\u5148.xlsx");
  lines[kSheetName] = ToCp932(L"\u9867\u5BA2");
  lines[kMailColumn] = "D";
  ASSERT_TRUE(data_.Write(L"Environ.def", SettingsText(lines)));
  Program p(data_);
  ASSERT_NE(p.main(), nullptr);
  ASSERT_TRUE(WaitUntil(4000, [&] { return !p.PaneText(1).empty(); }));
  SetForegroundWindow(p.main());
  Sleep(400);
  RECT w;
  GetWindowRect(p.main(), &w);
  BitmapCanvas canvas(w.right - w.left, w.bottom - w.top);
  canvas.CopyFromScreen(w.left, w.top);
  canvas.WriteBmp(BuildOutputPath(L"main-window.bmp"));
  Shot shot{p.main(), {w.left, w.top}, canvas};

  HWND send = p.item(IDOK);
  RECT r;
  GetClientRect(send, &r);
  EXPECT_EQ(shot.At(send, 6, r.bottom / 2), kSendFace);
  EXPECT_EQ(shot.At(send, r.right - 7, r.bottom / 2), kSendFace);
  EXPECT_GT(shot.Count(send, kSendFace), r.right * r.bottom / 2);
  EXPECT_GT(shot.Count(send, kWhite), 30);  // the caption

  struct Sample {
    const char* what;
    HWND control;
    COLORREF background;
  } samples[] = {
      {"sheet label", p.item(IDC_SHEET_LABEL), kLime},
      {"column label", p.item(IDC_COLUMN_LABEL), kLime},
      {"status label", p.item(IDC_STATUS_LABEL), kWhite},
      {"sender label", ChildWithText(p.main(), L"\u3000\u9001\u4FE1\u5143\u30A2\u30C9\u30EC\u30B9"), kNavy},
      {"range label", ChildWithText(p.main(), L"\u3000\u9001\u4FE1\u5148\u30A2\u30C9\u30EC\u30B9\u306E\u9001\u4FE1\u7BC4\u56F2"), kNavy},
      {"seconds label", p.item(IDC_SECONDS_LABEL), kLightBlue},
      {"sender field", p.item(IDC_MAIL_ADDRESS), kLightGrey},
      {"title field", p.item(IDC_MAIL_TITLE), kWhite},
      {"status field", p.item(IDC_STATUS), kLightBlue},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.what);
    ASSERT_NE(s.control, nullptr);
    RECT c;
    GetClientRect(s.control, &c);
    EXPECT_EQ(shot.At(s.control, c.right - 2, 1), s.background);
    EXPECT_GT(shot.Count(s.control, s.background), c.right * c.bottom / 3);
  }
  EXPECT_GT(shot.Count(p.item(IDC_STATUS_LABEL), kRed), 10);
  EXPECT_GT(shot.Count(ChildWithText(p.main(), L"\u3000\u9001\u4FE1\u5143\u30A2\u30C9\u30EC\u30B9"), kWhite), 10);
  EXPECT_GT(shot.Count(p.item(IDC_SHEET_LABEL), kNavy), 10);
  // The dialog's own background, below the command buttons.
  HWND log = p.item(IDC_VIEW_LOG);
  RECT lr = RectInClient(log, p.main());
  POINT bg = {lr.right + 20, (lr.top + lr.bottom) / 2};
  ClientToScreen(p.main(), &bg);
  EXPECT_EQ(canvas.At(bg.x - w.left, bg.y - w.top), kLightBlue);

  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

}  // namespace
