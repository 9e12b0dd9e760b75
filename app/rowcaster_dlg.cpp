#include "app/rowcaster_dlg.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <commdlg.h>
#include <shellapi.h>

#include "app/messages.h"
#include "app/smtp_set.h"
#include "framework/win_app.h"
#include "engine/run_state.h"
#include "text/sjis_text.h"
#include "resources/resource.h"
#include "platform/files.h"
#include "platform/process.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"
#include "settings/settings_store.h"

CCButton SendButton;
CProgressCtrl* ProgressBar = nullptr;
int StartRowFixing = 0;

const WindowBrushes Brushes = {
    CreateSolidBrush(RGB(255, 255, 255)), CreateSolidBrush(RGB(240, 240, 240)), CreateSolidBrush(RGB(120, 160, 255)),
    CreateSolidBrush(RGB(0, 10, 60)),     CreateSolidBrush(RGB(190, 255, 0)),
};

// " Rowcaster  セールス用のメール一括送信"
const char kCreditText[] =
    " Rowcaster  \x83\x5a\x81\x5b\x83\x8b\x83\x58\x97\x70\x82\xcc\x83\x81\x81\x5b\x83\x8b\x88\xea\x8a\x87\x91\x97\x90\x4d";

namespace {

bool IsOneOf(int id, std::initializer_list<int> ids) {
  for (int i : ids)
    if (i == id) return true;
  return false;
}

}  // namespace

void FormatClock(const struct tm& moment, char* out, size_t size) {
  if (!out || size == 0) return;
  if (std::strftime(out, size, " %Y/%m/%d %a %H:%M:%S", &moment) == 0) out[0] = '\0';
}

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUTBOX) {}

CRowcasterDlg::CRowcasterDlg(CWnd* parent) : CDialogEx(IDD_ROWCASTER_DIALOG, parent) {
  m_hIcon = LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  RouteCommand(IDCANCEL, [this] { SaveSettingsAndExit(); });
  RouteCommand(IDC_SMTP_SETTINGS, [this] { OnSmtpSettings(); });
  RouteCommand(IDOK, [this] { OnSend(); });
  RouteCommand(IDC_TEST_SEND, [this] { OnTestSend(); });
  RouteCommand(IDC_STOP, [this] { OnStop(); });
  RouteCommand(IDC_PICK_BODY, [this] { OnPickBodyFile(); });
  RouteCommand(IDC_PICK_LIST, [this] { OnPickListFile(); });
  RouteCommand(IDC_EDIT_BODY, [this] { OnEditBody(); });
  RouteCommand(IDC_EDIT_LIST, [this] { OnEditList(); });
  RouteCommand(IDC_VIEW_LOG, [this] { OnViewLog(); });
  BindValue(MailTitleField, IDC_MAIL_TITLE, SendSettings.MailTitle, sizeof SendSettings.MailTitle);
  BindValue(BodyFileField, IDC_BODY_FILE, SendSettings.BodyFile, sizeof SendSettings.BodyFile);
  BindValue(ListFileField, IDC_LIST_FILE, SendSettings.ListFile, sizeof SendSettings.ListFile);
  RouteChange(IDC_START_ROW, [this] { OnStartRowChange(); });
  BindValue(EndRowField, IDC_END_ROW, SendSettings.EndRow, sizeof SendSettings.EndRow);
  BindValue(IntervalField, IDC_INTERVAL, SendSettings.IntervalSeconds, sizeof SendSettings.IntervalSeconds);
  BindValue(TestAddressField, IDC_TEST_ADDRESS, SendSettings.TestAddress, sizeof SendSettings.TestAddress);
  BindValue(SheetNameField, IDC_SHEET_NAME, SendSettings.SheetName, sizeof SendSettings.SheetName);
  BindValue(MailColumnField, IDC_MAIL_COLUMN, SendSettings.MailColumn, sizeof SendSettings.MailColumn);
}

