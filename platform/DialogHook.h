// Lets a test see and answer every message box instead of a person.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class BoxIcon { None, Error, Question, Warning, Information };

struct TShownBox {
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::None;
  std::vector<std::string> buttons;
  int defaultButton = 0;
  bool parentedToMainForm = false;
};

// Receives each box and returns the index of the button to press, or -1
// for Escape. While one is set, no box is shown.
using TBoxAnswerer = std::function<int(const TShownBox&)>;
void SetBoxAnswerer(TBoxAnswerer answerer);
