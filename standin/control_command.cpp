#include "owned.h"
#include "standin/control.h"

int SendControlCommand(const std::wstring& command) {
  const HWND control = FindWindowExW(HWND_MESSAGE, nullptr, kControlWindowClass, nullptr);
  if (control == nullptr) {
    return 2;
  }
  DWORD process_id = 0;
  GetWindowThreadProcessId(control, &process_id);
  const Owned<HANDLE, CloseHandle> process{OpenProcess(SYNCHRONIZE, FALSE, process_id)};

  COPYDATASTRUCT data{kCommandTag, static_cast<DWORD>(command.size() * sizeof(wchar_t)),
                      const_cast<wchar_t*>(command.data())};
  DWORD_PTR answer = FALSE;
  if (SendMessageTimeoutW(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                          SMTO_ABORTIFHUNG, 10000, &answer) == 0) {
    return 2;
  }
  if (answer != TRUE) {
    return 1;
  }
  if (command == L"quit" && process) {
    WaitForSingleObject(process.get(), 10000);
  }
  return 0;
}
