// The options dialog of the real program under Wine, driven from outside: opened from the
// system menu, the values of "Options.def" shown, each check's message, the file written with
// its unknown lines kept, cancel, the file pickers, the files that cannot be read or written,
// and the dialog refused while a run lasts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/bitmap_canvas.h"
#include "tests/support/program_driver.h"

namespace {

std::wstring W(const char* utf8) {
  wchar_t out[1024];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, 1024);
  return n > 0 ? std::wstring(out, static_cast<size_t>(n - 1)) : std::wstring();
}

const std::wstring kOptionsTitle = W(u8"拡張設定");  // the dialog's title and its messages' caption
const std::wstring kMainCaption = W(u8"一括メール送信");

// The first visible top-level window of the program with this caption other than `except`.
HWND FindCaptioned(const Program& p, const std::wstring& caption, HWND except, DWORD ms) {
  HWND found = nullptr;
  WaitUntil(ms, [&] {
    struct S {
      DWORD pid;
      const std::wstring* caption;
      HWND except, found;
    } s = {p.pid(), &caption, except, nullptr};
    EnumWindows(
        [](HWND h, LPARAM l) -> BOOL {
          auto* s = reinterpret_cast<S*>(l);
          DWORD pid = 0;
          GetWindowThreadProcessId(h, &pid);
          if (pid != s->pid || h == s->except || !IsWindowVisible(h) || CaptionOf(h) != *s->caption) return TRUE;
          s->found = h;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    found = s.found;
    return found != nullptr;
  });
  return found;
}

// A file of the source tree as a Windows path (the tree is reached through drive Z:).
std::wstring SourcePath(const char* relative) {
  const char* source = getenv("ROWCASTER_SOURCE_DIR");
  std::string path = std::string(source ? source : ".") + "/" + relative;
  std::wstring w = path[0] == '/' ? L"Z:" : L"";
  for (char c : path) w += (c == '/') ? L'\\' : static_cast<wchar_t>(c);
  return w;
}

// Width and height from a PNG's header; 0 when it is not one.
SIZE PngSize(const std::string& png) {
  auto number = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0 || png.compare(12, 4, "IHDR") != 0) return SIZE{0, 0};
  return SIZE{static_cast<LONG>(number(16)), static_cast<LONG>(number(20))};
}

HWND OpenOptions(const Program& p) {
  PostMessageW(p.main(), WM_SYSCOMMAND, IDM_OPTIONS, 0);
  return FindCaptioned(p, kOptionsTitle, nullptr, 5000);
}

// The dialog's message box (captioned like the dialog itself), or nullptr.
HWND WaitForOptionsMessage(const Program& p, HWND dialog, DWORD ms = 5000) {
  return FindCaptioned(p, kOptionsTitle, dialog, ms);
}

void SetField(HWND dialog, int id, const std::wstring& text) {
  SendMessageTimeoutW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                      5000, nullptr);
}

std::wstring FieldText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

const int kTextFields[] = {IDC_OPT_ATTACH_FILES, IDC_OPT_ATTACH_COLUMN, IDC_OPT_CC,
                           IDC_OPT_CC_COLUMN,    IDC_OPT_BCC,           IDC_OPT_BCC_COLUMN,
                           IDC_OPT_REPLY_TO,     IDC_OPT_OPT_OUT_FILE,  IDC_OPT_LIST_UNSUBSCRIBE};

bool Confirm(const Program& p, HWND dialog) {
  p.PostClick(IDOK, dialog);
  return WaitUntil(5000, [&] { return !IsWindow(dialog); });
}

// The text of "Options.def" lines in code page 932 with CR LF.
std::string OptionsText(const std::vector<std::wstring>& lines) {
  std::string s;
  for (const std::wstring& l : lines) s += ToCp932(l) + "\r\n";
  return s;
}

