// A gtest environment that starts the application on Qt's offscreen
// platform with a 1024 x 768 screen and no window frames, and answers every
// message box by recording it.
#pragma once

#include <string>
#include <vector>

#include "DialogHook.h"

namespace testing_support {

// Boxes shown since the last call, oldest first.
std::vector<TShownBox> TakeShownBoxes();
// Index of the button the next boxes press (-1: Escape). Default 0.
void PressInBoxes(int button);

}  // namespace testing_support
