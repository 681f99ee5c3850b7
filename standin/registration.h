// Registers the stand-in as the local server of the Messenger class, with its
// type library and the marshaling of its interfaces, machine-wide (Wine
// ignores per-user classes for activation).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The stand-in's own type library (the messenger's class and interfaces).
inline constexpr GUID kStandinLibrary = {
    0xCF21CFD4, 0x417B, 0x4CFF, {0x8C, 0x39, 0xC8, 0x4F, 0x6B, 0x3C, 0xCD, 0xC8}};

// When COM launches the server, it runs signed in as signin_name, if given.
HRESULT RegisterServer(const std::optional<std::wstring>& signin_name);
HRESULT UnregisterServer();
