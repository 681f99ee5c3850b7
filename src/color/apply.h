// Applying the chosen colour: store it as the signed-in account's "IM Color"
// and confirm it to the user.
#pragma once

#include <windows.h>

#include <cstdint>

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
