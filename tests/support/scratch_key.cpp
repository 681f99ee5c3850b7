#include "support/scratch_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

namespace {

std::wstring Join(const std::wstring& base, const std::wstring& relative) {
  return relative.empty() ? base : base + L"\\" + relative;
}

void SnapshotInto(HKEY key, const std::wstring& prefix, std::vector<std::wstring>& lines) {
  wchar_t name[16384];
  BYTE data[4096];
  for (DWORD index = 0;; ++index) {
    DWORD name_length = static_cast<DWORD>(std::size(name));
    DWORD data_size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueW(key, index, name, &name_length, nullptr, &type, data, &data_size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::wstring line = prefix + L" [" + std::wstring{name, name_length} + L"] " +
                        std::to_wstring(type) + L":";
    for (DWORD i = 0; i < data_size; ++i) {
      wchar_t hex[4];
      std::swprintf(hex, std::size(hex), L" %02X", data[i]);
      line += hex;
    }
    lines.push_back(line);
  }
  for (DWORD index = 0;; ++index) {
    DWORD name_length = static_cast<DWORD>(std::size(name));
    if (RegEnumKeyExW(key, index, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    const std::wstring child{name, name_length};
    lines.push_back(prefix + L"\\" + child);
    HKEY child_key = nullptr;
    if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &child_key) == ERROR_SUCCESS) {
      SnapshotInto(child_key, prefix + L"\\" + child, lines);
      RegCloseKey(child_key);
    }
  }
}

}  // namespace

ScratchKey::ScratchKey() {
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  sub_key_ = L"Software\\TintwellTests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount64());
  if (test != nullptr) {
    sub_key_ += L"-" + std::wstring(test->name(), test->name() + std::strlen(test->name()));
  }
  CreateChild(L"");
}

ScratchKey::~ScratchKey() {
  RegDeleteTreeW(HKEY_CURRENT_USER, sub_key_.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, sub_key_.c_str());
  // The shared parent goes too once the last test's key is gone.
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TintwellTests");
}

void ScratchKey::CreateChild(const std::wstring& relative) const {
  ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, Join(sub_key_, relative)));
}

bool ScratchKey::HasChild(const std::wstring& relative) const {
  return KeyExists(HKEY_CURRENT_USER, Join(sub_key_, relative));
}

void ScratchKey::SetValue(const std::wstring& relative, const std::wstring& name, DWORD type,
                          const std::vector<BYTE>& bytes) const {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, Join(sub_key_, relative).c_str(), name.c_str(),
                            type, bytes.data(), static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

std::optional<RegistryValue> ScratchKey::Value(const std::wstring& relative,
                                               const std::wstring& name) const {
  return ReadValue(HKEY_CURRENT_USER, Join(sub_key_, relative), name);
}

std::vector<std::wstring> ScratchKey::Snapshot() const {
  return SnapshotKey(HKEY_CURRENT_USER, sub_key_);
}

std::wstring UniqueName(const std::wstring& base) {
  return base + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(GetTickCount64());
}

bool CreateKey(HKEY root, const std::wstring& sub_key) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, sub_key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool KeyExists(HKEY root, const std::wstring& sub_key, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, sub_key.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::optional<RegistryValue> ReadValue(HKEY root, const std::wstring& sub_key,
                                       const std::wstring& name) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegGetValueW(root, sub_key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                   &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegistryValue value{type, std::vector<BYTE>(size)};
  if (RegGetValueW(root, sub_key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                   value.bytes.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.bytes.resize(size);
  return value;
}

std::vector<std::wstring> SnapshotKey(HKEY root, const std::wstring& sub_key) {
  std::vector<std::wstring> lines;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, sub_key.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    SnapshotInto(key, L"", lines);
    RegCloseKey(key);
  }
  return lines;
}
