// The stand-in messenger: an out-of-process automation server with the
// messenger's class, interfaces and events, for tests and the demo.
//
//   messenger-standin /regserver [/signin:NAME]   register (COM launches it signed in as NAME)
//   messenger-standin /unregserver                remove the registration
//   messenger-standin /signin:NAME | /signedout   run as the messenger until told to quit
//   messenger-standin /ctl:COMMAND                drive the running one (see control.h)
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "messenger/messenger_ids.h"
#include "owned.h"
#include "standin/class_factory.h"
#include "standin/control.h"
#include "standin/registration.h"
#include "standin/server.h"

namespace {

struct Arguments {
  std::optional<std::wstring> signin_name;
  bool launched_by_com = false;
  bool register_server = false;
  bool unregister_server = false;
  std::optional<std::wstring> control_command;
  bool valid = true;
};

Arguments ParseArguments() {
  Arguments parsed;
  int count = 0;
  const Owned<LPWSTR*, LocalFree> argv{CommandLineToArgvW(GetCommandLineW(), &count)};
  for (int i = 1; argv && i < count; ++i) {
    const std::wstring argument = argv.get()[i];
    if (argument.starts_with(L"/signin:")) {
      parsed.signin_name = argument.substr(8);
    } else if (argument == L"/signedout") {
      parsed.signin_name.reset();
    } else if (argument == L"-Embedding" || argument == L"/Embedding") {
      parsed.launched_by_com = true;
    } else if (argument == L"/regserver") {
      parsed.register_server = true;
    } else if (argument == L"/unregserver") {
      parsed.unregister_server = true;
    } else if (argument.starts_with(L"/ctl:")) {
      parsed.control_command = argument.substr(5);
    } else {
      parsed.valid = false;
    }
  }
  return parsed;
}

int Serve(const Arguments& arguments) {
  Server& server = Server::Instance();
  if (arguments.signin_name) {
    server.SignIn(*arguments.signin_name);
  }
  server.EndWithLastObject(arguments.launched_by_com);

  if (FAILED(server.RegisterBusyFilter())) {
    return 3;
  }
  static ClassFactory factory;
  DWORD registration = 0;
  if (FAILED(CoRegisterClassObject(messenger_ids::kMessengerClass, &factory, CLSCTX_LOCAL_SERVER,
                                   REGCLS_MULTIPLEUSE, &registration))) {
    return 3;
  }
  server.ServeClass(registration);
  if (!CreateControlWindow()) {
    server.Quit();
    return 3;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const Arguments arguments = ParseArguments();
  if (!arguments.valid) {
    return 1;
  }
  if (arguments.control_command) {
    return SendControlCommand(*arguments.control_command);
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return 3;
  }
  int result = 0;
  if (arguments.register_server) {
    result = SUCCEEDED(RegisterServer(arguments.signin_name)) ? 0 : 1;
  } else if (arguments.unregister_server) {
    result = SUCCEEDED(UnregisterServer()) ? 0 : 1;
  } else {
    result = Serve(arguments);
  }
  CoUninitialize();
  return result;
}
