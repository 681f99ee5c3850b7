#include "standin/control.h"

#include <cstdlib>

#include "standin/server.h"

namespace {

// Posted to itself by "hang", so that the command is answered first.
constexpr UINT kHangMessage = WM_APP + 1;

// "hang:subscribe", "die:name", "die:secondname": the misbehaviour and when
// it is due.
bool Plan(Server& server, const std::wstring& command) {
  const std::size_t colon = command.find(L':');
  const std::wstring what = command.substr(0, colon);
  const std::wstring when = colon == std::wstring::npos ? L"" : command.substr(colon + 1);
  const Misbehaviour misbehaviour = what == L"hang"  ? Misbehaviour::kHang
                                    : what == L"die" ? Misbehaviour::kDie
                                                     : Misbehaviour::kNone;
  if (misbehaviour == Misbehaviour::kNone) {
    return false;
  }
  if (when == L"subscribe") {
    server.MisbehaveAtSubscription(misbehaviour);
  } else if (when == L"name" || when == L"secondname") {
    server.MisbehaveAtName(misbehaviour, when == L"name" ? 0 : 1);
  } else {
    return false;
  }
  return true;
}

bool Execute(HWND control, const std::wstring& command) {
  Server& server = Server::Instance();
  if (command == L"ping") {
    return true;
  }
  if (command.starts_with(L"signin:")) {
    server.SignIn(command.substr(7));
    return true;
  }
  if (command == L"signout") {
    server.SignOut();
    return true;
  }
  if (command == L"fire") {
    server.FireEvents();
    return true;
  }
  if (command == L"subscribed") {
    return server.HasSubscribers();
  }
  if (command.starts_with(L"delay:")) {
    server.SetAnswerDelay(static_cast<DWORD>(_wtoi(command.c_str() + 6)));
    return true;
  }
  if (command.starts_with(L"busy:")) {
    server.BeBusyFor(static_cast<DWORD>(_wtoi(command.c_str() + 5)));
    return true;
  }
  if (command.starts_with(L"refused:")) {
    return server.refusals() <= _wtoi(command.c_str() + 8);
  }
  if (command == L"hang") {
    return PostMessageW(control, kHangMessage, 0, 0) != FALSE;
  }
  if (command == L"quit") {
    server.Quit();
    return true;
  }
  return Plan(server, command);
}

LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    if (data->dwData != kCommandTag || data->cbData % sizeof(wchar_t) != 0) {
      return FALSE;
    }
    const std::wstring command{static_cast<const wchar_t*>(data->lpData),
                               data->cbData / sizeof(wchar_t)};
    return Execute(window, command) ? TRUE : FALSE;
  }
  if (message == kHangMessage) {
    // The thread stops: no COM call, no command is answered meanwhile.
    Misbehave(Misbehaviour::kHang);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

bool CreateControlWindow() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &ControlProcedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kControlWindowClass;
  if (RegisterClassW(&window_class) == 0) {
    return false;
  }
  return CreateWindowExW(0, kControlWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         window_class.hInstance, nullptr) != nullptr;
}
