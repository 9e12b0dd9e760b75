// The SMTP settings dialog and the file and editor commands of the real program, driven from
// outside under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/support/program_driver.h"

namespace {

const wchar_t kSmtpTitle[] = L"\u9001\u4FE1\u30E1\u30FC\u30EB\u30B5\u30FC\u30D0\u306E\u8A2D\u5B9A\uFF08SMTP\uFF09";
const wchar_t kSmtpCaption[] = L"\u9001\u4FE1\u30E1\u30FC\u30EB\u8A2D\u5B9A";  // 送信メール設定
const wchar_t kMainCaption[] = L"\u4E00\u62EC\u30E1\u30FC\u30EB\u9001\u4FE1";  // 一括メール送信

HWND OpenSmtp(const Program& p) {
  p.PostClick(IDC_SMTP_SETTINGS);
  HWND dialog = nullptr;
  WaitUntil(5000, [&] { return (dialog = FindProcessWindow(p.pid(), kSmtpTitle)) != nullptr; });
  return dialog;
}

void SetField(HWND dialog, int id, const std::wstring& text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

struct Account {
  const wchar_t *address, *login, *password, *sender, *server, *port;
};

void FillAccount(HWND dialog, const Account& a) {
  SetField(dialog, IDC_SMTP_MAIL_ADDRESS, a.address);  // the login follows, then gets its own value
  SetField(dialog, IDC_SMTP_LOGIN_ID, a.login);
  SetField(dialog, IDC_SMTP_PASSWORD, a.password);
  SetField(dialog, IDC_SMTP_SENDER_NAME, a.sender);
  SetField(dialog, IDC_SMTP_SERVER, a.server);
  SetField(dialog, IDC_SMTP_PORT, a.port);
}

TEST(SmtpSettings, DialogShowsItsFieldsAndRefusesEachIncompleteAccountWithItsMessage) {
  DataRoot data;
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  HWND d = OpenSmtp(p);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(GetWindow(d, GW_OWNER), p.main());
  LONG style = GetWindowLongW(d, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), WS_CAPTION | WS_SYSMENU);
  struct {
    int id;
    DWORD style;  // of ES_LOWERCASE | ES_PASSWORD | ES_NUMBER | ES_AUTOHSCROLL
    int limit;
    const wchar_t* label;  // the label before the field
  } fields[] = {
      {IDC_SMTP_MAIL_ADDRESS, ES_LOWERCASE | ES_AUTOHSCROLL, 256, L" \u30E1\u30FC\u30EB\u30A2\u30C9\u30EC\u30B9"},
      {IDC_SMTP_LOGIN_ID, ES_LOWERCASE | ES_AUTOHSCROLL, 256, L" \u30ED\u30B0\u30A4\u30F3ID"},
      {IDC_SMTP_PASSWORD, ES_PASSWORD | ES_AUTOHSCROLL, 256, L" \u30D1\u30B9\u30EF\u30FC\u30C9"},
      {IDC_SMTP_SENDER_NAME, ES_AUTOHSCROLL, 256, L" \u5DEE\u51FA\u4EBA\u540D"},
      {IDC_SMTP_SERVER, ES_AUTOHSCROLL, 256, L" \u9001\u4FE1\u30E1\u30FC\u30EB\u30B5\u30FC\u30D0"},
      {IDC_SMTP_PORT, ES_NUMBER | ES_AUTOHSCROLL, 5, L" \u30DD\u30FC\u30C8\u756A\u53F7 [SSL]"},
  };
  HWND prev = GetWindow(d, GW_CHILD);
  for (const auto& f : fields) {
    SCOPED_TRACE(f.id);
    HWND field = GetDlgItem(d, f.id);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(GetWindow(field, GW_HWNDPREV), prev == field ? nullptr : GetWindow(field, GW_HWNDPREV));
    EXPECT_TRUE(TextOf(GetWindow(field, GW_HWNDPREV)) == f.label);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(field, GWL_STYLE)) & (ES_LOWERCASE | ES_PASSWORD | ES_NUMBER | ES_AUTOHSCROLL), f.style);
    EXPECT_EQ(SendMessageW(field, EM_GETLIMITTEXT, 0, 0), f.limit);
  }
  EXPECT_EQ(TextOf(GetDlgItem(d, IDCANCEL)), L"\u30AD\u30E3\u30F3\u30BB\u30EB");
  EXPECT_EQ(TextOf(GetDlgItem(d, IDOK)), L"\u4FDD\u5B58\u7D42\u4E86");
  EXPECT_EQ(GetWindowLongW(GetDlgItem(d, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  GUITHREADINFO gti = {};
  gti.cbSize = sizeof gti;
  ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &gti));
  EXPECT_EQ(gti.hwndFocus, GetDlgItem(d, IDOK));

  const Account good = {L"sales@example.jp", L"sales@example.jp", L"pw", L"Sales", L"smtp.example.jp", L"465"};
  struct Case {
    Account account;
    const wchar_t* message;
  } cases[] = {
      {{L"", good.login, good.password, good.sender, good.server, good.port}, L"\u30E1\u30FC\u30EB\u30A2\u30C9\u30EC\u30B9\u304C\u6307\u5B9A\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002"},
      {{L"   ", good.login, good.password, good.sender, good.server, good.port}, L"\u30E1\u30FC\u30EB\u30A2\u30C9\u30EC\u30B9\u304C\u6307\u5B9A\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002"},
      {{L"sales.example.jp", good.login, good.password, good.sender, good.server, good.port}, L"\u30E1\u30FC\u30EB\u30A2\u30C9\u30EC\u30B9\u306B\u8AA4\u308A\u304C\u3042\u308A\u307E\u3059\u3002"},
      {{good.address, L"", good.password, good.sender, good.server, good.port}, L"\u30ED\u30B0\u30A4\u30F3ID\u304C\u6307\u5B9A\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002\uFF08\u4E0D\u660E\u306E\u5834\u5408\u306F\u30E1\u30FC\u30EB\u30A2\u30C9\u30EC\u30B9\uFF09"},
      {{good.address, good.login, L"", good.sender, good.server, good.port}, L"\u30D1\u30B9\u30EF\u30FC\u30C9\u304C\u6307\u5B9A\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002"},
      {{good.address, good.login, good.password, L"   ", good.server, good.port}, L"\u5DEE\u51FA\u4EBA\u304C\u6307\u5B9A\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002"},
      {{good.address, good.login, good.password, good.sender, L"", good.port}, L"\u9001\u4FE1\u30E1\u30FC\u30EB\u30B5\u30FC\u30D0(SMTP)\u304C\u6307\u5B9A\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002"},
      {{good.address, good.login, good.password, good.sender, good.server, L""}, L"\u9001\u4FE1\u30E1\u30FC\u30EB\u30B5\u30FC\u30D0(SMTP)\u306E\u30DD\u30FC\u30C8\u756A\u53F7\u304C\u6307\u5B9A\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002"},
      {{good.address, good.login, good.password, good.sender, good.server, L"65536"}, L"\u9001\u4FE1\u30E1\u30FC\u30EB\u30B5\u30FC\u30D0(SMTP)\u306E\u30DD\u30FC\u30C8\u756A\u53F7\u306B\u8AA4\u308A\u304C\u3042\u308A\u307E\u3059\u3002"},
      {{good.address, good.login, good.password, good.sender, good.server, L"99999"}, L"\u9001\u4FE1\u30E1\u30FC\u30EB\u30B5\u30FC\u30D0(SMTP)\u306E\u30DD\u30FC\u30C8\u756A\u53F7\u306B\u8AA4\u308A\u304C\u3042\u308A\u307E\u3059\u3002"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToCp932(c.message));
    FillAccount(d, c.account);
    p.PostClick(IDOK, d);
    HWND box = p.WaitForMessageBox(kSmtpCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), d);
    EXPECT_EQ(Program::MessageBoxText(box), c.message);
    ASSERT_TRUE(Program::CloseMessageBox(box));
    EXPECT_TRUE(IsWindow(d));
  }
  // Cancel changes nothing.
  FillAccount(d, good);
  p.PostClick(IDCANCEL, d);
  ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(d); }));
  EXPECT_EQ(p.text(IDC_MAIL_ADDRESS), L"");
  EXPECT_EQ(p.text(IDC_TEST_ADDRESS), L"");

  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  std::vector<std::string> stored = SettingsLines(Unscramble(data.Read(L"Environ.psw")));
  EXPECT_EQ(stored, BuiltInSettingsLines());
}

