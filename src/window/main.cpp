// Tintwell's start: join a single-threaded apartment, load the main window and
// deliver its messages until it closes.
#include <windows.h>
#include <commctrl.h>

#include "failure/failure.h"
#include "window/form1.h"
#include "window/function_in.h"

namespace {

// Tintwell runs from wherever it was unzipped, often a downloads folder
// shared with whatever else was downloaded: a DLL there named like one that
// Windows loads on the program's behalf must never be loaded. Both calls are
// looked up: the first is newer than XP, the second newer than the API level
// the program compiles against.
void KeepDllSearchInSystemFolder() {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  // Windows 8, and Vista or 7 with KB2533623: the system folder only.
  using SetDefaultFunction = BOOL(WINAPI*)(DWORD);
  const auto set_default = FunctionIn<SetDefaultFunction>(kernel32, "SetDefaultDllDirectories");
  if (set_default != nullptr && set_default(kLoadFromSystemFolder)) {
    return;
  }
  // XP SP1 and later: at least not the current folder (the program's own
  // stays first in the search there).
  using SetDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);
  if (const auto set_directory = FunctionIn<SetDirectoryFunction>(kernel32, "SetDllDirectoryW")) {
    set_directory(L"");
  }
}

// The common controls (version 6, as the manifest asks) are loaded here, not
// imported: what they load in turn, such as the theme library, is then looked
// for in the system folder alone. Unlike every other DLL the program loads,
// comctl32 is named without its folder: the bare name is what the manifest's
// activation context redirects to version 6 in Windows' side-by-side store,
// which is consulted before any folder is searched.
bool LoadCommonControls() {
  const HMODULE comctl32 = LoadLibraryW(L"comctl32.dll");
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto init = FunctionIn<InitFunction>(comctl32, "InitCommonControlsEx");
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  return init != nullptr && init(&controls);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  KeepDllSearchInSystemFolder();
  if (const HRESULT joined = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); FAILED(joined)) {
    ShowFatalError(nullptr, FailureFromHresult(joined));
    return kFatalExitCode;
  }
  if (!LoadCommonControls()) {
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
