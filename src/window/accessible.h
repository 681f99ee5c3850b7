// What assistive technology is told of a control beyond what Windows tells by
// itself. An MSAA client (a screen reader on any Windows) gets the system's
// own accessible object for it with the program's answers; a UI Automation
// client (Narrator, and every client of UI Automation) gets the program's
// element, hosted by the system's for the window. Either is made only when a
// client asks for it.
#pragma once

#include <windows.h>
#include <oleacc.h>

enum class AccessibleKind {
  kText,     // an edit control: its text is its value
  kChannel,  // a scroll bar that works as a slider: its position is its value
  kButton,   // a label that acts as a push button: its action clicks it
};

// Makes control answer a client's request for its object (WM_GETOBJECT) so,
// named name (which must outlive the control; null: the control's own
// text). Where a client's library is missing or fails, the control answers
// as it would without this. False when the control could not be set up so.
bool MakeAccessible(HWND control, AccessibleKind kind, const wchar_t* name);

// The object an MSAA client gets: system, the system's object for control,
// with the program's answers added.
HRESULT WrapAccessible(HWND control, AccessibleKind kind, const wchar_t* name, IAccessible* system,
                       IAccessible** wrapped);

// Tells UI Automation clients that listen that the program moved a bar from
// one position to another. (Windows raises the MSAA event itself.)
void ReportChannelMoved(HWND bar, int from, int to);

// A click on a button that a client asked for, posted as a click is: the
// client is answered at once, and the click is handled from the window's own
// queue like the user's. False when the control is gone.
bool ClickLater(HWND control);
