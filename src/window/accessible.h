// What a screen reader is told of a control beyond what Windows tells by
// itself: the system's own accessible object for it, with a name of the
// program's, a channel's number as a bar's value, or the role and the action
// of a push button.
#pragma once

#include <windows.h>

enum class AccessibleKind {
  kPlain,    // the system's object, but its name
  kChannel,  // a scroll bar whose value is its position, 0..255
  kButton,   // a label that acts as a push button: its default action clicks it
};

// Makes control answer a screen reader's request for its object (WM_GETOBJECT)
// with such an object, named name (which must outlive the control). Where
// the accessibility library is missing or fails, the control answers as it
// would without this. False when the control could not be set up so.
bool MakeAccessible(HWND control, AccessibleKind kind, const wchar_t* name);
