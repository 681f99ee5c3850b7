#include "support/registry.h"

#include <algorithm>

namespace {

void SnapshotInto(HKEY key, const std::wstring& path, std::vector<std::wstring>& lines) {
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
    lines.push_back(path + L" [" + std::wstring{name, name_length} + L"] " +
                    std::to_wstring(type) + L":" + std::wstring(data, data + data_size));
  }
  for (DWORD i = 0;; ++i) {
    DWORD name_length = 16384;
    if (RegEnumKeyExW(key, i, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    const std::wstring child_name{name, name_length};
    lines.push_back(path + L"\\" + child_name);
    HKEY child = nullptr;
    if (RegOpenKeyExW(key, child_name.c_str(), 0, KEY_READ, &child) == ERROR_SUCCESS) {
      SnapshotInto(child, path + L"\\" + child_name, lines);
      RegCloseKey(child);
    }
  }
}

}  // namespace

std::wstring UniqueName(const std::wstring& base) {
  return base + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(GetTickCount64());
}

bool CreateKey(const std::wstring& sub_key) {
  return RegSetKeyValueW(HKEY_CURRENT_USER, sub_key.c_str(), nullptr, REG_SZ, L"", 2) ==
         ERROR_SUCCESS;
}

std::optional<RegistryValue> ReadValue(const std::wstring& sub_key, const std::wstring& name) {
  RegistryValue value{0, std::vector<BYTE>(4096)};
  auto size = static_cast<DWORD>(value.bytes.size());
  if (RegGetValueW(HKEY_CURRENT_USER, sub_key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                   &value.type, value.bytes.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.bytes.resize(size);
  return value;
}

std::vector<std::wstring> Snapshot(const std::wstring& sub_key) {
  std::vector<std::wstring> lines;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, sub_key.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    SnapshotInto(key, L"", lines);
    RegCloseKey(key);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}