// Every change of the field copies its text into the value (at most readBack - 1 bytes) and trims it.
void CRowcasterDlg::BindValue(CEdit& field, int id, char* value, int readBack) {
  RouteChange(static_cast<UINT>(id), [&field, value, readBack] {
    field.GetWindowText(value, readBack);
    TrimField(value);
  });
}

void CRowcasterDlg::OnStartRowChange() {
  if (StartRowFixing == 1) return;
  StartRowField.GetWindowText(SendSettings.StartRow, sizeof SendSettings.StartRow);
  TrimField(SendSettings.StartRow);
  if (std::atol(SendSettings.StartRow) >= 2) return;
  StartRowFixing = 1;
  StartRowField.SetWindowText("2");
  std::strcpy(SendSettings.StartRow, "2");
  StartRowFixing = 0;
}

void CRowcasterDlg::DoDataExchange() {
  BindControl(IDC_RUN_ANIMATION, RunAnimation);
  BindControl(IDC_MAIL_ADDRESS, MailAddressField);
  BindControl(IDC_MAIL_TITLE, MailTitleField);
  BindControl(IDC_BODY_FILE, BodyFileField);
  BindControl(IDC_LIST_FILE, ListFileField);
  BindControl(IDC_SHEET_NAME, SheetNameField);
  BindControl(IDC_MAIL_COLUMN, MailColumnField);
  BindControl(IDC_START_ROW, StartRowField);
  BindControl(IDC_END_ROW, EndRowField);
  BindControl(IDC_INTERVAL, IntervalField);
  BindControl(IDC_TEST_ADDRESS, TestAddressField);
  BindControl(IDC_STOP, StopButton);
  BindControl(IDC_VIEW_LOG, LogButton);
  BindControl(IDC_STATUS, StatusField);
  BindControl(IDC_EDIT_BODY, EditBodyButton);
  BindControl(IDC_EDIT_LIST, EditListButton);
  BindControl(IDC_PROGRESS, RunProgress);
  BindControl(IDCANCEL, ExitButton);
  BindControl(IDC_SMTP_SETTINGS, SmtpButton);
  BindControl(IDC_PICK_BODY, PickBodyButton);
  BindControl(IDC_PICK_LIST, PickListButton);
}

BOOL CRowcasterDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) EscapePressed = 1;
  return CDialogEx::PreTranslateMessage(msg);
}

BOOL CRowcasterDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();

  HMENU systemMenu = GetSystemMenu(false);
  wchar_t about[128] = {};
  if (systemMenu && LoadStringW(ProgramInstance(), IDS_ABOUTBOX, about, 128) > 0 && about[0]) {
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
  }
  SetIcon(m_hIcon, true);
  SetIcon(m_hIcon, false);

  std::setlocale(LC_TIME, "Japanese_Japan.932");

  StatusBar.Create(this, WS_CHILD | WS_VISIBLE | CCS_BOTTOM, IDW_STATUS_BAR);
  const UINT indicators[] = {ID_INDICATOR_CREDIT, ID_INDICATOR_CLOCK};
  StatusBar.SetIndicators(indicators, 2);
  RECT outer;
  GetWindowRect(&outer);
  StatusBar.SetPaneInfo(0, ID_INDICATOR_CREDIT, CStatusBar::kStretch, 0);
  StatusBar.SetPaneInfo(1, ID_INDICATOR_CLOCK, 0, (outer.right - outer.left) / 4);
  StatusBar.SetBkColor(RGB(255, 255, 255));
  StatusBar.Reposition();
  StatusBar.SetPaneText(0, kCreditText);

  SetTimer(kClockTimer, 990);

  SendButton.SubclassDlgItem(IDOK, this);
  SendButton.SetFaceColor(RGB(0, 90, 20));
  SendButton.SetCaptionColor(RGB(255, 255, 255));
  SendButton.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

  MailTitleField.SetLimitText(256);
  BodyFileField.SetLimitText(kPathCapacity);
  ListFileField.SetLimitText(kPathCapacity);
  SheetNameField.SetLimitText(256);
  MailColumnField.SetLimitText(1);
  StartRowField.SetLimitText(6);
  EndRowField.SetLimitText(6);
  IntervalField.SetLimitText(6);
  TestAddressField.SetLimitText(256);

  MailAddressField.SetWindowText(SendSettings.MailAddress);
  MailTitleField.SetWindowText(SendSettings.MailTitle);
  BodyFileField.SetWindowText(SendSettings.BodyFile);
  ListFileField.SetWindowText(SendSettings.ListFile);
  StartRowField.SetWindowText(SendSettings.StartRow);
  EndRowField.SetWindowText(SendSettings.EndRow);
  IntervalField.SetWindowText(SendSettings.IntervalSeconds);
  TestAddressField.SetWindowText(SendSettings.TestAddress[0] ? SendSettings.TestAddress : SendSettings.MailAddress);
  SheetNameField.SetWindowText(SendSettings.SheetName);
  MailColumnField.SetWindowText(SendSettings.MailColumn);

  StopButton.EnableWindow(false);
  LogButton.EnableWindow(true);

  RunProgress.SetBarColor(RGB(0, 90, 20));
  RunProgress.ShowWindow(SW_HIDE);
  ProgressBar = &RunProgress;

  ::SetFocus(MailTitleField.m_hWnd);
  return FALSE;
}

