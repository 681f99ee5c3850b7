#include "standin/registration.h"

#include <oleauto.h>
#include <wrl/client.h>

#include "messenger/messenger_ids.h"
#include "standin/command_line.h"

namespace {

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
  return text;
}

std::wstring ClassKey() {
  return L"Software\\Classes\\CLSID\\" + GuidText(messenger_ids::kMessengerClass);
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

HRESULT SetDefaultValue(const std::wstring& sub_key, const std::wstring& value) {
  return HRESULT_FROM_WIN32(
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, sub_key.c_str(), nullptr, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

}  // namespace

HRESULT RegisterServer(const std::optional<std::wstring>& signin_name) {
  std::wstring path = ModulePath();
  std::wstring command = QuoteArgument(path);
  if (signin_name) {
    command += L" " + QuoteArgument(L"/signin:" + *signin_name);
  }
  HRESULT status = SetDefaultValue(ClassKey(), L"Messenger (Tintwell stand-in)");
  if (SUCCEEDED(status)) {
    status = SetDefaultValue(ClassKey() + L"\\LocalServer32", command);
  }
  if (FAILED(status)) {
    return status;
  }
  Microsoft::WRL::ComPtr<ITypeLib> library;
  status = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(status)) {
    return status;
  }
  return RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT UnregisterServer() {
  constexpr SYSKIND kThisSystem = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  const std::wstring library_key = L"Software\\Classes\\TypeLib\\" + GuidText(kStandinLibrary);
  HKEY library = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, library_key.c_str(), 0, KEY_READ, &library) ==
      ERROR_SUCCESS) {
    RegCloseKey(library);
    if (const HRESULT status =
            UnRegisterTypeLib(kStandinLibrary, 1, 0, LOCALE_NEUTRAL, kThisSystem);
        FAILED(status)) {
      return status;
    }
  }
  const LSTATUS removed = RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKey().c_str());
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
    return HRESULT_FROM_WIN32(removed);
  }
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, ClassKey().c_str());
  return S_OK;
}
