// The UI Automation element of a control made accessible (accessible.h):
// uiautomationcore.dll is loaded from the system folder when a client first
// asks. Where it is missing (XP without the Windows Automation API update),
// MSAA's answers alone serve.
#pragma once

#include <windows.h>

#include "window/accessible.h"
#include "window/automation_ids.h"

// A control's element, as a client gets it: hosted by the system's element
// for the control's window once a client has asked.
HRESULT NewControlElement(HWND control, AccessibleKind kind, const wchar_t* name,
                          IRawElementProviderSimple** element);

// The answer to a WM_GETOBJECT for uia::kRootObjectId, or 0 to let the
// control answer as usual.
LRESULT AnswerAutomationRequest(HWND control, AccessibleKind kind, const wchar_t* name,
                                WPARAM wparam, LPARAM lparam);

// Raises UI Automation's event for a bar's new value, while clients listen.
void RaiseValueChanged(HWND bar, AccessibleKind kind, const wchar_t* name, int from, int to);

// Tells UI Automation, once it has been asked, that control is being
// destroyed: it lets go of what it keeps for the control's elements.
void ForgetAutomationAnswers(HWND control);
