// Tintwell's start: join a single-threaded apartment, load the main window and
// deliver its messages until it closes.
#include <windows.h>
#include <commctrl.h>

#include "failure/failure.h"
#include "window/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); FAILED(joined)) {
    ShowFatalError(nullptr, FailureFromHresult(joined));
    return kFatalExitCode;
  }
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  if (!InitCommonControlsEx(&controls)) {
    ShowFatalError(nullptr, FailureFromLastError());
    CoUninitialize();
    return kFatalExitCode;
  }

  int exit_code = 0;
  {
    Form1 form;
    if (form.Load(instance)) {
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and the arrow keys move between the controls as in a dialog.
        if (form.window() == nullptr || !IsDialogMessageW(form.window(), &message)) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      }
    }
    exit_code = form.exit_code();
  }
  CoUninitialize();
  return exit_code;
}