TEST(SmtpSettings, ConfirmedAccountIsTrimmedLowerCasedAndReachesTheMainWindow) {
  DataRoot data;
  std::vector<std::string> lines = BuiltInSettingsLines();
  lines[1] = "stored-login";  // a login that differs from the (empty) address
  lines[5] = "123456789";     // a port longer than the dialog's working copy
  ASSERT_TRUE(data.Write(L"Environ.def", SettingsText(lines)));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  HWND d = OpenSmtp(p);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(TextOf(GetDlgItem(d, IDC_SMTP_LOGIN_ID)), L"stored-login");
  EXPECT_EQ(TextOf(GetDlgItem(d, IDC_SMTP_PORT)), L"1234567");
  // Typing an address: letters in lower case, and the login follows.
  SetField(d, IDC_SMTP_MAIL_ADDRESS, L"");
  for (wchar_t c : std::wstring(L"Sales@Example.JP")) SendMessageW(GetDlgItem(d, IDC_SMTP_MAIL_ADDRESS), WM_CHAR, c, 1);
  EXPECT_EQ(TextOf(GetDlgItem(d, IDC_SMTP_MAIL_ADDRESS)), L"sales@example.jp");
  EXPECT_EQ(TextOf(GetDlgItem(d, IDC_SMTP_LOGIN_ID)), L"sales@example.jp");
  SetField(d, IDC_SMTP_PASSWORD, L"  \"p w\"  ");
  SetField(d, IDC_SMTP_SENDER_NAME, L"  \u55B6\u696D\u90E8  ");  // 営業部
  SetField(d, IDC_SMTP_SERVER, L"smtp.example.jp ");
  SetField(d, IDC_SMTP_PORT, L"0");
  p.PostClick(IDOK, d);
  ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(d); }));
  EXPECT_EQ(p.text(IDC_MAIL_ADDRESS), L"sales@example.jp");
  EXPECT_EQ(p.text(IDC_TEST_ADDRESS), L"sales@example.jp");  // the empty TestAddress follows

  // A second confirm with a TestAddress of its own: only the sender field changes.
  p.SetText(IDC_TEST_ADDRESS, L"test@example.jp");
  d = OpenSmtp(p);
  ASSERT_NE(d, nullptr);
  SetField(d, IDC_SMTP_MAIL_ADDRESS, L"Other@Example.JP");
  SetField(d, IDC_SMTP_PORT, L"65535");
  p.PostClick(IDOK, d);
  ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(d); }));
  EXPECT_EQ(p.text(IDC_MAIL_ADDRESS), L"other@example.jp");
  EXPECT_EQ(p.text(IDC_TEST_ADDRESS), L"test@example.jp");

  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  std::vector<std::string> stored = SettingsLines(Unscramble(data.Read(L"Environ.psw")));
  ASSERT_EQ(stored.size(), 15u);
  EXPECT_EQ(stored[0], "other@example.jp");
  EXPECT_EQ(stored[1], "other@example.jp");
  EXPECT_EQ(stored[2], "p w");
  EXPECT_EQ(stored[3], ToCp932(L"\u55B6\u696D\u90E8"));
  EXPECT_EQ(stored[4], "smtp.example.jp");
  EXPECT_EQ(stored[5], "65535");
  EXPECT_EQ(stored[14], "test@example.jp");
}

