// Applying the chosen colour: store it as the signed-in account's "IM Color"
// and confirm it to the user; and, at the start, the colour stored there now.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "color/color.h"

class MessengerLink;

// The three channel controls (the main window's scroll bars). Both calls
// throw Failure when a control does not answer.
class ChannelControls {
 public:
  virtual ChannelTriple ReadChannels() = 0;
  // Moves green, which refreshes the preview before it returns.
  virtual void SetGreen(std::int16_t green) = 0;

 protected:
  ~ChannelControls() = default;
};

// Takes the current channels (never storing pure white), writes them for the
// account signed in to the messenger, and says what happened in a box modal
// to owner. Throws Failure when a control or the messenger fails: nothing is
// written after that.
void ApplyColor(ChannelControls& channels, const MessengerLink& messenger, HWND owner);

// The colour the signed-in account has now: its "IM Color", when that is a
// record this program would write. Nothing, without a word, for anything
// else (nobody signed in, a name that would not be written for, no key, no
// such record). Reads only; a messenger that does not answer is watched as
// at the start, stopping ends the program with exit_code_if_stopped.
std::optional<ChannelTriple> ReadStoredColor(const MessengerLink& messenger,
                                             int exit_code_if_stopped);
