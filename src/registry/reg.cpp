#include "registry/reg.h"

#include <array>
#include <utility>
#include <vector>

#include "failure/failure.h"
#include "owned.h"
#include "resources/program.h"

namespace reg {
namespace {

using UniqueKey = Owned<HKEY, RegCloseKey>;

const std::array<std::pair<std::wstring_view, HKEY>, 7> kRootKeys{{
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKEY_USERS", HKEY_USERS},
    {L"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {L"HKEY_DYN_DATA", HKEY_DYN_DATA},
}};

void ShowIncorrectFormat(const std::wstring& path, HWND owner) {
  const std::wstring text = L"Incorrect Format:\n\n" + path;
  ShowBox(owner, text, kProgramTitle, MB_OK);
}

// SplitRegistryPath without its box: false for a path it rejects.
bool Split(std::wstring& path, HKEY& root) {
  root = nullptr;
  if (!path.starts_with(L"HKEY_") || path.ends_with(L'\\')) {
    return false;
  }
  const std::size_t separator = path.find(L'\\');
  if (separator == std::wstring::npos) {
    root = RootKeyFromName(path);
    path.clear();
  } else {
    root = RootKeyFromName(std::wstring_view{path}.substr(0, separator));
    path.erase(0, separator + 1);
  }
  return true;
}

std::optional<std::vector<BYTE>> ToBytes(std::wstring_view data) {
  std::vector<BYTE> bytes;
  bytes.reserve(data.size());
  for (const wchar_t code : data) {
    if (code > 0xFF) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<BYTE>(code));
  }
  return bytes;
}

}  // namespace

HKEY RootKeyFromName(std::wstring_view name) {
  for (const auto& [root_name, root] : kRootKeys) {
    if (name == root_name) {
      return root;
    }
  }
  return nullptr;
}

bool SplitRegistryPath(std::wstring& path, HKEY& root, HWND owner) {
  if (!Split(path, root)) {
    ShowIncorrectFormat(path, owner);
    return false;
  }
  return true;
}

std::optional<std::string> ToAnsiExactly(std::wstring_view text) {
  if (text.empty()) {
    return std::string{};
  }
  if (text.find(L'\0') != std::wstring_view::npos) {
    return std::nullopt;
  }
  // The UTF-8 code page takes neither the best-fit flag nor the default-character
  // report, and takes WC_ERR_INVALID_CHARS only when named as CP_UTF8; the
  // round trip below catches every inexact conversion anyway.
  // WC_ERR_INVALID_CHARS is newer than XP, but so is a UTF-8 ANSI code page
  // (Windows 10), so only systems that know the flag ever pass it.
  constexpr DWORD kErrorOnInvalidChars = 0x80;
  const bool utf8 = GetACP() == CP_UTF8;
  const UINT code_page = utf8 ? CP_UTF8 : CP_ACP;
  const DWORD flags = utf8 ? kErrorOnInvalidChars : WC_NO_BEST_FIT_CHARS;
  const int wide_length = static_cast<int>(text.size());
  BOOL used_default = FALSE;
  BOOL* const used_default_out = utf8 ? nullptr : &used_default;
  const int length = WideCharToMultiByte(code_page, flags, text.data(), wide_length, nullptr, 0,
                                         nullptr, used_default_out);
  if (length <= 0) {
    return std::nullopt;
  }
  std::string ansi(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(code_page, flags, text.data(), wide_length, ansi.data(), length, nullptr,
                          used_default_out) != length ||
      used_default) {
    return std::nullopt;
  }
  std::wstring back(text.size(), L'\0');
  if (MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, ansi.data(), length, back.data(),
                          wide_length) != wide_length ||
      back != text) {
    return std::nullopt;
  }
  return ansi;
}

WriteOutcome WriteBinaryValue(std::wstring_view path, std::wstring_view value_name,
                              std::wstring_view data, HWND owner) {
  std::wstring sub_key{path};
  HKEY root = nullptr;
  if (!SplitRegistryPath(sub_key, root, owner)) {
    return {WriteStatus::kPathRejected};
  }
  if (root == nullptr) {
    return {WriteStatus::kUnknownRoot};
  }
  const std::optional<std::string> ansi_sub_key = ToAnsiExactly(sub_key);
  const std::optional<std::string> ansi_value_name = ToAnsiExactly(value_name);
  if (!ansi_sub_key || !ansi_value_name) {
    return {WriteStatus::kNotRepresentable};
  }
  const std::optional<std::vector<BYTE>> bytes = ToBytes(data);
  if (!bytes) {
    return {WriteStatus::kDataOutOfRange};
  }

  HKEY opened = nullptr;
  if (const LSTATUS error = RegOpenKeyExA(root, ansi_sub_key->c_str(), 0, KEY_WRITE, &opened);
      error != ERROR_SUCCESS) {
    return {WriteStatus::kKeyNotOpened, error};
  }
  const UniqueKey key{opened};
  if (const LSTATUS error = RegSetValueExA(key.get(), ansi_value_name->c_str(), 0, REG_BINARY,
                                           bytes->data(), static_cast<DWORD>(bytes->size()));
      error != ERROR_SUCCESS) {
    return {WriteStatus::kValueNotSet, error};
  }
  return {WriteStatus::kWritten};
}

std::optional<std::wstring> ReadBinaryValue(std::wstring_view path, std::wstring_view value_name) {
  std::wstring sub_key{path};
  HKEY root = nullptr;
  if (!Split(sub_key, root) || root == nullptr) {
    return std::nullopt;
  }
  const std::optional<std::string> ansi_sub_key = ToAnsiExactly(sub_key);
  const std::optional<std::string> ansi_value_name = ToAnsiExactly(value_name);
  if (!ansi_sub_key || !ansi_value_name) {
    return std::nullopt;
  }
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, ansi_sub_key->c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const UniqueKey key{opened};
  // The size first, then the bytes: a value that grows in between (another
  // program writing it) is not taken half-read.
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), ansi_value_name->c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_BINARY) {
    return std::nullopt;
  }
  std::vector<BYTE> bytes(size);
  if (RegQueryValueExA(key.get(), ansi_value_name->c_str(), nullptr, &type, bytes.data(), &size) !=
          ERROR_SUCCESS ||
      type != REG_BINARY) {
    return std::nullopt;
  }
  return std::wstring(bytes.begin(), bytes.begin() + size);
}

}  // namespace reg