TEST(OptionsDialog, OpensFromTheSystemMenuWithTheFileValuesAndItsLabelsAndCancelChangesNothing) {
  DataRoot data;
  // Values as a user would have them, short enough to be read whole in the guide's screenshot
  // (the files need not exist to be shown).
  const std::string file = OptionsText({
      W(u8"AttachFiles=C:\\案内\\会社案内.pdf;C:\\案内\\料金表.pdf"),
      L"AttachColumn=f",
      L"Cc=manager@example.co.jp",
      L"Bcc=archive@example.co.jp",
      L"ReplyTo=sales@example.co.jp",
      L"CcColumn=G",
      L"BccColumn=",
      W(u8"OptOutFile=C:\\営業\\配信停止.txt"),
      L"ListUnsubscribe=mailto:stop@example.jp,https://example.jp/stop/{ID}",
      L"VerifyCertificate=0",
      L"PlainTextPart=1",
      L"TlsMode=starttls",
      L"FutureKey=kept as it is",
  });
  ASSERT_TRUE(data.Write(L"Options.def", file));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  HWND d = OpenOptions(p);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(GetWindow(d, GW_OWNER), p.main());
  EXPECT_FALSE(IsWindowEnabled(p.main()));  // modal
  LONG style = GetWindowLongW(d, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), WS_CAPTION | WS_SYSMENU);

  struct Row {
    int id;
    const char* label;  // the label before the control (UTF-8)
    std::wstring shown;
    int limit;  // bytes the user may type; 0: not an edit
  } rows[] = {
      {IDC_OPT_ATTACH_FILES, u8" 添付ファイル(全員)", W(u8"C:\\案内\\会社案内.pdf;C:\\案内\\料金表.pdf"), 4096},
      {IDC_OPT_ATTACH_COLUMN, u8" 添付ファイルの列", L"F", 1},
      {IDC_OPT_CC, u8" Cc", L"manager@example.co.jp", 1024},
      {IDC_OPT_CC_COLUMN, u8" Ccの列", L"G", 1},
      {IDC_OPT_BCC, u8" Bcc", L"archive@example.co.jp", 1024},
      {IDC_OPT_BCC_COLUMN, u8" Bccの列", L"", 1},
      {IDC_OPT_REPLY_TO, u8" 返信先(Reply-To)", L"sales@example.co.jp", 1024},
      {IDC_OPT_OPT_OUT_FILE, u8" 配信停止リスト", W(u8"C:\\営業\\配信停止.txt"), 259},
      {IDC_OPT_LIST_UNSUBSCRIBE, u8" List-Unsubscribe",
       L"mailto:stop@example.jp,https://example.jp/stop/{ID}", 2048},
      {IDC_OPT_TLS_MODE, u8" TLSの開始方法", W(u8"starttls：STARTTLSで暗号化（587番など）"), 0},
      {IDC_OPT_VERIFY_CERTIFICATE, u8" 証明書の検証", W(u8"サーバ証明書を検証する（通常はオン）"), 0},
      {IDC_OPT_PLAIN_TEXT_PART, u8" テキスト版", W(u8"HTMLメールにテキスト版を付ける（通常はオン）"), 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    HWND control = GetDlgItem(d, r.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(TextOf(control), r.shown);
    // Its label comes just before it.
    EXPECT_EQ(TextOf(GetWindow(control, GW_HWNDPREV)), W(r.label));
    if (r.limit) {
      EXPECT_EQ(SendMessageW(control, EM_GETLIMITTEXT, 0, 0), r.limit);
    }
  }
  EXPECT_FALSE(Checked(d, IDC_OPT_VERIFY_CERTIFICATE));
  EXPECT_TRUE(Checked(d, IDC_OPT_PLAIN_TEXT_PART));
  HWND tls = GetDlgItem(d, IDC_OPT_TLS_MODE);
  EXPECT_EQ(SendMessageW(tls, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(tls, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(GetWindowLongW(tls, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
  EXPECT_EQ(FieldText(d, IDC_OPT_ADD_ATTACH_FILE), W(u8"追加..."));
  EXPECT_EQ(FieldText(d, IDC_OPT_PICK_OPT_OUT_FILE), W(u8"参照..."));
  EXPECT_EQ(FieldText(d, IDCANCEL), W(u8"キャンセル"));
  EXPECT_EQ(FieldText(d, IDOK), W(u8"保存終了"));
  EXPECT_EQ(GetWindowLongW(GetDlgItem(d, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  GUITHREADINFO gti = {};
  gti.cbSize = sizeof gti;
  ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(d, nullptr), &gti));
  EXPECT_EQ(gti.hwndFocus, GetDlgItem(d, IDOK));
  // Every control lies inside the dialog, and no two overlap.
  RECT client;
  GetClientRect(d, &client);
  std::vector<RECT> placed;
  for (HWND h = GetWindow(d, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&r), 2);
    bool inside = r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom;
    EXPECT_TRUE(inside) << GetDlgCtrlID(h);
    for (const RECT& other : placed) {
      RECT both;
      bool overlap = IntersectRect(&both, &r, &other) != FALSE;
      EXPECT_FALSE(overlap) << ToCp932(TextOf(h));
    }
    placed.push_back(r);
  }

  // The screenshot of the guide, and the colours of the SMTP settings dialog.
  SetForegroundWindow(d);
  Sleep(400);
  RECT w;
  GetWindowRect(d, &w);
  BitmapCanvas shot(w.right - w.left, w.bottom - w.top);
  shot.CopyFromScreen(w.left, w.top);
  EXPECT_TRUE(shot.WriteBmp(BuildOutputPath(L"options-dialog.bmp")));
  // The guide's picture is this screenshot taken in a virtual desktop, where the caption bar
  // adds to the height: a dialog of another size asks for a new picture (README.md says how).
  SIZE picture = PngSize(ReadBytes(SourcePath("dist/guide-options.png")));
  EXPECT_EQ(picture.cx, w.right - w.left);
  EXPECT_GE(picture.cy, w.bottom - w.top);
  EXPECT_LE(picture.cy, w.bottom - w.top + 40);
  auto count = [&](HWND control, COLORREF c) {
    RECT r;
    GetWindowRect(control, &r);
    return shot.Count(c, r.left - w.left + 2, r.top - w.top + 2, r.right - w.left - 2, r.bottom - w.top - 2);
  };
  HWND ccLabel = GetWindow(GetDlgItem(d, IDC_OPT_CC), GW_HWNDPREV);
  EXPECT_GT(count(ccLabel, RGB(0, 10, 60)), 100);
  EXPECT_GT(count(ccLabel, RGB(255, 255, 255)), 5);  // its text
  EXPECT_GT(count(GetDlgItem(d, IDC_OPT_CC), RGB(255, 255, 255)), 100);
  EXPECT_GT(count(GetDlgItem(d, IDC_OPT_CC_COLUMN_HINT), RGB(200, 200, 200)), 100);

  // Cancel after edits: nothing changes, the file keeps its bytes.
  SetField(d, IDC_OPT_CC, L"other@example.jp");
  SendMessageW(GetDlgItem(d, IDC_OPT_VERIFY_CERTIFICATE), BM_SETCHECK, BST_CHECKED, 0);
  p.PostClick(IDCANCEL, d);
  ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(d); }));
  EXPECT_TRUE(WaitUntil(2000, [&] { return IsWindowEnabled(p.main()) != FALSE; }));
  EXPECT_EQ(data.Read(L"Options.def"), file);
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_EQ(data.Read(L"Options.def"), file);
}

TEST(OptionsDialog, EachCheckRefusesWithItsMessageAndWritesNothing) {
  DataRoot data;
  const std::wstring folder = data.folder();
  const std::wstring present = folder + W(u8"\\見積書.pdf");
  ASSERT_TRUE(data.Write(W(u8"見積書.pdf").c_str(), "%PDF-1.4\n"));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  HWND d = OpenOptions(p);
  ASSERT_NE(d, nullptr);
  const std::wstring columnRule = W(u8"には、AからZまでの列記号を1文字で指定してください。");
  const std::wstring unsubscribeRule =
      W(u8"List-Unsubscribeには、mailto:のURL、https:のURL、またはその両方を「,」で区切って指定してください。");
  struct Case {
    int id;
    std::wstring text;
    std::wstring message;
  } cases[] = {
      {IDC_OPT_ATTACH_FILES, L"quotes\\a.pdf", W(u8"添付ファイル[quotes\\a.pdf]は、フルパスで指定してください。")},
      {IDC_OPT_ATTACH_FILES, present + L"; " + folder + L"\\none.pdf",
       W(u8"添付ファイル[") + folder + W(u8"\\none.pdf]が見つからないか、読み込めません。")},
      {IDC_OPT_ATTACH_FILES, folder, W(u8"添付ファイル[") + folder + W(u8"]が見つからないか、読み込めません。")},
      {IDC_OPT_ATTACH_COLUMN, L"1", W(u8"添付ファイルの列") + columnRule},
      {IDC_OPT_ATTACH_COLUMN, L"AB", W(u8"添付ファイルの列") + columnRule},
      {IDC_OPT_CC, L"boss@example.jp, boss", W(u8"Ccのメールアドレス[boss]に誤りがあります。")},
      {IDC_OPT_CC, L"bo ss@example.jp", W(u8"Ccのメールアドレス[bo ss@example.jp]に誤りがあります。")},
      {IDC_OPT_CC_COLUMN, W(u8"あ"), W(u8"Ccの列") + columnRule},
      {IDC_OPT_BCC, L"<archive@example.jp>", W(u8"Bccのメールアドレス[<archive@example.jp>]に誤りがあります。")},
      {IDC_OPT_BCC_COLUMN, L"-", W(u8"Bccの列") + columnRule},
      {IDC_OPT_REPLY_TO, L"sales.example.jp", W(u8"返信先(Reply-To)のメールアドレス[sales.example.jp]に誤りがあります。")},
      {IDC_OPT_OPT_OUT_FILE, L"optout.txt", W(u8"配信停止リスト[optout.txt]は、フルパスで指定してください。")},
      {IDC_OPT_OPT_OUT_FILE, folder + L"\\optout.txt",
       W(u8"配信停止リスト[") + folder + W(u8"\\optout.txt]が見つからないか、読み込めません。")},
      {IDC_OPT_LIST_UNSUBSCRIBE, L"http://example.jp/u", unsubscribeRule},
      {IDC_OPT_LIST_UNSUBSCRIBE, L"mailto:unsubscribe", unsubscribeRule},
      {IDC_OPT_LIST_UNSUBSCRIBE, L"mailto:a@example.jp,mailto:b@example.jp", unsubscribeRule},
      {IDC_OPT_LIST_UNSUBSCRIBE, L"https://example.jp/u?id={ID} x", unsubscribeRule},
      {IDC_OPT_LIST_UNSUBSCRIBE, L"<https://example.jp/u>", unsubscribeRule},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToCp932(c.message));
    for (int id : kTextFields) SetField(d, id, id == c.id ? c.text : L"");
    p.PostClick(IDOK, d);
    HWND box = WaitForOptionsMessage(p, d);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), d);
    EXPECT_EQ(Program::MessageBoxText(box), c.message);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);  // OK only
    ASSERT_TRUE(Program::CloseMessageBox(box));
    EXPECT_TRUE(IsWindow(d));
    EXPECT_EQ(FieldText(d, c.id), c.text);  // the input stays for correcting
  }
  // Two faults: the upper field's message comes first.
  for (int id : kTextFields) SetField(d, id, L"");
  SetField(d, IDC_OPT_REPLY_TO, L"reply");
  SetField(d, IDC_OPT_CC, L"copy");
  p.PostClick(IDOK, d);
  HWND box = WaitForOptionsMessage(p, d);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Program::MessageBoxText(box), W(u8"Ccのメールアドレス[copy]に誤りがあります。"));
  ASSERT_TRUE(Program::CloseMessageBox(box));
  EXPECT_FALSE(data.Exists(L"Options.def"));
  p.PostClick(IDCANCEL, d);
  ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(d); }));
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_FALSE(data.Exists(L"Options.def"));
}