std::string ReadUtf8File(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  char buffer[8192];
  DWORD n = 0;
  ReadFile(f, buffer, sizeof buffer, &n, nullptr);
  CloseHandle(f);
  return std::string(buffer, n);
}

TEST(FileCommands, MissingFilesAreReportedAndEmptyOnesDoNothing) {
  DataRoot data;
  std::vector<std::string> lines = BuiltInSettingsLines();
  ASSERT_TRUE(data.Write(L"Environ.def", SettingsText(lines)));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  // With empty BodyFile and ListFile the editor buttons do nothing.
  for (int id : {IDC_EDIT_BODY, IDC_EDIT_LIST}) {
    p.PostClick(id);
    p.Settle();
    EXPECT_EQ(p.WaitForMessageBox(kMainCaption, 300), nullptr) << id;
  }
  struct {
    int button;
    int field;
    const wchar_t* message;
  } cases[] = {
      {IDC_VIEW_LOG, 0, L"\u30ED\u30B0\u306F\u307E\u3060\u4F5C\u6210\u3055\u308C\u3066\u3044\u307E\u305B\u3093\u3002"},
      {IDC_EDIT_BODY, IDC_BODY_FILE, L"\u30E1\u30FC\u30EB\u672C\u6587\u30D5\u30A1\u30A4\u30EB\u306F\u5B58\u5728\u3057\u307E\u305B\u3093\u3002"},
      {IDC_EDIT_LIST, IDC_LIST_FILE, L"\u9001\u4FE1\u5148\u30A2\u30C9\u30EC\u30B9\u4E00\u89A7\u30D5\u30A1\u30A4\u30EB(Excel)\u306F\u5B58\u5728\u3057\u307E\u305B\u3093\u3002"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    if (c.field) p.SetText(c.field, data.folder() + L"\\missing file.txt");
    p.PostClick(c.button);
    HWND box = p.WaitForMessageBox(kMainCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), p.main());
    EXPECT_EQ(Program::MessageBoxText(box), c.message);
    ASSERT_TRUE(Program::CloseMessageBox(box));
  }
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

TEST(FileCommands, EditorGetsTheBodyPathAsOneArgumentAndTheWindowWaitsForIt) {
  DataRoot data;
  // A name with spaces and Japanese: it must arrive as one argument, unchanged.
  std::wstring body = data.folder() + L"\\my body \u672C\u6587.txt";
  ASSERT_TRUE(data.Write(L"my body \u672C\u6587.txt", "hello\r\n"));
  std::wstring editor = data.programFolder() + L"\\sakura.exe";
  ASSERT_TRUE(CopyFileW((FolderOfThisProgram() + L"\\gui_editor_standin.exe").c_str(), editor.c_str(), FALSE));
  std::wstring record = data.folder() + L"\\editor-record.txt";
  {
    Program p(data, L"ROWCASTER_EDITOR_RECORD=" + record);
    ASSERT_NE(p.main(), nullptr);
    p.SetText(IDC_BODY_FILE, body);
    p.PostClick(IDC_EDIT_BODY);
    EXPECT_TRUE(WaitUntil(5000, [&] { return !ReadUtf8File(record).empty(); }));
    p.Settle();
    ASSERT_TRUE(p.Click(IDCANCEL));
    ASSERT_TRUE(p.WaitForExit(10000));
  }
  DeleteFileW(editor.c_str());
  std::string got = ReadUtf8File(record);
  DeleteFileW(record.c_str());
  DeleteFileW(body.c_str());
  char utf8[1024];
  WideCharToMultiByte(CP_UTF8, 0, body.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  EXPECT_EQ(got, std::string(utf8) + "\n");
}

TEST(FileCommands, WithoutTheEditorTheBodyOpensInTheSystemEditor) {
  DataRoot data;
  std::wstring body = data.folder() + L"\\body.txt";
  ASSERT_TRUE(data.Write(L"body.txt", "hello\r\n"));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  ASSERT_EQ(GetFileAttributesW((data.programFolder() + L"\\sakura.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  p.SetText(IDC_BODY_FILE, body);
  p.PostClick(IDC_EDIT_BODY);
  // The system editor's window names the file; the main window waits while it is open.
  HWND editor = nullptr;
  ASSERT_TRUE(WaitUntil(10000, [&] {
    EnumWindows(
        [](HWND h, LPARAM out) -> BOOL {
          if (IsWindowVisible(h) && CaptionOf(h).find(L"body") != std::wstring::npos) {
            *reinterpret_cast<HWND*>(out) = h;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&editor));
    return editor != nullptr;
  }));
  DWORD_PTR unused = 0;
  EXPECT_EQ(SendMessageTimeoutW(p.main(), WM_NULL, 0, 0, SMTO_NORMAL, 300, &unused), 0);  // not answering
  PostMessageW(editor, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil(5000, [&] { return SendMessageTimeoutW(p.main(), WM_NULL, 0, 0, SMTO_NORMAL, 200, &unused) != 0; }));
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  DeleteFileW(body.c_str());
}

TEST(FileCommands, PickedPathsAreStoredAndOnesWithoutAShiftJisFormAreRefused) {
  DataRoot data;
  std::wstring body = data.folder() + L"\\\u672C\u6587 1.txt";
  std::wstring korean = data.folder() + L"\\\uD55C\uAE00.txt";  // no code page 932 form
  data.Write(L"\u672C\u6587 1.txt", "x");
  data.Write(L"\uD55C\uAE00.txt", "x");
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  // Cancel leaves the field and the value alone.
  p.SetText(IDC_BODY_FILE, L"C:\\kept.txt");
  p.PostClick(IDC_PICK_BODY);
  HWND d = p.WaitForFileDialog();
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(IsWindowEnabled(p.main()));
  PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil(5000, [&] { return IsWindowEnabled(p.main()) != FALSE; }));
  EXPECT_EQ(p.text(IDC_BODY_FILE), L"C:\\kept.txt");
  // A picked body file goes into its field.
  p.PostClick(IDC_PICK_BODY);
  d = p.WaitForFileDialog();
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(Program::ChooseInFileDialog(d, body));
  ASSERT_TRUE(WaitUntil(5000, [&] { return p.text(IDC_BODY_FILE) == body; }));
  // A workbook path that code page 932 cannot hold is refused, not mangled.
  p.PostClick(IDC_PICK_LIST);
  d = p.WaitForFileDialog();
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(Program::ChooseInFileDialog(d, korean));
  HWND box = p.WaitForMessageBox(kMainCaption);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Program::MessageBoxText(box),
            L"\u9078\u629E\u3055\u308C\u305F\u30D5\u30A1\u30A4\u30EB\u306E\u30D1\u30B9\u306F\u9577\u3059\u304E\u308B\u304B\u3001"
            L"\u4F7F\u7528\u3067\u304D\u306A\u3044\u6587\u5B57\u3092\u542B\u3093\u3067\u3044\u307E\u3059\u3002");
  ASSERT_TRUE(Program::CloseMessageBox(box));
  EXPECT_TRUE(WaitUntil(5000, [&] { return IsWindowEnabled(p.main()) != FALSE; }));
  EXPECT_EQ(p.text(IDC_LIST_FILE), L"");
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  std::vector<std::string> stored = SettingsLines(Unscramble(data.Read(L"Environ.psw")));
  ASSERT_EQ(stored.size(), 15u);
  EXPECT_EQ(stored[7], ToCp932(body));
  EXPECT_EQ(stored[8], "");
}

}  // namespace
