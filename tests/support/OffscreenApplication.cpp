#include "OffscreenApplication.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "Application.h"

namespace testing_support {

namespace {

std::vector<TShownBox>& Shown() {
  static std::vector<TShownBox> shown;
  return shown;
}

int& Pressed() {
  static int pressed = 0;
  return pressed;
}

class OffscreenEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // The platform's option parser splits at ":", so the path has none.
    const std::string config = "/tmp/orvessa-offscreen-" + std::to_string(getpid()) + ".json";
    std::ofstream(config) << R"({"synchronousWindowSystemEvents": true, "windowFrameMargins": false,)"
                          << R"( "screens": [{"name": "test", "x": 0, "y": 0, "width": 1024, "height": 768,)"
                          << R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
    static char name[] = "orvessa-test";
    static char* argv[] = {name, nullptr};
    Application->Initialize(1, argv);
    Application->Title = "Orvessa";
    std::remove(config.c_str());
    SetBoxAnswerer([](const TShownBox& box) {
      Shown().push_back(box);
      return Pressed();
    });
  }
  void TearDown() override {
    SetBoxAnswerer(nullptr);
    Application->Finalize();
  }
};

[[maybe_unused]] auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new OffscreenEnvironment);

}  // namespace

std::vector<TShownBox> TakeShownBoxes() {
  std::vector<TShownBox> boxes;
  boxes.swap(Shown());
  return boxes;
}

void PressInBoxes(int button) { Pressed() = button; }

}  // namespace testing_support
