// Calls a function that Windows XP lacks, for the import check to refuse:
// GetTickCount64, or with CALLS_GET_THREAD_ID, GetThreadId, which XP x64
// has. Built as Tintwell is, it imports what Tintwell does besides.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef CALLS_GET_THREAD_ID
  return static_cast<int>(GetThreadId(GetCurrentThread()) % 2);
#else
  return static_cast<int>(GetTickCount64() % 2);
#endif
}
