// Calls a function that Windows XP lacks: the XP check must refuse it.
#include <windows.h>

int main() { return static_cast<int>(GetTickCount64() % 2); }
