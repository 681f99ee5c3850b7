#include "support/registry.h"

#include <algorithm>

std::wstring UniqueName(const std::wstring& base) {
  return base + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(GetTickCount64());
}

std::vector<std::wstring> Snapshot(const std::wstring& sub_key) {
  std::vector<std::wstring> lines;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, sub_key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return lines;
  }
  wchar_t name[16384];
  BYTE data[4096];
  for (DWORD i = 0;; ++i) {
    DWORD name_length = 16384;
    DWORD data_size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &name_length, nullptr, &type, data, &data_size) !=
        ERROR_SUCCESS) {
      break;
    }
    lines.push_back(L" [" + std::wstring{name, name_length} + L"] " + std::to_wstring(type) + L":" +
                    std::wstring(data, data + data_size));
  }
  for (DWORD i = 0;; ++i) {
    DWORD name_length = 16384;
    if (RegEnumKeyExW(key, i, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    const std::wstring child = L"\\" + std::wstring{name, name_length};
    lines.push_back(child);
    for (const std::wstring& line : Snapshot(sub_key + child)) {
      lines.push_back(child + line);
    }
  }
  RegCloseKey(key);
  std::sort(lines.begin(), lines.end());
  return lines;
}