void CRowcasterDlg::EnableEditingControls(int enable) {
  const int ids[] = {IDC_TEST_SEND, IDOK,          IDC_VIEW_LOG,   IDC_EDIT_BODY, IDC_EDIT_LIST,
                     IDC_SMTP_SETTINGS, IDCANCEL,  IDC_PICK_BODY,  IDC_PICK_LIST, IDC_MAIL_TITLE,
                     IDC_BODY_FILE, IDC_LIST_FILE, IDC_SHEET_NAME, IDC_MAIL_COLUMN, IDC_START_ROW,
                     IDC_END_ROW,   IDC_INTERVAL,  IDC_TEST_ADDRESS};
  for (int id : ids) ::EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE);
}

void CRowcasterDlg::SaveSettingsAndExit() {
  if (RunState.Running == 1) {
    ShowMessage(u8"メール送信が実行中です。送信を停止してから終了してください。");
    return;
  }
  // A run that has just ended may still be closing its workbook.
  if (runThread_) {
    WaitForSingleObject(runThread_, 5000);
    CloseHandle(runThread_);
    runThread_ = nullptr;
  }
  StoreSettings();
  EndDialog(IDCANCEL);
}

void CRowcasterDlg::ShowClock() {
  std::time_t now = std::time(nullptr);
  char text[128] = {};
  if (const struct tm* local = std::localtime(&now)) FormatClock(*local, text, sizeof text);
  StatusBar.SetPaneText(1, text);
}

void CRowcasterDlg::OnTimer(UINT_PTR id) {
  KillTimer(id);
  if (id == kClockTimer) {
    SetTimer(kClockTimer, 1000);
    ShowClock();
  } else if (id == kRunWatchTimer) {
    OnRunWatchTimer();
  }
}

