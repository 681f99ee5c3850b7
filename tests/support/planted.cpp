// A DLL that leaves a mark beside itself ("<its path>.loaded") as soon as
// anything loads it: planted where a careless program would load it from.
// As an in-process server it serves no class.
#include <windows.h>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t mark[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameW(instance, mark, MAX_PATH);
    lstrcpyW(mark + length, L".loaded");
    CloseHandle(CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  return TRUE;
}

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** object) {
  *object = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

}  // extern "C"