TEST(OptionsDialog, ConfirmWritesTheCheckedValuesAndKeepsTheLinesOfUnknownKeys) {
  DataRoot data;
  const std::wstring folder = data.folder();
  const std::wstring quote = folder + W(u8"\\見積書 1.pdf");
  const std::wstring brochure = folder + L"\\brochure.pdf";
  const std::wstring optOut = folder + W(u8"\\配信停止.txt");
  ASSERT_TRUE(data.Write(W(u8"見積書 1.pdf").c_str(), "%PDF-1.4\n"));
  ASSERT_TRUE(data.Write(L"brochure.pdf", "%PDF-1.4\n"));
  ASSERT_TRUE(data.Write(W(u8"配信停止.txt").c_str(), "stop@example.jp\r\n"));
  // Unknown keys (a later version's, a note) stay where they are, in their own bytes.
  ASSERT_TRUE(data.Write(L"Options.def", OptionsText({L"Cc=old@example.jp", W(u8"Future=未来の設定"),
                                                        L"TlsMode=implicit", L"note without equals"})));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  HWND d = OpenOptions(p);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(FieldText(d, IDC_OPT_CC), L"old@example.jp");
  EXPECT_EQ(SendMessageW(GetDlgItem(d, IDC_OPT_TLS_MODE), CB_GETCURSEL, 0, 0), 1);
  EXPECT_TRUE(Checked(d, IDC_OPT_VERIFY_CERTIFICATE));  // missing keys take their defaults
  EXPECT_TRUE(Checked(d, IDC_OPT_PLAIN_TEXT_PART));
  // Lists with spaces, quotes and a stray separator; a column letter typed in lower case.
  SetField(d, IDC_OPT_ATTACH_FILES, L" \"" + quote + L"\" ; " + brochure + L";");
  SetField(d, IDC_OPT_ATTACH_COLUMN, L"");
  SendMessageW(GetDlgItem(d, IDC_OPT_ATTACH_COLUMN), WM_CHAR, L'e', 1);
  SetField(d, IDC_OPT_CC, L"boss@example.jp , team@example.jp");
  SetField(d, IDC_OPT_BCC, L"archive@example.jp");
  SetField(d, IDC_OPT_REPLY_TO, L"  sales@example.jp  ");
  SetField(d, IDC_OPT_CC_COLUMN, L"H");
  SetField(d, IDC_OPT_OPT_OUT_FILE, optOut);
  SetField(d, IDC_OPT_LIST_UNSUBSCRIBE,
           W(u8"https://example.jp/stop?id={顧客 番号}, mailto:stop@example.jp?subject=stop-{顧客 番号}"));
  SendMessageW(GetDlgItem(d, IDC_OPT_VERIFY_CERTIFICATE), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(GetDlgItem(d, IDC_OPT_PLAIN_TEXT_PART), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(GetDlgItem(d, IDC_OPT_TLS_MODE), CB_SETCURSEL, 2, 0);
  EXPECT_EQ(FieldText(d, IDC_OPT_ATTACH_COLUMN), L"E");
  ASSERT_TRUE(Confirm(p, d));
  const std::string written = OptionsText({
      L"AttachFiles=" + quote + L";" + brochure,
      L"AttachColumn=E",
      L"Cc=boss@example.jp,team@example.jp",
      L"Bcc=archive@example.jp",
      L"ReplyTo=sales@example.jp",
      L"CcColumn=H",
      L"BccColumn=",
      L"OptOutFile=" + optOut,
      W(u8"ListUnsubscribe=https://example.jp/stop?id={顧客 番号},mailto:stop@example.jp?subject=stop-{顧客 番号}"),
      L"VerifyCertificate=0",
      L"PlainTextPart=0",
      L"TlsMode=starttls",
      W(u8"Future=未来の設定"),
      L"note without equals",
  });
  EXPECT_EQ(data.Read(L"Options.def"), written);
  EXPECT_FALSE(data.Exists(L"Options.def.new"));

  // Opened again, it shows what it wrote; confirming unchanged writes the same bytes.
  d = OpenOptions(p);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(FieldText(d, IDC_OPT_ATTACH_FILES), quote + L";" + brochure);
  EXPECT_FALSE(Checked(d, IDC_OPT_VERIFY_CERTIFICATE));
  EXPECT_EQ(SendMessageW(GetDlgItem(d, IDC_OPT_TLS_MODE), CB_GETCURSEL, 0, 0), 2);
  ASSERT_TRUE(Confirm(p, d));
  EXPECT_EQ(data.Read(L"Options.def"), written);
  // Environ.def is another file: the options never go into it.
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_EQ(data.Read(L"Options.def"), written);
  std::vector<std::string> stored = SettingsLines(Unscramble(data.Read(L"Environ.psw")));
  EXPECT_EQ(stored, BuiltInSettingsLines());
}

TEST(OptionsDialog, AFileThatCannotBeReadIsNotOpenedAndOneThatCannotBeWrittenKeepsTheDialog) {
  DataRoot data;
  // A folder in the file's place: it exists but cannot be read as a file.
  ASSERT_TRUE(CreateDirectoryW(data.file(L"Options.def").c_str(), nullptr));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  PostMessageW(p.main(), WM_SYSCOMMAND, IDM_OPTIONS, 0);
  HWND box = p.WaitForMessageBox(kMainCaption.c_str());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetWindow(box, GW_OWNER), p.main());
  EXPECT_EQ(Program::MessageBoxText(box),
            W(u8"拡張設定ファイル[") + data.file(L"Options.def") + W(u8"]を読み込めません。"));
  ASSERT_TRUE(Program::CloseMessageBox(box));
  EXPECT_EQ(FindCaptioned(p, kOptionsTitle, nullptr, 500), nullptr);
  ASSERT_TRUE(RemoveDirectoryW(data.file(L"Options.def").c_str()));

  // The file is written beside and then put in place: a folder in the way of that refuses the
  // write, and the dialog stays open with its values for another try.
  ASSERT_TRUE(CreateDirectoryW(data.file(L"Options.def.new").c_str(), nullptr));
  HWND d = OpenOptions(p);
  ASSERT_NE(d, nullptr);
  SetField(d, IDC_OPT_BCC, L"archive@example.jp");
  p.PostClick(IDOK, d);
  box = WaitForOptionsMessage(p, d);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Program::MessageBoxText(box),
            W(u8"拡張設定ファイル[") + data.file(L"Options.def") + W(u8"]に書き込めません。"));
  ASSERT_TRUE(Program::CloseMessageBox(box));
  EXPECT_TRUE(IsWindow(d));
  EXPECT_FALSE(data.Exists(L"Options.def"));
  ASSERT_TRUE(RemoveDirectoryW(data.file(L"Options.def.new").c_str()));
  ASSERT_TRUE(Confirm(p, d));
  EXPECT_NE(data.Read(L"Options.def").find("\r\nBcc=archive@example.jp\r\n"), std::string::npos);
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

TEST(OptionsDialog, PickersAddAnAttachmentAndReplaceTheOptOutFile) {
  DataRoot data;
  const std::wstring first = data.folder() + W(u8"\\会社案内.pdf");
  const std::wstring second = data.folder() + L"\\price list.xlsx";
  const std::wstring optOut = data.folder() + L"\\optout.txt";
  for (const std::wstring& f : {first, second, optOut})
    ASSERT_TRUE(data.Write(f.substr(data.folder().size() + 1).c_str(), "x"));
  Program p(data);
  ASSERT_NE(p.main(), nullptr);
  HWND d = OpenOptions(p);
  ASSERT_NE(d, nullptr);
  struct Pick {
    int button, field;
    std::wstring chosen;  // empty: cancelled
    std::wstring shown;
  } picks[] = {
      {IDC_OPT_ADD_ATTACH_FILE, IDC_OPT_ATTACH_FILES, first, first},
      {IDC_OPT_ADD_ATTACH_FILE, IDC_OPT_ATTACH_FILES, L"", first},
      {IDC_OPT_ADD_ATTACH_FILE, IDC_OPT_ATTACH_FILES, second, first + L";" + second},
      {IDC_OPT_PICK_OPT_OUT_FILE, IDC_OPT_OPT_OUT_FILE, optOut, optOut},
      {IDC_OPT_PICK_OPT_OUT_FILE, IDC_OPT_OPT_OUT_FILE, first, first},
  };
  for (const Pick& pick : picks) {
    SCOPED_TRACE(ToCp932(pick.shown));
    p.PostClick(pick.button, d);
    HWND chooser = p.WaitForFileDialog(d);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(GetWindow(chooser, GW_OWNER), d);
    if (pick.chosen.empty())
      PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else
      ASSERT_TRUE(Program::ChooseInFileDialog(chooser, pick.chosen));
    ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(chooser); }));
    EXPECT_TRUE(WaitUntil(2000, [&] { return FieldText(d, pick.field) == pick.shown; }));
  }
  ASSERT_TRUE(Confirm(p, d));
  std::string file = data.Read(L"Options.def");
  EXPECT_NE(file.find("AttachFiles=" + ToCp932(first + L";" + second) + "\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("OptOutFile=" + ToCp932(first) + "\r\n"), std::string::npos) << file;
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

TEST(OptionsDialog, IsRefusedWhileARunLastsAndOpensAgainAfterIt) {
  DataRoot data;
  const std::wstring list = data.folder() + L"\\list.csv";
  const std::wstring body = data.folder() + L"\\body.txt";
  const std::wstring record = data.folder() + L"\\tool-record.txt";
  ASSERT_TRUE(data.Write(L"body.txt", "Dear {name},\r\n"));
  ASSERT_TRUE(data.Write(L"list.csv", "name,email\r\nTaro,taro@example.jp\r\n"));
  std::vector<std::string> lines = {"sales@example.jp", "sales@example.jp", "pw", "Sales", "127.0.0.1", "465",
                                    "News for {name}", ToCp932(body), ToCp932(list), "list", "B", "2", "2", "1",
                                    "test@example.jp"};
  ASSERT_TRUE(data.Write(L"Environ.def", SettingsText(lines)));
  const std::wstring tool = data.programFolder() + L"\\SMTP.exe";
  ASSERT_TRUE(CopyFileW((FolderOfThisProgram() + L"\\gui_tool_standin.exe").c_str(), tool.c_str(), FALSE));
  {
    // The stand-in transfer tool takes 3 seconds for its one mail.
    Program p(data, L"ROWCASTER_TOOL_RECORD=" + record + std::wstring(1, L'\0') + L"ROWCASTER_TOOL_DELAY_MS=3000");
    ASSERT_NE(p.main(), nullptr);
    p.PostClick(IDC_TEST_SEND);
    ASSERT_TRUE(WaitUntil(5000, [&] { return IsWindowEnabled(p.item(IDC_STOP)) != FALSE; }));
    // The system menu's command comes to nothing while the run lasts.
    PostMessageW(p.main(), WM_SYSCOMMAND, IDM_OPTIONS, 0);
    p.Settle();
    EXPECT_EQ(FindCaptioned(p, kOptionsTitle, nullptr, 500), nullptr);
    EXPECT_TRUE(IsWindowEnabled(p.item(IDC_STOP)));  // still running when it was refused
    ASSERT_TRUE(WaitUntil(20000, [&] { return IsWindowEnabled(p.item(IDC_TEST_SEND)) != FALSE; }));
    EXPECT_NE(ReadBytes(record).find("--url"), std::string::npos);
    // The refused command did not wait for the run's end either.
    EXPECT_EQ(FindCaptioned(p, kOptionsTitle, nullptr, 300), nullptr);
    HWND d = OpenOptions(p);
    ASSERT_NE(d, nullptr);
    p.PostClick(IDCANCEL, d);
    ASSERT_TRUE(WaitUntil(5000, [&] { return !IsWindow(d); }));
    ASSERT_TRUE(p.Click(IDCANCEL));
    ASSERT_TRUE(p.WaitForExit(10000));
  }
  DeleteFileW(tool.c_str());
}

}  // namespace
