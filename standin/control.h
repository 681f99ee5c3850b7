// Lets a second process drive the running stand-in: sign in and out, raise an
// event, quit. Commands travel as WM_COPYDATA to a message-only window.
#pragma once

#include <windows.h>

#include <string>

inline constexpr wchar_t kControlWindowClass[] = L"TintwellMessengerStandinControl";
// Marks a WM_COPYDATA as a command ("TWMS").
inline constexpr ULONG_PTR kCommandTag = 0x54574D53;

// Creates the running stand-in's control window; false when that fails.
bool CreateControlWindow();

// Sends command to the running stand-in, from a process of either
// architecture: "ping", "signin:NAME", "signout", "fire" (an event to every
// subscriber), "subscribed" (done only while some client is subscribed),
// "delay:MS" (each name, subscription or unsubscription answer takes MS ms),
// "busy:MS" (calls are refused as busy for MS ms), "refused:N" (done only if
// at most N name queries were refused as busy since), "hang" (stops
// answering anything for two minutes), "hang:subscribe" or "die:subscribe"
// (hangs or ends at the next subscription), "hang:name" or "die:name" (at
// the next name query), "hang:secondname" or "die:secondname" (at the
// second name query from now), "quit". Returns 0 done, 1 refused, 2 none
// running. "quit" waits until that stand-in has ended.
int SendControlCommand(const std::wstring& command);