HBRUSH CRowcasterDlg::OnCtlColor(HDC dc, HWND control, UINT kind) {
  SetBkMode(dc, TRANSPARENT);
  switch (kind) {
    case CTLCOLOR_EDIT:
      SetTextColor(dc, RGB(0, 0, 0));
      return Brushes.White;
    case CTLCOLOR_DLG:
      return Brushes.LightBlue;
    case CTLCOLOR_STATIC: {
      int id = ::GetDlgCtrlID(control);
      if (id == IDC_STATUS) {
        SetTextColor(dc, RGB(0, 0, 0));
        return Brushes.LightBlue;
      }
      if (id == IDC_RUN_ANIMATION) return Brushes.LightBlue;
      if (id == IDC_MAIL_ADDRESS) {
        SetTextColor(dc, RGB(0, 0, 0));
        return Brushes.LightGrey;
      }
      if (IsOneOf(id, {IDC_ROW_TILDE, IDC_ROW_LABEL, IDC_SECONDS_LABEL, IDC_ALL_ADDRESSES_LABEL, IDC_CHANGE_TO_LABEL})) {
        SetTextColor(dc, RGB(0, 0, 0));
        return Brushes.LightBlue;
      }
      if (id == IDC_STATUS_LABEL) {
        SetTextColor(dc, RGB(255, 0, 0));
        return Brushes.White;
      }
      if (id == IDC_SHEET_LABEL || id == IDC_COLUMN_LABEL) {
        SetTextColor(dc, RGB(0, 10, 60));
        return Brushes.Lime;
      }
      if (IsOneOf(id, {IDC_MAIL_TITLE, IDC_BODY_FILE, IDC_LIST_FILE, IDC_SHEET_NAME, IDC_MAIL_COLUMN, IDC_START_ROW,
                       IDC_END_ROW, IDC_INTERVAL, IDC_TEST_ADDRESS})) {
        SetTextColor(dc, RGB(0, 0, 0));
        return Brushes.White;
      }
      SetTextColor(dc, RGB(255, 255, 255));
      return Brushes.Navy;
    }
    default:
      return nullptr;
  }
}

bool CRowcasterDlg::OnSysCommand(UINT id, LPARAM) {
  if ((id & 0xFFF0) != IDM_ABOUTBOX) return false;
  CAboutDlg about;
  about.DoModal();
  return true;
}

bool CRowcasterDlg::OnPaint() {
  if (!IsIconic()) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(&client);
  int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &ps);
  return true;
}

HCURSOR CRowcasterDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CRowcasterDlg::ShowMessage(const char* utf8Text) const {
  MessageBox(Sjis(utf8Text).c_str(), Sjis(kMainCaptionUtf8).c_str(), MB_OK);
}

void CRowcasterDlg::OnSmtpSettings() {
  SmtpSet dialog;
  CopyWhole(dialog.MailAddress, SendSettings.MailAddress, sizeof dialog.MailAddress);
  CopyWhole(dialog.LoginId, SendSettings.LoginId, sizeof dialog.LoginId);
  CopyWhole(dialog.Password, SendSettings.Password, sizeof dialog.Password);
  CopyWhole(dialog.SenderName, SendSettings.SenderName, sizeof dialog.SenderName);
  CopyWhole(dialog.SmtpServer, SendSettings.SmtpServer, sizeof dialog.SmtpServer);
  // A port longer than the working copy (only a hand-written settings file has one) is cut.
  CopyWhole(dialog.SmtpPort, SendSettings.SmtpPort, sizeof dialog.SmtpPort);
  if (dialog.DoModal() != IDOK) return;
  CopyWhole(SendSettings.MailAddress, dialog.MailAddress, sizeof SendSettings.MailAddress);
  CopyWhole(SendSettings.LoginId, dialog.LoginId, sizeof SendSettings.LoginId);
  CopyWhole(SendSettings.Password, dialog.Password, sizeof SendSettings.Password);
  CopyWhole(SendSettings.SenderName, dialog.SenderName, sizeof SendSettings.SenderName);
  CopyWhole(SendSettings.SmtpServer, dialog.SmtpServer, sizeof SendSettings.SmtpServer);
  CopyWhole(SendSettings.SmtpPort, dialog.SmtpPort, sizeof SendSettings.SmtpPort);
  MailAddressField.SetWindowText(SendSettings.MailAddress);
  if (!SendSettings.TestAddress[0]) TestAddressField.SetWindowText(SendSettings.MailAddress);
}

