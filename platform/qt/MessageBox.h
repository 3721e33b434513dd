// The one message box all of the layer's boxes are made from. Internal.
#pragma once

#include <string>
#include <vector>

#include "DialogHook.h"

struct BoxButton {
  std::string caption;
  int result;
};

// Modal, parented to the main form when there is one, centred on the
// primary screen. Returns the result of the button pressed, or
// `escapeResult` when the box is dismissed with Escape or its close box.
int ShowBox(const std::string& caption, const std::string& text, BoxIcon icon, const std::vector<BoxButton>& buttons,
            int defaultIndex, int escapeResult);
