#include "app/smtp_set.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app_texts.h"
#include "text/sjis_text.h"
#include "resources/resource.h"
#include "settings/send_settings.h"

namespace {

struct SmtpBrushes {
  HBRUSH White, Grey, Navy;
};
const SmtpBrushes gBrushes = {CreateSolidBrush(RGB(255, 255, 255)), CreateSolidBrush(RGB(200, 200, 200)),
                              CreateSolidBrush(RGB(0, 10, 60))};

}  // namespace

SmtpSet::SmtpSet(CWnd* parent)
    : CDialogEx(IDD_SMTP_SETTINGS, parent),
      // control, member, working copy and its read size, typing limit, SendSettings value and its size
      Fields{{IDC_SMTP_MAIL_ADDRESS, MailAddressField, MailAddress, sizeof MailAddress, 256,  //
              SendSettings.MailAddress, sizeof SendSettings.MailAddress, &LoginIdField},
             {IDC_SMTP_LOGIN_ID, LoginIdField, LoginId, sizeof LoginId, 256,  //
              SendSettings.LoginId, sizeof SendSettings.LoginId},
             {IDC_SMTP_PASSWORD, PasswordField, Password, sizeof Password, 256,  //
              SendSettings.Password, sizeof SendSettings.Password},
             {IDC_SMTP_SENDER_NAME, SenderNameField, SenderName, sizeof SenderName, 256,  //
              SendSettings.SenderName, sizeof SendSettings.SenderName},
             {IDC_SMTP_SERVER, SmtpServerField, SmtpServer, sizeof SmtpServer, 256,  //
              SendSettings.SmtpServer, sizeof SendSettings.SmtpServer},
             {IDC_SMTP_PORT, SmtpPortField, SmtpPort, sizeof SmtpPort, 5,  //
              SendSettings.SmtpPort, sizeof SendSettings.SmtpPort}} {
  for (const AccountField& field : Fields) {
    if (!field.follower) continue;
    RouteChange(field.id, [&field] {
      std::vector<char> text(static_cast<size_t>(field.readSize));
      field.control.GetWindowText(text.data(), field.readSize);
      field.follower->SetWindowText(text.data());
    });
  }
}

void SmtpSet::CopyFromSettings() {
  // A port longer than its working copy (only a hand-written settings file has one) is cut.
  for (const AccountField& field : Fields) CopyWhole(field.copy, field.setting, static_cast<size_t>(field.readSize));
}

void SmtpSet::CopyToSettings() const {
  for (const AccountField& field : Fields) CopyWhole(field.setting, field.copy, static_cast<size_t>(field.settingSize));
}

void SmtpSet::DoDataExchange() {
  for (const AccountField& field : Fields) BindControl(static_cast<int>(field.id), field.control);
  BindControl(IDOK, ConfirmButton);
}

BOOL SmtpSet::OnInitDialog() {
  CDialogEx::OnInitDialog();
  for (const AccountField& field : Fields) field.control.SetLimitText(field.typingLimit);
  for (const AccountField& field : Fields) field.control.SetWindowText(field.copy);
  ::SetFocus(ConfirmButton.m_hWnd);
  return FALSE;
}

HBRUSH SmtpSet::OnCtlColor(HDC dc, HWND, UINT kind) {
  SetBkMode(dc, TRANSPARENT);
  switch (kind) {
    case CTLCOLOR_EDIT:
      SetTextColor(dc, RGB(0, 0, 0));
      return gBrushes.White;
    case CTLCOLOR_DLG:
      return gBrushes.Grey;
    case CTLCOLOR_STATIC:
      SetTextColor(dc, RGB(255, 255, 255));
      return gBrushes.Navy;
    default:
      return nullptr;
  }
}

bool SmtpSet::CheckValues() {
  const char* failure = nullptr;
  long port = std::atol(SmtpPort);
  if (!MailAddress[0]) failure = kSmtpNoMailAddress;
  else if (!std::strchr(MailAddress, '@')) failure = kSmtpBadMailAddress;
  else if (!LoginId[0]) failure = kSmtpNoLoginId;
  else if (!Password[0]) failure = kSmtpNoPassword;
  else if (!SenderName[0]) failure = kSmtpNoSenderName;
  else if (!SmtpServer[0]) failure = kSmtpNoServer;
  else if (!SmtpPort[0]) failure = kSmtpNoPort;
  else if (port < 0 || port > 65535) failure = kSmtpBadPort;
  if (!failure) return true;
  MessageBox(failure, kSmtpCaption, MB_OK);
  return false;
}

void SmtpSet::OnOK() {
  for (const AccountField& field : Fields) {
    field.control.GetWindowText(field.copy, field.readSize);
    TrimField(field.copy);
  }
  if (CheckValues()) EndDialog(IDOK);
}
