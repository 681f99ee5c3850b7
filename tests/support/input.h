// Real input through the X server, as the user's mouse and keyboard give it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

// Runs xdotool with these arguments on the display this Wine draws on, and
// returns once the input has had time to land.
void Xdotool(const std::wstring& arguments);
// xdotool's arguments that move the pointer to a point of the screen.
std::wstring MoveTo(POINT at);
void ClickAt(POINT at);
// Keys by their X names: "Tab", "End", "Next", "Prior", "Home", "Left", ...
void PressKeys(std::initializer_list<const wchar_t*> keys);
