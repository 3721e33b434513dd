#include <cstdio>
#include <string>

#include "Application.h"
#include "CommandLine.h"
#include "DialogHook.h"
#include "Exceptions.h"
#include "MainWindow1.h"
#include "qt/FormWindow.h"

TMainForm1* MainForm1 = nullptr;

namespace {

// Every box is printed instead of shown, so the test can read it.
[[maybe_unused]] const bool kBoxesPrinted = [] {
  SetBoxAnswerer([](const TShownBox& box) {
    std::printf("box|%s|%d|%s\n", box.caption.c_str(), static_cast<int>(box.icon), box.text.c_str());
    std::fflush(stdout);
    return 0;
  });
  return true;
}();

}  // namespace

TMainForm1::TMainForm1(TComponent* Owner) : TForm(Owner) {
  const std::string mode = ParamStr(1);
  if (mode == "throw-int") throw 42;
  if (mode == "throw-exception") throw Exception("broken");
  SetClientWidth(100);
  SetClientHeight(100);
  fTimer = new TTimer(this);
  fTimer->SetInterval(20);
  fTimer->OnTimer = [this, mode](TObject*) {
    if (mode == "user-closes") {
      // As the window's close box does.
      Window()->close();
    } else if (mode == "handler-throws") {
      fTimer->SetEnabled(false);
      fThrown = true;
      throw 7;
    }
  };
  if (mode == "terminate-in-create") {
    // Asked for before the loop runs: the loop must not start at all.
    OnCreate = [](TObject*) { Application->Terminate(); };
  }
  if (mode == "close-while-created") {
    // Closing a form that is not yet the main form only hides it; the
    // first tick of the loop then ends the program.
    OnCreate = [this](TObject*) { Close(); };
    fTimer->OnTimer = [this](TObject*) {
      std::printf("tick visible=%d\n", Visible() ? 1 : 0);
      std::fflush(stdout);
      Close();
    };
  }
  if (mode == "handler-throws") {
    // After the failure, the user closes the window.
    auto* closer = new TTimer(this);
    closer->SetInterval(200);
    closer->OnTimer = [this](TObject*) {
      if (fThrown) Window()->close();
    };
  }
}

void TMainForm1::Publish(Published& /*published*/) {}
