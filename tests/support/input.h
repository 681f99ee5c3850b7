// Real input through the X server, as the user's mouse and keyboard give it,
// and what the X server was given.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

// Runs a command line of xdotool or xprop on the display this Wine draws on,
// and returns its output once it has run.
std::string RunOnDisplay(const std::wstring& command_line);
// Runs xdotool with these arguments, and returns once the input has had time
// to land.
void Xdotool(const std::wstring& arguments);
// xdotool's arguments that move the pointer to a point of the screen.
std::wstring MoveTo(POINT at);
void ClickAt(POINT at);
// Keys by their X names: "Tab", "End", "Next", "Prior", "Home", "Left", ...
void PressKeys(std::initializer_list<const wchar_t*> keys);
