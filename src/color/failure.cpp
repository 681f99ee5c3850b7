#include "color/failure.h"

#include <cwchar>

#include "resources/program.h"

namespace {

std::wstring SystemMessage(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0) {
    return L"Unknown error";
  }
  std::wstring text{buffer, length};
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

Failure FailureFromHresult(HRESULT code) {
  return {code, SystemMessage(code)};
}

Failure FailureFromLastError() {
  const DWORD error = GetLastError();
  return FailureFromHresult(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

void ShowFatalError(HWND owner, const Failure& failure) {
  wchar_t number[32];
  std::swprintf(number, std::size(number), L"0x%08lX", static_cast<unsigned long>(failure.code));
  const std::wstring text = std::wstring{L"Run-time error "} + number + L":\n\n" +
                            failure.description + L"\n\n" + kProgramTitle + L" will now close.";
  MessageBoxW(owner, text.c_str(), kProgramTitle, MB_OK | MB_ICONHAND);
}
