// The stand-in as other programs run it (the tests, the bench): registered
// the way the messenger registers itself, started signed in, driven through
// its control window, and ended.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "color/color.h"
#include "standin/process.h"

// The key of an account's messenger settings below HKEY_CURRENT_USER, as the
// program builds it; the stand-in makes it when the account signs in.
inline std::wstring AccountKey(const std::wstring& name) {
  return BuildAccountKeyPath(name).substr(std::wstring_view{L"HKEY_CURRENT_USER\\"}.size());
}
// The bytes of a binary value below HKEY_CURRENT_USER; empty when there is
// no binary value of that name: what the program stored, read back.
std::vector<BYTE> ReadBinaryValue(const std::wstring& sub_key, const std::wstring& name);
// For a program that measures another's windows, before it makes any window
// of its own: without DPI awareness, Windows hands it their coordinates
// scaled back to 96 DPI.
void SeeOtherWindowsAtTheirScale();

class StandinMessenger {
 public:
  // "/ctl:command" to the running one: 0 done, 1 refused, 2 none running.
  static int Control(const std::wstring& command);

  // program: the stand-in of either architecture. It keeps the registration
  // of its class and its event interface, in its own registry view alone:
  // whatever else its type library registered (its dual interfaces, and
  // Wine's copies in the other view) is removed, so that a program which
  // needed it fails here rather than beside a messenger that registered less.
  // Beside a 32-bit one, a 64-bit program finds no proxy for the event
  // interface, as on 64-bit Windows 7 and later.
  StandinMessenger(const std::wstring& program, const std::wstring& signin_name);
  // Ends it and forgets its registration, as on a machine without a messenger.
  ~StandinMessenger();
  StandinMessenger(const StandinMessenger&) = delete;
  StandinMessenger& operator=(const StandinMessenger&) = delete;

  bool started() const { return started_; }
  // Ends it at once, as a crash would (or as one must end a hung messenger).
  void Kill();

 private:
  int Run(const std::wstring& arguments) const;

  std::wstring program_;
  std::optional<Process> process_;
  bool started_ = false;
};

// The registry view of a program: KEY_WOW64_32KEY for a 32-bit one.
REGSAM ViewOf(const std::wstring& program);

// Machine-wide classes, where Wine looks for them, in one registry view.
extern const std::wstring kMessengerClassKey;
void SetMachineKeyDefault(REGSAM view, const std::wstring& key, const std::wstring& text);
void DeleteMachineKey(REGSAM view, const std::wstring& parent, const std::wstring& name);
