// A uniquely named registry key for one test, deleted with everything below it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct RegistryValue {
  DWORD type;
  std::vector<BYTE> bytes;
};

class ScratchKey {
 public:
  ScratchKey();
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  // Below HKEY_CURRENT_USER, without the root's name.
  const std::wstring& sub_key() const { return sub_key_; }
  // With the root's name in front, as the registry module takes it.
  std::wstring path() const { return L"HKEY_CURRENT_USER\\" + sub_key_; }

  void CreateChild(const std::wstring& relative) const;
  bool HasChild(const std::wstring& relative) const;
  void SetValue(const std::wstring& relative, const std::wstring& name, DWORD type,
                const std::vector<BYTE>& bytes) const;
  std::optional<RegistryValue> Value(const std::wstring& relative, const std::wstring& name) const;
  // Every key and value below this key, one line each, for comparing states.
  std::vector<std::wstring> Snapshot() const;

 private:
  std::wstring sub_key_;
};

// The messenger's per-account settings, below HKEY_CURRENT_USER.
inline const std::wstring kAccountSettings =
    L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings";
inline std::wstring AccountKey(const std::wstring& name) { return kAccountSettings + L"\\" + name; }
// base made unique to this run, so that a test can remove what it made.
std::wstring UniqueName(const std::wstring& base);

bool CreateKey(HKEY root, const std::wstring& sub_key);
bool KeyExists(HKEY root, const std::wstring& sub_key, REGSAM view = 0);
std::optional<RegistryValue> ReadValue(HKEY root, const std::wstring& sub_key,
                                       const std::wstring& name);
std::vector<std::wstring> SnapshotKey(HKEY root, const std::wstring& sub_key);
