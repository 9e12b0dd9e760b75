#include "app/options_dlg.h"

#include <cstdio>
#include <vector>

#include "app/app_texts.h"
#include "engine/mail_address.h"
#include "framework/file_dialog.h"
#include "platform/files.h"
#include "resources/resource.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"
#include "text/sjis_text.h"

namespace {

struct OptionsBrushes {
  HBRUSH White, Grey, Navy;
};
// The SMTP settings dialog's colours: white fields, grey ground, white labels on navy.
const OptionsBrushes gBrushes = {CreateSolidBrush(RGB(255, 255, 255)), CreateSolidBrush(RGB(200, 200, 200)),
                                 CreateSolidBrush(RGB(0, 10, 60))};

// The choices of the TLS combo box, in the order of their items.
struct TlsChoice {
  TlsMode mode;
  const char* text;
};
const TlsChoice kTlsChoices[] = {
    {TlsMode::Auto, kTlsAutoItem}, {TlsMode::Implicit, kTlsImplicitItem}, {TlsMode::StartTls, kTlsStartTlsItem}};

// Texts drawn black on the dialog's grey rather than as navy labels.
const int kPlainTexts[] = {IDC_OPT_ATTACH_COLUMN_HINT, IDC_OPT_CC_COLUMN_HINT, IDC_OPT_BCC_COLUMN_HINT,
                           IDC_OPT_VERIFY_CERTIFICATE, IDC_OPT_PLAIN_TEXT_PART};

std::string Trimmed(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return TrimField(buffer.data());
}

// The pieces of a list, each trimmed; empty pieces are left out. The separators (";" and ",")
// are below 0x40, so they are never the second byte of a double-byte character.
std::vector<std::string> Pieces(const std::string& list, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(separator, start);
    if (end == std::string::npos) end = list.size();
    std::string piece = Trimmed(list.substr(start, end - start));
    if (!piece.empty()) pieces.push_back(piece);
    start = end + 1;
  }
  return pieces;
}

std::string Joined(const std::vector<std::string>& pieces, char separator) {
  std::string out;
  for (const std::string& piece : pieces) out += (out.empty() ? "" : std::string(1, separator)) + piece;
  return out;
}

// A drive letter, a colon and a separator, or a network path ("\\server\share\...").
bool IsFullPath(const std::string& path) {
  bool letter = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (letter && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
  return path.size() >= 3 && path[0] == '\\' && path[1] == '\\';
}

// A file that the run could open and read (a folder cannot be opened so).
bool IsReadableFile(const std::string& path) {
  FILE* file = platform::OpenStreamShared(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  return FindNoCase(text.c_str(), prefix) == text.c_str();
}

// Nothing that would end the header's <...> or the line early: no control character, space,
// double quote, "<" or ">" outside the {placeholders} (whose names may hold spaces).
bool HasOnlyUrlCharacters(const std::string& url) {
  int depth = 0;
  for (size_t i = 0; i < url.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(url[i]);
    if (c == '{') ++depth;
    if (c == '}' && depth > 0) --depth;
    bool stops = c < 0x20 || c == 0x7F || c == '"' || c == '<' || c == '>';
    if (stops || (c == ' ' && depth == 0)) return false;
    if (IsLeadByte(c) && i + 1 < url.size()) ++i;  // a double-byte character is taken whole
  }
  return true;
}

// "mailto:" with an address part holding "@", or "https://" with something after it.
bool IsUnsubscribeUrl(const std::string& url, bool& mailto) {
  mailto = StartsWithNoCase(url, "mailto:");
  if (!HasOnlyUrlCharacters(url)) return false;
  if (mailto) {
    std::string address = url.substr(7, url.find('?') == std::string::npos ? std::string::npos : url.find('?') - 7);
    return FindChar(address.c_str(), '@') != nullptr && address[0] != '@';
  }
  return StartsWithNoCase(url, "https://") && url.size() > 8;
}

std::string Formatted(const char* format, const std::string& piece) {
  std::vector<char> out(std::string(format).size() + piece.size() + 1);
  std::snprintf(out.data(), out.size(), format, piece.c_str());
  return out.data();
}

// Each check below returns the message of the first failing piece, or an empty text when the
// value passes; a passing list is stored trimmed and joined again by its separator.

// Full paths of files that can be read: one path, or a list separated by ";".
std::string PathsFailure(std::string& value, bool list, const char* missing, const char* notFull) {
  std::vector<std::string> paths = list ? Pieces(value, ';') : std::vector<std::string>{value};
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    if (!IsFullPath(path)) return Formatted(notFull, path);
    if (!IsReadableFile(path)) return Formatted(missing, path);
  }
  if (list) value = Joined(paths, ';');
  return std::string();
}

// Addresses separated by ",", each usable.
std::string AddressesFailure(std::string& value, const char* failure) {
  std::vector<std::string> addresses = Pieces(value, ',');
  for (const std::string& address : addresses)
    if (!IsUsableAddress(address.c_str())) return Formatted(failure, address);
  value = Joined(addresses, ',');
  return std::string();
}

// One column letter A to Z, stored in upper case.
std::string ColumnFailure(std::string& value, const char* failure) {
  if (value.empty()) return std::string();
  bool letter = value.size() == 1 && ((value[0] >= 'A' && value[0] <= 'Z') || (value[0] >= 'a' && value[0] <= 'z'));
  if (!letter) return failure;
  value[0] = static_cast<char>(value[0] & ~0x20);
  return std::string();
}

// A mailto: URL, an https: URL, or one of each separated by ",".
std::string UnsubscribeFailure(std::string& value, const char* failure) {
  std::vector<std::string> urls = Pieces(value, ',');
  int mailtos = 0, webs = 0;
  for (const std::string& url : urls) {
    bool mailto = false;
    if (!IsUnsubscribeUrl(url, mailto)) return failure;
    ++(mailto ? mailtos : webs);
  }
  if (mailtos > 1 || webs > 1) return failure;
  value = Joined(urls, ',');
  return std::string();
}

}  // namespace

