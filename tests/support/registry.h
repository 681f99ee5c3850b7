// The registry below HKEY_CURRENT_USER as a test sees it: values read back,
// and whole subtrees compared before and after.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The messenger's per-account settings, below HKEY_CURRENT_USER.
inline const std::wstring kAccountSettings =
    L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings";
inline std::wstring AccountKey(const std::wstring& name) { return kAccountSettings + L"\\" + name; }
// base made unique to this run, so that a test can remove what it made.
std::wstring UniqueName(const std::wstring& base);

// The bytes of a binary value; empty when there is no binary value of that name.
std::vector<BYTE> ReadBinaryValue(const std::wstring& sub_key, const std::wstring& name);
// Every key and value below sub_key, one sorted line each.
std::vector<std::wstring> Snapshot(const std::wstring& sub_key);
