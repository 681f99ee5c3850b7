// The program's one fatal path: a failed call that the program cannot go on
// after is thrown as a Failure, shown in one error box, and ends the program.
#pragma once

#include <windows.h>

#include <exception>
#include <new>
#include <string>

// The program's exit code after the fatal error box.
inline constexpr int kFatalExitCode = 1;

struct Failure {
  HRESULT code;
  std::wstring description;
};

// The system's own description of the code.
Failure FailureFromHresult(HRESULT code);
Failure FailureFromLastError();
// Adds a paragraph to the description (nothing when note is empty).
void AddNote(Failure& failure, const std::wstring& note);

// Shows a box the user must read, modal to owner (which may be null), and
// gives its result: 0 when it could not be shown. Keys and clicks still
// queued from before it opens (typed while the messenger was asked, say)
// were meant for the window: they are dropped, not left to answer it. A
// program waiting on the message being handled gets its answer first: it
// must not wait for a person, and Windows refuses this thread any call to
// the messenger while it waits.
int ShowBox(HWND owner, const std::wstring& text, const wchar_t* title, UINT style);

// Shows the error's number and description, titled with the program's title,
// modal to owner (which may be null).
void ShowFatalError(HWND owner, const Failure& failure);

// Runs action. When it fails, the fatal box is shown and false returned: the
// caller then ends the program. No exception leaves, so this is safe to call
// from a window procedure or a COM callback.
template <typename Action>
[[nodiscard]] bool RunOrShowFatal(HWND owner, Action&& action) noexcept {
  try {
    action();
    return true;
  } catch (const Failure& failure) {
    ShowFatalError(owner, failure);
  } catch (const std::bad_alloc&) {
    ShowFatalError(owner, FailureFromHresult(E_OUTOFMEMORY));
  } catch (const std::exception&) {
    ShowFatalError(owner, FailureFromHresult(E_UNEXPECTED));
  }
  return false;
}
