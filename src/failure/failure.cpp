#include "failure/failure.h"

#include "owned.h"
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
  const Owned<wchar_t*, LocalFree> owned{buffer};
  std::wstring text{buffer, length};
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

// The code as the system writes it: "0x800706BA".
std::wstring HexNumber(HRESULT code) {
  std::wstring text = L"0x00000000";
  auto bits = static_cast<unsigned long>(code);
  for (std::size_t digit = text.size() - 1; bits != 0; --digit, bits >>= 4) {
    text[digit] = L"0123456789ABCDEF"[bits & 0xF];
  }
  return text;
}

}  // namespace

Failure FailureFromHresult(HRESULT code) { return {code, SystemMessage(code)}; }

Failure FailureFromLastError() {
  const DWORD error = GetLastError();
  return FailureFromHresult(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

void AddNote(Failure& failure, const std::wstring& note) {
  if (!note.empty()) {
    failure.description += L"\n\n" + note;
  }
}

int ShowBox(HWND owner, const std::wstring& text, const wchar_t* title, UINT style) {
  for (MSG input; PeekMessageW(&input, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT);) {
  }
  if (InSendMessage()) {
    ReplyMessage(0);
  }
  return MessageBoxW(owner, text.c_str(), title, style);
}

void ShowFatalError(HWND owner, const Failure& failure) {
  ShowBox(owner,
          L"Run-time error " + HexNumber(failure.code) + L":\n\n" + failure.description + L"\n\n" +
              kProgramTitle + L" will now close.",
          kProgramTitle, MB_OK | MB_ICONHAND);
}