COptionsDlg::COptionsDlg(CWnd* parent)
    : CDialogEx(IDD_OPTIONS, parent),
      // control, member, kind, option, typing limit, check, its message, the message of a path
      // that is not full, the picker button [, check box value]
      Fields{{IDC_OPT_ATTACH_FILES, AttachFilesField, FieldKind::kText, &OptionsRecord::AttachFiles, 4096,
              ValueCheck::kFiles, kOptAttachMissing, kOptAttachNotFullPath, IDC_OPT_ADD_ATTACH_FILE},
             {IDC_OPT_ATTACH_COLUMN, AttachColumnField, FieldKind::kText, &OptionsRecord::AttachColumn, 1,
              ValueCheck::kColumn, kOptAttachColumnBad},
             {IDC_OPT_CC, CcField, FieldKind::kText, &OptionsRecord::Cc, 1024, ValueCheck::kAddresses, kOptCcBad},
             {IDC_OPT_CC_COLUMN, CcColumnField, FieldKind::kText, &OptionsRecord::CcColumn, 1, ValueCheck::kColumn,
              kOptCcColumnBad},
             {IDC_OPT_BCC, BccField, FieldKind::kText, &OptionsRecord::Bcc, 1024, ValueCheck::kAddresses, kOptBccBad},
             {IDC_OPT_BCC_COLUMN, BccColumnField, FieldKind::kText, &OptionsRecord::BccColumn, 1,
              ValueCheck::kColumn, kOptBccColumnBad},
             {IDC_OPT_REPLY_TO, ReplyToField, FieldKind::kText, &OptionsRecord::ReplyTo, 1024,
              ValueCheck::kAddresses, kOptReplyToBad},
             {IDC_OPT_OPT_OUT_FILE, OptOutFileField, FieldKind::kText, &OptionsRecord::OptOutFile,
              platform::kPathCapacity - 1, ValueCheck::kFile, kOptOptOutMissing, kOptOptOutNotFullPath,
              IDC_OPT_PICK_OPT_OUT_FILE},
             {IDC_OPT_LIST_UNSUBSCRIBE, ListUnsubscribeField, FieldKind::kText, &OptionsRecord::ListUnsubscribe,
              2048, ValueCheck::kUnsubscribe, kOptUnsubscribeBad},
             {IDC_OPT_TLS_MODE, TlsModeChoice, FieldKind::kChoice},
             {IDC_OPT_VERIFY_CERTIFICATE, VerifyCertificateBox, FieldKind::kFlag, nullptr, 0, ValueCheck::kNone,
              nullptr, nullptr, 0, &OptionsRecord::VerifyCertificate},
             {IDC_OPT_PLAIN_TEXT_PART, PlainTextPartBox, FieldKind::kFlag, nullptr, 0, ValueCheck::kNone, nullptr,
              nullptr, 0, &OptionsRecord::PlainTextPart}} {
  for (const OptionField& field : Fields)
    if (field.picker) RouteCommand(field.picker, [this, &field] { PickInto(field); });
}

bool COptionsDlg::LoadFromFile() {
  if (LoadOptions(FileLocations.OptionsPath) != 0) return false;
  Values = Options;
  return true;
}

void COptionsDlg::DoDataExchange() {
  for (const OptionField& field : Fields) BindControl(static_cast<int>(field.id), field.control);
  BindControl(IDOK, ConfirmButton);
}

BOOL COptionsDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  for (const TlsChoice& choice : kTlsChoices) TlsModeChoice.AddString(choice.text);
  for (const OptionField& field : Fields) {
    if (field.kind == FieldKind::kText) static_cast<CEdit&>(field.control).SetLimitText(field.typingLimit);
    ShowField(field);
  }
  ::SetFocus(ConfirmButton.m_hWnd);
  return FALSE;
}

