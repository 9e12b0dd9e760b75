// COptionsDlg: edits the options of "Options.def" (attachments, copies, the opt-out list, the
// unsubscribe header, the certificate check, the text part and how TLS starts) on a working
// copy; the file is written only when every check has passed and the dialog is confirmed.
#pragma once
#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "settings/options.h"

class COptionsDlg : public CDialogEx {
 public:
  explicit COptionsDlg(CWnd* parent = nullptr);

  // Reads "Options.def" into Options and the working copy. False (nothing read, nothing shown)
  // when the file exists but cannot be read: writing the defaults back would lose it.
  bool LoadFromFile();

  // The working copy: the file's values when the dialog opens, the checked values on confirm
  // (the lines of keys this program does not know ride along unchanged).
  OptionsRecord Values;

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind) override;
  // Reads the fields, checks them, writes the file and ends the dialog; on the first failure
  // its message, and the dialog stays open with the fields as they are.
  void OnOK() override;

 private:
  enum class FieldKind { kText, kFlag, kChoice };
  // What a text must be for the confirm to pass; empty passes every check.
  enum class ValueCheck {
    kNone,
    kFiles,        // full paths separated by ";", each a file that can be read
    kFile,         // one full path of a file that can be read
    kAddresses,    // addresses separated by ",", each usable
    kColumn,       // one column letter A to Z
    kUnsubscribe,  // a mailto: URL, an https: URL, or both separated by ","
  };
  // One control bound to one option: a row of the dialog's table.
  struct OptionField {
    UINT id;                                       // the control in the dialog template
    CWnd& control;                                 // its member object (CEdit, CButton or CComboBox by kind)
    FieldKind kind;
    std::string OptionsRecord::*text = nullptr;    // kText: the value it shows
    UINT typingLimit = 0;                          // kText: bytes the user may type
    ValueCheck check = ValueCheck::kNone;          // kText
    const char* failure = nullptr;                 // the message of a failed check ("%s": the piece)
    const char* pathFailure = nullptr;             // kFiles, kFile: the message of a path that is not full
    UINT picker = 0;                               // a button that picks a file into the field
    bool OptionsRecord::*flag = nullptr;           // kFlag: the check box's value
  };
  static constexpr int kOptionFieldCount = 12;

  void ShowField(const OptionField& field);
  void ReadField(const OptionField& field);
  // The message of the field's first failing piece in `message` (left empty when the value
  // passes); a passing list then holds its pieces trimmed and joined again by its separator.
  bool CheckField(const OptionField& field, std::string& message);
  void PickInto(const OptionField& field);
  void ShowMessage(const char* text) const;

  CEdit AttachFilesField, AttachColumnField, CcField, CcColumnField, BccField, BccColumnField, ReplyToField,
      OptOutFileField, ListUnsubscribeField;
  CComboBox TlsModeChoice;
  CButton VerifyCertificateBox, PlainTextPartBox, ConfirmButton;
  // Binding, typing limits, opening, picking, reading, checking and the colours walk it.
  const OptionField Fields[kOptionFieldCount];
};
