// SmtpSet: edits the six sender-account values on working copies; they go back into
// SendSettings only when every check has passed and the dialog is confirmed.
#pragma once
#include "framework/controls.h"
#include "framework/dialog.h"

class SmtpSet : public CDialogEx {
 public:
  explicit SmtpSet(CWnd* parent = nullptr);

  // Copies the six account values of SendSettings into the working copies, each cut to its copy
  // (never inside a double-byte character).
  void CopyFromSettings();
  // Copies the working copies back into the six account values of SendSettings.
  void CopyToSettings() const;

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
  // One edit bound to a working copy (WTL's DDX_TEXT_LEN): a row of the dialog's table.
  struct AccountField {
    UINT id;                    // the control in the dialog template
    CEdit& control;             // its member object
    char* copy;                 // the working copy it shows
    int readSize;               // bytes read into the copy on confirm, terminator included
    UINT typingLimit;           // bytes the user may type
    char* setting;              // the SendSettings value the copy comes from and goes back to
    int settingSize;            // its capacity
    CEdit* follower = nullptr;  // takes the field's text on every change (login follows address)
  };
  static constexpr int kAccountFieldCount = 6;

  bool CheckValues();

  CButton ConfirmButton;
  CEdit MailAddressField, LoginIdField, PasswordField, SenderNameField, SmtpServerField, SmtpPortField;
  // Binding, typing limits, opening, change handling, confirming and copying walk it.
  const AccountField Fields[kAccountFieldCount];
};
