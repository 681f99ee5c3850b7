// The registry below HKEY_CURRENT_USER as a test sees it: values read back,
// and whole subtrees compared before and after.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct RegistryValue {
  DWORD type;
  std::vector<BYTE> bytes;
};

// The messenger's per-account settings, below HKEY_CURRENT_USER.
inline const std::wstring kAccountSettings =
    L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings";
inline std::wstring AccountKey(const std::wstring& name) { return kAccountSettings + L"\\" + name; }
// base made unique to this run, so that a test can remove what it made.
std::wstring UniqueName(const std::wstring& base);

// Makes the key (with an empty default value) and any missing parent.
bool CreateKey(const std::wstring& sub_key);
std::optional<RegistryValue> ReadValue(const std::wstring& sub_key, const std::wstring& name);
// Every key and value below sub_key, one sorted line each.
std::vector<std::wstring> Snapshot(const std::wstring& sub_key);
