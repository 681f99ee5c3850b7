// The registry module: names a key by one text with the root key's name in
// front ("HKEY_CURRENT_USER\Software\..."), and writes and reads binary values
// in keys that exist already. It never creates a key.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace reg {

// The predefined root key of that exact (case-sensitive) name, or null.
HKEY RootKeyFromName(std::wstring_view name);

// Cuts path at its first backslash: root receives the key named by the part
// before it (null when the name is not a root key's) and path keeps the part
// after it; a path with no backslash names the root itself and becomes empty.
// A path that does not start with "HKEY_" or ends with a backslash is
// rejected: the "Incorrect Format:" box is shown, modal to owner, root is set
// to null, path stays as it was, and the result is false.
bool SplitRegistryPath(std::wstring& path, HKEY& root, HWND owner);

// The text exactly in the system's ANSI code page, or nothing when a
// character has no exact equivalent there (the API would otherwise substitute
// a look-alike) or is NUL (the API would end the text there).
std::optional<std::string> ToAnsiExactly(std::wstring_view text);

enum class WriteStatus {
  kWritten,
  kPathRejected,      // malformed path, already reported by its box
  kUnknownRoot,       // the path's root name is no root key
  kNotRepresentable,  // key path or value name has no exact ANSI form
  kDataOutOfRange,    // a data character's code does not fit in a byte
  kKeyNotOpened,      // missing or not writable: error holds the system's code
  kValueNotSet,       // error holds the system's code
};

struct WriteOutcome {
  WriteStatus status;
  LSTATUS error = ERROR_SUCCESS;
};

// Stores the character codes of data, one byte each, as the REG_BINARY value
// value_name of the existing key named by path, replacing any value of that
// name whatever its type.
WriteOutcome WriteBinaryValue(std::wstring_view path, std::wstring_view value_name,
                              std::wstring_view data, HWND owner);

// The REG_BINARY value value_name of the existing key named by path, one
// character a byte (as WriteBinaryValue takes it); nothing when the path
// cannot name a key exactly, the key or the value is missing or unreadable,
// or the value has another type. Opens the key for reading only, and says
// nothing: not even a malformed path gets its box.
std::optional<std::wstring> ReadBinaryValue(std::wstring_view path, std::wstring_view value_name);

}  // namespace reg