const char* PickFile(const char* initialFolder, const char* keyword) {
  static char picked[kPathCapacity];
  std::string filter;
  if (std::strcmp(keyword, "xls") == 0) {
    filter = "Excel(*.xlsx;*.xls)|*.xlsx;*.xls||";
  } else if (std::strcmp(keyword, "txt") == 0) {
    filter = "Text/Html(*.txt;*.htm;*.html)|*.txt;*.htm;*.html||";
  } else {
    std::string k = keyword;
    filter = k + "(*." + k + ")|*." + k + "||";
  }
  picked[0] = '\0';
  std::wstring wideFilter = platform::Cp932ToWide(filter.c_str());
  for (wchar_t& c : wideFilter)
    if (c == L'|') c = L'\0';
  std::wstring folder = platform::Cp932ToWide(initialFolder ? initialFolder : "");
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  CWnd* main = CWinApp::MainWindow();
  ofn.hwndOwner = main ? main->m_hWnd : nullptr;
  ofn.lpstrFilter = wideFilter.c_str();
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_CREATEPROMPT;
  if (!GetOpenFileNameW(&ofn)) return picked;
  std::string path;
  bool exact = platform::WideToCp932(file.data(), path);
  if (!exact || path.size() >= sizeof picked) {
    // Cutting the path or putting "?" into it would name another file.
    std::string text = Sjis(u8"選択されたファイルのパスは長すぎるか、使用できない文字を含んでいます。");
    ::MessageBoxW(ofn.hwndOwner, platform::Cp932ToWide(text.c_str()).c_str(),
                  platform::Cp932ToWide(Sjis(kMainCaptionUtf8).c_str()).c_str(), MB_OK);
    return picked;
  }
  std::memcpy(picked, path.c_str(), path.size() + 1);
  return picked;
}

void ShellOpen(const char* path) {
  std::wstring w = platform::Cp932ToWide(path);
  ShellExecuteW(nullptr, L"open", w.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CRowcasterDlg::OnPickBodyFile() {
  EnableWindow(false);
  const char* path = PickFile(nullptr, "txt");
  if (path[0]) BodyFileField.SetWindowText(path);
  EnableWindow(true);
}

void CRowcasterDlg::OnPickListFile() {
  EnableWindow(false);
  const char* path = PickFile(nullptr, "xls");
  if (path[0]) ListFileField.SetWindowText(path);
  EnableWindow(true);
}

void CRowcasterDlg::OnEditList() {
  if (!SendSettings.ListFile[0]) return;
  if (!platform::PathExists(SendSettings.ListFile)) {
    ShowMessage(u8"送信先アドレス一覧ファイル(Excel)は存在しません。");
    return;
  }
  ShellOpen(SendSettings.ListFile);
}

void CRowcasterDlg::OnViewLog() {
  if (!platform::PathExists(FileLocations.LogPath)) {
    ShowMessage(u8"ログはまだ作成されていません。");
    return;
  }
  ShellOpen(FileLocations.LogPath);
}

int RunVisibleAndWait(const std::vector<std::string>& arguments) {
  std::string line;
  if (!platform::BuildWindowsCommandLine(arguments, line)) return -1;
  std::wstring wide = platform::Cp932ToWide(line.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

void CRowcasterDlg::OnEditBody() {
  if (!SendSettings.BodyFile[0]) return;
  if (!platform::PathExists(SendSettings.BodyFile)) {
    ShowMessage(u8"メール本文ファイルは存在しません。");
    return;
  }
  std::vector<std::string> arguments;
  if (platform::PathExists(FileLocations.EditorPath)) {
    arguments = {FileLocations.EditorPath, SendSettings.BodyFile};
  } else {
    // Without the editor beside the program, the system's own text editor.
    wchar_t windows[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring notepad = (n > 0 && n < MAX_PATH) ? std::wstring(windows) + L"\\notepad.exe" : L"notepad.exe";
    arguments = {platform::WideToCp932(notepad.c_str()), SendSettings.BodyFile};
  }
  // The window waits here until the editor has ended.
  RunVisibleAndWait(arguments);
}
