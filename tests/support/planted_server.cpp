#include "support/planted_server.h"

#include "standin/driver.h"

std::wstring MarkOf(const std::wstring& dll) { return dll + L".loaded"; }

PlantedInProcessServer::PlantedInProcessServer(const std::wstring& client, const std::wstring& dll)
    : view_(ViewOf(client)) {
  DeleteFileW(MarkOf(dll).c_str());
  SetMachineKeyDefault(view_, kMessengerClassKey + L"\\InprocServer32", dll);
}

PlantedInProcessServer::~PlantedInProcessServer() {
  DeleteMachineKey(view_, kMessengerClassKey, L"InprocServer32");
  // The class's own key goes too where nothing else is in it: in the view
  // that a 32-bit messenger did not register in.
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMessengerClassKey.c_str(), view_, 0);
}
