// The main window's file and editor commands: picking the body file and the workbook, editing
// the body, opening the workbook and the send log.
#include <cstring>
#include <string>
#include <vector>

#include "app/app_texts.h"
#include "app/rowcaster_dlg.h"
#include "engine/engine_texts.h"  // the same "does not exist" texts as the send checks
#include "framework/file_dialog.h"
#include "framework/shell.h"
#include "framework/win_app.h"
#include "platform/files.h"
#include "platform/process.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"

namespace {

// The open-file dialog's filter for a keyword, in the bar-separated notation.
std::string FileFilter(const char* keyword) {
  if (std::strcmp(keyword, "xls") == 0) return "Excel(*.xlsx;*.xls)|*.xlsx;*.xls||";
  if (std::strcmp(keyword, "txt") == 0) return "Text/Html(*.txt;*.htm;*.html)|*.txt;*.htm;*.html||";
  std::string k = keyword;
  return k + "(*." + k + ")|*." + k + "||";
}

}  // namespace

const char* PickFile(const char* initialFolder, const char* keyword) {
  static char picked[platform::kPathCapacity];
  picked[0] = '\0';
  CWnd* owner = CWinApp::MainWindow();
  std::string path;
  FileDialogResult result =
      ShowOpenFileDialog(owner ? owner->m_hWnd : nullptr, FileFilter(keyword).c_str(), initialFolder, path);
  if (result == FileDialogResult::kCancelled) return picked;
  if (result == FileDialogResult::kNoShiftJisForm || path.size() >= sizeof picked) {
    // Cutting the path or putting "?" into it would name another file.
    if (owner) owner->MessageBox(kPickedPathRefused, kMainCaption, MB_OK);
    return picked;
  }
  std::memcpy(picked, path.c_str(), path.size() + 1);
  return picked;
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
    ShowMessage(kListFileMissing);
    return;
  }
  ShellOpen(SendSettings.ListFile);
}

void CRowcasterDlg::OnViewLog() {
  if (!platform::PathExists(FileLocations.LogPath)) {
    ShowMessage(kLogNotYetCreated);
    return;
  }
  ShellOpen(FileLocations.LogPath);
}

void CRowcasterDlg::OnEditBody() {
  if (!SendSettings.BodyFile[0]) return;
  if (!platform::PathExists(SendSettings.BodyFile)) {
    ShowMessage(kBodyFileMissing);
    return;
  }
  // Without the editor beside the program, the system's own text editor.
  std::string editor =
      platform::PathExists(FileLocations.EditorPath) ? FileLocations.EditorPath : SystemTextEditorPath();
  // The window waits here until the editor has ended.
  platform::RunVisibleAndWait({editor, SendSettings.BodyFile});
}