void COptionsDlg::ShowField(const OptionField& field) {
  switch (field.kind) {
    case FieldKind::kText:
      field.control.SetWindowText((Values.*field.text).c_str());
      break;
    case FieldKind::kFlag:
      static_cast<CButton&>(field.control).SetCheck(Values.*field.flag ? BST_CHECKED : BST_UNCHECKED);
      break;
    case FieldKind::kChoice:
      for (int i = 0; i < static_cast<int>(sizeof kTlsChoices / sizeof kTlsChoices[0]); ++i)
        if (kTlsChoices[i].mode == Values.Tls) TlsModeChoice.SetCurSel(i);
      break;
  }
}

void COptionsDlg::ReadField(const OptionField& field) {
  switch (field.kind) {
    case FieldKind::kText:
      Values.*field.text = Trimmed(field.control.GetWindowText());
      break;
    case FieldKind::kFlag:
      Values.*field.flag = static_cast<CButton&>(field.control).GetCheck() == BST_CHECKED;
      break;
    case FieldKind::kChoice: {
      int index = TlsModeChoice.GetCurSel();
      Values.Tls = index >= 0 && index < 3 ? kTlsChoices[index].mode : TlsMode::Auto;
      break;
    }
  }
}

bool COptionsDlg::CheckField(const OptionField& field, std::string& message) {
  if (field.kind == FieldKind::kText) {
    std::string& value = Values.*field.text;
    switch (field.check) {
      case ValueCheck::kFiles:
      case ValueCheck::kFile:
        message = PathsFailure(value, field.check == ValueCheck::kFiles, field.failure, field.pathFailure);
        break;
      case ValueCheck::kAddresses:
        message = AddressesFailure(value, field.failure);
        break;
      case ValueCheck::kColumn:
        message = ColumnFailure(value, field.failure);
        break;
      case ValueCheck::kUnsubscribe:
        message = UnsubscribeFailure(value, field.failure);
        break;
      case ValueCheck::kNone:
        break;
    }
  }
  return message.empty();
}

// The open-file dialog, owned by this dialog: the picked full path replaces a single path and
// is added to a list. A path without a Shift-JIS form is refused, never mangled.
void COptionsDlg::PickInto(const OptionField& field) {
  bool list = field.check == ValueCheck::kFiles;
  // The dialog starts in the workbook's folder, where a mailing's files usually lie.
  std::string folder = FileNamePart(SendSettings.ListFile) == SendSettings.ListFile
                           ? std::string()
                           : std::string(DirectoryPart(SendSettings.ListFile));
  std::string path;
  FileDialogResult result =
      ShowOpenFileDialog(m_hWnd, list ? kAnyFileFilter : kOptOutFileFilter, folder.c_str(), path);
  if (result == FileDialogResult::kCancelled) return;
  if (result == FileDialogResult::kNoShiftJisForm || path.size() >= platform::kPathCapacity) {
    ShowMessage(kPickedPathRefused);
    return;
  }
  std::string now = Trimmed(field.control.GetWindowText());
  field.control.SetWindowText((list && !now.empty() ? now + ";" + path : path).c_str());
}

void COptionsDlg::ShowMessage(const char* text) const { MessageBox(text, kOptionsCaption, MB_OK); }

HBRUSH COptionsDlg::OnCtlColor(HDC dc, HWND control, UINT kind) {
  SetBkMode(dc, TRANSPARENT);
  switch (kind) {
    case CTLCOLOR_EDIT:
      SetTextColor(dc, RGB(0, 0, 0));
      return gBrushes.White;
    case CTLCOLOR_DLG:
      return gBrushes.Grey;
    case CTLCOLOR_STATIC: {
      int id = ::GetDlgCtrlID(control);
      for (int plain : kPlainTexts) {
        if (plain != id) continue;
        SetTextColor(dc, RGB(0, 0, 0));
        return gBrushes.Grey;
      }
      SetTextColor(dc, RGB(255, 255, 255));
      return gBrushes.Navy;
    }
    default:
      return nullptr;
  }
}

void COptionsDlg::OnOK() {
  for (const OptionField& field : Fields) ReadField(field);
  for (const OptionField& field : Fields) {
    std::string message;
    if (CheckField(field, message)) continue;
    ShowMessage(message.c_str());
    ::SetFocus(field.control.m_hWnd);
    return;
  }
  // The checked lists, trimmed and joined again, are what the file gets; the fields show them.
  for (const OptionField& field : Fields)
    if (field.kind == FieldKind::kText && field.control.GetWindowText() != Values.*field.text) ShowField(field);
  Options = Values;
  if (StoreOptions(FileLocations.OptionsPath) != 0) {
    ShowMessage(Formatted(kOptionsNotStored, FileLocations.OptionsPath).c_str());
    return;
  }
  EndDialog(IDOK);
}
