// The messenger as the tests have it: the stand-in, registered the way the
// messenger registers itself and running signed in, and a stranger's
// in-process server planted for its class.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "support/processes.h"

class StandinMessenger {
 public:
  // "/ctl:command" to the running one: 0 done, 1 refused, 2 none running.
  static int Control(const std::wstring& command);

  // program: the stand-in of either architecture. It keeps the registration
  // of its class and its event interface, in its own registry view alone:
  // whatever else its type library registered (its dual interfaces, and
  // Wine's copies in the other view) is removed, so that a program which
  // needed it fails here rather than beside a messenger that registered less.
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

// An in-process server for the messenger's class, registered in the view of
// a client of that architecture (as anyone may, under a user's own classes
// on Windows; Wine reads only the machine's), pointing at dll: a DLL that
// leaves a mark beside itself when it is loaded. Removed when it goes.
class PlantedInProcessServer {
 public:
  PlantedInProcessServer(const std::wstring& client, const std::wstring& dll);
  ~PlantedInProcessServer();
  PlantedInProcessServer(const PlantedInProcessServer&) = delete;
  PlantedInProcessServer& operator=(const PlantedInProcessServer&) = delete;

 private:
  REGSAM view_;
};

// The registry view of a program: KEY_WOW64_32KEY for a 32-bit one.
REGSAM ViewOf(const std::wstring& program);
// The mark that the planted DLL leaves beside itself when it is loaded.
std::wstring MarkOf(const std::wstring& dll);
