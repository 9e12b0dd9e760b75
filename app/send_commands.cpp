// The main window's side of a send run: the input checks, the send and test-send commands,
// the start sequence, the stop command and the watch that restores the window afterwards.
#include <cstdlib>
#include <cstring>

#include "app/app_texts.h"
#include "app/rowcaster_dlg.h"
#include "engine/run_state.h"
#include "engine/send_inputs.h"
#include "engine/send_run.h"
#include "framework/window_process.h"
#include "text/sjis_text.h"
#include "resources/resource.h"
#include "settings/send_settings.h"

namespace {

DWORD WINAPI RunThread(LPVOID window) {
  SendRun(static_cast<RunWindow*>(window));
  return 0;
}

}  // namespace

bool CRowcasterDlg::RunActive() const {
  return RunState.Running == 1 || (runThread_ && WaitForSingleObject(runThread_, 0) == WAIT_TIMEOUT);
}

bool CRowcasterDlg::ValidateSendInputs(int testRun) {
  auto show = [](const char* message, void* context) {
    auto* self = static_cast<CRowcasterDlg*>(context);
    self->MessageBox(message, kMainCaption, MB_OK);
  };
  bool ok = CheckSendInputs(testRun, show, this);
  // Values the checks filled in go into their fields, whose change handlers store them again.
  for (const BoundField& field : Fields)
    if (field.filledByChecks && field.control.GetWindowText() != field.value) field.control.SetWindowText(field.value);
  return ok;
}

void CRowcasterDlg::OnSend() {
  // The Enter key reaches this command even while the button is disabled: one run at a time.
  if (RunActive()) return;
  if (!ValidateSendInputs(0)) return;
  SendMode = 1;
  StartSendRun();
}

void CRowcasterDlg::OnTestSend() {
  if (RunActive()) return;
  if (!ValidateSendInputs(1)) return;
  SendMode = 0;
  StartSendRun();
}

void CRowcasterDlg::OnStop() { RunState.StopRequested = 1; }

void CRowcasterDlg::StartSendRun() {
  RunAnimation.Open(IDR_RUN_ANIMATION);
  RunAnimation.ShowWindow(SW_SHOW);
  RunAnimation.Play(0, 0xFFFF, static_cast<UINT>(-1));
  StopButton.EnableWindow(true);
  EnableEditingControls(0);
  RunProgress.ShowWindow(SW_SHOW);
  long rows = std::atol(SendSettings.EndRow) - std::atol(SendSettings.StartRow) + 1;
  // The bar's 16-bit range: the count modulo 65,536.
  RunProgress.SetRange(0, static_cast<short>(static_cast<unsigned short>(rows & 0xFFFF)));
  RunProgress.SetPos(0);
  TerminateByWindowTitle(FileNamePart(SendSettings.ListFile));
  if (runThread_) {
    CloseHandle(runThread_);
    runThread_ = nullptr;
  }
  DWORD id = 0;
  runThread_ = CreateThread(nullptr, 0, RunThread, static_cast<RunWindow*>(&RunStatus), 0, &id);
  SetTimer(kRunWatchTimer, 990);
}

void CRowcasterDlg::OnRunWatchTimer() {
  // The restoration waits for the run's thread as well, so the next run cannot meet the
  // workbook of this one still open.
  if (RunActive()) {
    SetTimer(kRunWatchTimer, 990);
    return;
  }
  RestoreAfterRun();
}

void CRowcasterDlg::RestoreAfterRun() {
  RunAnimation.Stop();
  RunAnimation.Close();
  RunAnimation.ShowWindow(SW_HIDE);
  StopButton.EnableWindow(false);
  EnableEditingControls(1);
  RunProgress.ShowWindow(SW_HIDE);
  TerminateByWindowTitle(FileNamePart(SendSettings.ListFile));
}
