// A program that a check of what may ship must refuse, for the one reason
// chosen when it is built: a call to a function that Windows XP lacks
// (GetTickCount64, delay-loaded or not), one that only XP x64 has
// (GetThreadId), an import by an unlisted ordinal, or an instruction that
// the oldest processor lacks. Built as Tintwell is, it imports what Tintwell
// does besides; it is never run.
#include <windows.h>

#ifdef IMPORTS_BY_ORDINAL
extern "C" int OrdinalSix();  // oleaut32.dll's ordinal 6, named only in its .def file
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#if defined(CALLS_GET_THREAD_ID)
  return static_cast<int>(GetThreadId(GetCurrentThread()) % 2);
#elif defined(CALLS_GET_TICK_COUNT_64)
  return static_cast<int>(GetTickCount64() % 2);
#elif defined(IMPORTS_BY_ORDINAL)
  return OrdinalSix();
#elif defined(USES_SSE)
  asm volatile(".byte 0x0f, 0x57, 0xc0");  // xorps xmm0, xmm0, as bytes: i686 has no xmm0
#elif defined(USES_AVX)
  asm volatile(".byte 0xc5, 0xfc, 0x57, 0xc0");  // vxorps ymm0, ymm0, ymm0
#endif
  return 0;
}
