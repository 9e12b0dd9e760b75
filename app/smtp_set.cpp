#include "app/smtp_set.h"

#include <cstdlib>
#include <cstring>

#include "app/messages.h"
#include "text/sjis_text.h"
#include "resources/resource.h"

namespace {

struct SmtpBrushes {
  HBRUSH White, Grey, Navy;
};
const SmtpBrushes gBrushes = {CreateSolidBrush(RGB(255, 255, 255)), CreateSolidBrush(RGB(200, 200, 200)),
                              CreateSolidBrush(RGB(0, 10, 60))};

}  // namespace

SmtpSet::SmtpSet(CWnd* parent) : CDialogEx(IDD_SMTP_SETTINGS, parent) {
  // Login follows address: whatever the address field holds goes into the login field.
  RouteChange(IDC_SMTP_MAIL_ADDRESS, [this] {
    char address[256];
    MailAddressField.GetWindowText(address, sizeof address);
    LoginIdField.SetWindowText(address);
  });
}

void SmtpSet::DoDataExchange() {
  BindControl(IDC_SMTP_MAIL_ADDRESS, MailAddressField);
  BindControl(IDC_SMTP_LOGIN_ID, LoginIdField);
  BindControl(IDC_SMTP_PASSWORD, PasswordField);
  BindControl(IDC_SMTP_SENDER_NAME, SenderNameField);
  BindControl(IDC_SMTP_SERVER, SmtpServerField);
  BindControl(IDC_SMTP_PORT, SmtpPortField);
  BindControl(IDOK, ConfirmButton);
}

BOOL SmtpSet::OnInitDialog() {
  CDialogEx::OnInitDialog();
  MailAddressField.SetLimitText(256);
  LoginIdField.SetLimitText(256);
  PasswordField.SetLimitText(256);
  SenderNameField.SetLimitText(256);
  SmtpServerField.SetLimitText(256);
  SmtpPortField.SetLimitText(5);
  MailAddressField.SetWindowText(MailAddress);
  LoginIdField.SetWindowText(LoginId);
  PasswordField.SetWindowText(Password);
  SenderNameField.SetWindowText(SenderName);
  SmtpServerField.SetWindowText(SmtpServer);
  SmtpPortField.SetWindowText(SmtpPort);
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
  if (!MailAddress[0]) failure = u8"メールアドレスが指定されていません。";
  else if (!std::strchr(MailAddress, '@')) failure = u8"メールアドレスに誤りがあります。";
  else if (!LoginId[0]) failure = u8"ログインIDが指定されていません。（不明の場合はメールアドレス）";
  else if (!Password[0]) failure = u8"パスワードが指定されていません。";
  else if (!SenderName[0]) failure = u8"差出人が指定されていません。";
  else if (!SmtpServer[0]) failure = u8"送信メールサーバ(SMTP)が指定されていません。";
  else if (!SmtpPort[0]) failure = u8"送信メールサーバ(SMTP)のポート番号が指定されていません。";
  else if (port < 0 || port > 65535) failure = u8"送信メールサーバ(SMTP)のポート番号に誤りがあります。";
  if (!failure) return true;
  MessageBox(Sjis(failure).c_str(), Sjis(kSmtpCaptionUtf8).c_str(), MB_OK);
  return false;
}

void SmtpSet::OnOK() {
  struct {
    CEdit& field;
    char* value;
    int size;
  } reads[] = {{MailAddressField, MailAddress, 256}, {LoginIdField, LoginId, 256},   {PasswordField, Password, 256},
               {SenderNameField, SenderName, 256},   {SmtpServerField, SmtpServer, 256}, {SmtpPortField, SmtpPort, 8}};
  for (auto& r : reads) {
    r.field.GetWindowText(r.value, r.size);
    TrimField(r.value);
  }
  if (CheckValues()) EndDialog(IDOK);
}
