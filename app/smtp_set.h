// SmtpSet: edits the six sender-account values on working copies; they go back into
// SendSettings only when every check has passed and the dialog is confirmed.
#pragma once
#include "framework/controls.h"
#include "framework/dialog.h"

class SmtpSet : public CDialogEx {
 public:
  explicit SmtpSet(CWnd* parent = nullptr);

  // Working copies, in the order of their fields 1000, 1005, 1004, 1003, 1001, 1002.
  char MailAddress[256] = {};
  char LoginId[256] = {};
  char Password[256] = {};
  char SenderName[256] = {};
  char SmtpServer[256] = {};
  char SmtpPort[8] = {};

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
  void OnOK() override;

 private:
  bool CheckValues();

  CButton ConfirmButton;
  CEdit MailAddressField, LoginIdField, PasswordField, SenderNameField, SmtpServerField, SmtpPortField;
};
