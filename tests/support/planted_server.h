// A stranger's in-process server planted for the messenger's class: a
// program that loads it where it should have asked the messenger's own
// process fails the test that planted it.
#pragma once

#include <windows.h>

#include <string>

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

// The mark that the planted DLL leaves beside itself when it is loaded.
std::wstring MarkOf(const std::wstring& dll);
