#include "standin/driver.h"

#include <objbase.h>

#include "messenger/messenger_ids.h"
#include "standin/command_line.h"
#include "standin/control.h"

namespace {

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

const std::wstring kInterfaces = L"Software\\Classes\\Interface";

bool StandinRunning() {
  return FindWindowExW(HWND_MESSAGE, nullptr, kControlWindowClass, nullptr) != nullptr;
}

// Wine keeps a dead server's class registration until its RPC service
// restarts; started again at once, or a server that registers meanwhile
// would not be found by the next activation.
void ResetComActivation() {
  for (const std::wstring verb : {L"stop", L"start"}) {
    Process{L"C:\\windows\\system32\\net.exe", verb + L" rpcss"}.WaitForExit(30000);
  }
}

}  // namespace

const std::wstring kMessengerClassKey =
    L"Software\\Classes\\CLSID\\" + GuidText(messenger_ids::kMessengerClass);

void DeleteMachineKey(REGSAM view, const std::wstring& parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS | view, &key) ==
      ERROR_SUCCESS) {
    RegDeleteTreeW(key, name.c_str());
    RegDeleteKeyExW(key, name.c_str(), view, 0);
    RegCloseKey(key);
  }
}

void SetMachineKeyDefault(REGSAM view, const std::wstring& key_name, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_name.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                      nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
}

std::vector<BYTE> ReadBinaryValue(const std::wstring& sub_key, const std::wstring& name) {
  std::vector<BYTE> bytes(4096);
  auto size = static_cast<DWORD>(bytes.size());
  if (RegGetValueW(HKEY_CURRENT_USER, sub_key.c_str(), name.c_str(), RRF_RT_REG_BINARY, nullptr,
                   bytes.data(), &size) != ERROR_SUCCESS) {
    size = 0;
  }
  bytes.resize(size);
  return bytes;
}

void SeeOtherWindowsAtTheirScale() {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

REGSAM ViewOf(const std::wstring& program) {
  DWORD type = SCS_64BIT_BINARY;
  GetBinaryTypeW(program.c_str(), &type);
  return type == SCS_32BIT_BINARY ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

int StandinMessenger::Control(const std::wstring& command) { return SendControlCommand(command); }

int StandinMessenger::Run(const std::wstring& arguments) const {
  return Process{program_, arguments}.WaitForExit(30000);
}

StandinMessenger::StandinMessenger(const std::wstring& program, const std::wstring& signin_name)
    : program_(program) {
  while (StandinRunning() && Control(L"quit") == 0) {
  }
  if (Run(L"/regserver") != 0) {
    return;
  }
  for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    for (const IID& dual :
         {messenger_ids::kMessengerInterface, messenger_ids::kMessengerDefaultInterface}) {
      DeleteMachineKey(view, kInterfaces, GuidText(dual));
    }
  }
  // 64-bit Windows 7 and later keep a 32-bit messenger's event interface
  // from 64-bit programs. Wine looks in the other view for a missing key, so
  // the key stays, naming a proxy that does not exist.
  if (ViewOf(program) == KEY_WOW64_32KEY) {
    SetMachineKeyDefault(
        KEY_WOW64_64KEY,
        kInterfaces + L"\\" + GuidText(messenger_ids::kMessengerEvents) + L"\\ProxyStubClsid32",
        L"{6E6F7768-6572-6500-0000-000000000000}");
  }
  process_.emplace(program, QuoteArgument(L"/signin:" + signin_name));
  for (int i = 0; i < 1000 && !started_ && process_->WaitForExit(0) == -1; ++i) {
    started_ = StandinRunning();
    Sleep(10);
  }
}

StandinMessenger::~StandinMessenger() {
  if (process_ && (Control(L"quit") != 0 || process_->WaitForExit(10000) == -1)) {
    Kill();
  }
  Run(L"/unregserver");
  if (ViewOf(program_) == KEY_WOW64_32KEY) {  // the broken key left beside a 32-bit one
    DeleteMachineKey(KEY_WOW64_64KEY, kInterfaces, GuidText(messenger_ids::kMessengerEvents));
  }
}

void StandinMessenger::Kill() {
  process_.reset();
  while (StandinRunning()) {
    Sleep(10);
  }
  ResetComActivation();
}
