#include "app/rowcaster_dlg.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/app_texts.h"
#include "app/options_dlg.h"
#include "app/smtp_set.h"
#include "framework/win_app.h"
#include "engine/run_state.h"
#include "text/sjis_text.h"
#include "resources/resource.h"
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

CRowcasterDlg::CRowcasterDlg(CWnd* parent)
    : CDialogEx(IDD_ROWCASTER_DIALOG, parent),
      // control, member, SendSettings value, read back, typing limit [, when empty, at least, filled by checks]
      Fields{{IDC_MAIL_ADDRESS, MailAddressField, SendSettings.MailAddress, 0, 0},
             {IDC_MAIL_TITLE, MailTitleField, SendSettings.MailTitle, sizeof SendSettings.MailTitle, 256},
             {IDC_BODY_FILE, BodyFileField, SendSettings.BodyFile, sizeof SendSettings.BodyFile, kPathCapacity},
             {IDC_LIST_FILE, ListFileField, SendSettings.ListFile, sizeof SendSettings.ListFile, kPathCapacity},
             {IDC_SHEET_NAME, SheetNameField, SendSettings.SheetName, sizeof SendSettings.SheetName, 256},
             {IDC_MAIL_COLUMN, MailColumnField, SendSettings.MailColumn, sizeof SendSettings.MailColumn, 1},
             {IDC_START_ROW, StartRowField, SendSettings.StartRow, sizeof SendSettings.StartRow, 6,  //
              nullptr, "2", true},
             {IDC_END_ROW, EndRowField, SendSettings.EndRow, sizeof SendSettings.EndRow, 6,  //
              nullptr, nullptr, true},
             {IDC_INTERVAL, IntervalField, SendSettings.IntervalSeconds, sizeof SendSettings.IntervalSeconds, 6,  //
              nullptr, nullptr, true},
             {IDC_TEST_ADDRESS, TestAddressField, SendSettings.TestAddress, sizeof SendSettings.TestAddress, 256,  //
              SendSettings.MailAddress, nullptr, true}} {
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
  for (const BoundField& field : Fields)
    if (field.readBack) RouteChange(field.id, [this, &field] { OnFieldChange(field); });
}

const CRowcasterDlg::BoundField* CRowcasterDlg::BoundFieldOf(int id) const {
  for (const BoundField& field : Fields)
    if (static_cast<int>(field.id) == id) return &field;
  return nullptr;
}

// Every change of the field copies its text into the value (at most readBack - 1 bytes) and
// trims it. A value below its least number gets that number back, in the field too; the change
// that this raises is ignored.
void CRowcasterDlg::OnFieldChange(const BoundField& field) {
  if (field.atLeast && StartRowFixing == 1) return;
  field.control.GetWindowText(field.value, field.readBack);
  TrimField(field.value);
  if (!field.atLeast || std::atol(field.value) >= std::atol(field.atLeast)) return;
  StartRowFixing = 1;
  field.control.SetWindowText(field.atLeast);
  CopyWhole(field.value, field.atLeast, static_cast<size_t>(field.readBack));
  StartRowFixing = 0;
}

void CRowcasterDlg::DoDataExchange() {
  BindControl(IDC_RUN_ANIMATION, RunAnimation);
  for (const BoundField& field : Fields) BindControl(static_cast<int>(field.id), field.control);
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
  // Beside the about box: the options dialog.
  wchar_t options[128] = {};
  if (systemMenu && LoadStringW(ProgramInstance(), IDS_OPTIONS, options, 128) > 0 && options[0])
    AppendMenuW(systemMenu, MF_STRING, IDM_OPTIONS, options);
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

  // Setting a field's text raises its change notification, which reads the value back.
  for (const BoundField& field : Fields)
    if (field.typingLimit) field.control.SetLimitText(field.typingLimit);
  for (const BoundField& field : Fields)
    field.control.SetWindowText(field.value[0] || !field.whenEmpty ? field.value : field.whenEmpty);

  StopButton.EnableWindow(false);
  LogButton.EnableWindow(true);

  RunProgress.SetBarColor(RGB(0, 90, 20));
  RunProgress.ShowWindow(SW_HIDE);
  ProgressBar = &RunProgress;

  ::SetFocus(MailTitleField.m_hWnd);
  return FALSE;
}

void CRowcasterDlg::EnableEditingControls(int enable) {
  const int buttons[] = {IDC_TEST_SEND,     IDOK,     IDC_VIEW_LOG,  IDC_EDIT_BODY, IDC_EDIT_LIST,
                         IDC_SMTP_SETTINGS, IDCANCEL, IDC_PICK_BODY, IDC_PICK_LIST};
  for (int id : buttons) ::EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE);
  for (const BoundField& field : Fields)
    if (field.readBack) field.control.EnableWindow(enable != 0);
  // The options are settings too: greyed in the system menu while a run lasts.
  if (HMENU systemMenu = GetSystemMenu(false))
    EnableMenuItem(systemMenu, IDM_OPTIONS, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void CRowcasterDlg::SaveSettingsAndExit() {
  if (RunState.Running == 1) {
    ShowMessage(kRunStillActive);
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
      // The read-back fields ask this way while they are disabled during a run.
      const BoundField* field = BoundFieldOf(id);
      if (field && field->readBack) {
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
  if ((id & 0xFFF0) == IDM_OPTIONS) {
    OnOptions();
    return true;
  }
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

void CRowcasterDlg::ShowMessage(const char* text) const { MessageBox(text, kMainCaption, MB_OK); }

void CRowcasterDlg::OnSmtpSettings() {
  SmtpSet dialog;
  dialog.CopyFromSettings();
  if (dialog.DoModal() != IDOK) return;
  dialog.CopyToSettings();
  MailAddressField.SetWindowText(SendSettings.MailAddress);
  if (!SendSettings.TestAddress[0]) TestAddressField.SetWindowText(SendSettings.MailAddress);
}

void CRowcasterDlg::OnOptions() {
  // The menu item is greyed during a run; a command that comes some other way is refused too.
  if (RunActive()) return;
  COptionsDlg dialog;
  if (!dialog.LoadFromFile()) {
    char message[512];
    std::snprintf(message, sizeof message, kOptionsNotRead, FileLocations.OptionsPath);
    ShowMessage(message);
    return;
  }
  // The dialog writes "Options.def" itself when confirmed; a cancelled one changes nothing.
  dialog.DoModal();
}
