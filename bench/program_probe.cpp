// The program as it starts and runs (the same steps as its entry point:
// application, title, main window, loop), with its timer watched: prints
// the monotonic clock at the first tick, the number of ticks until the
// arrival, and how long the arrival took (capture, encode, write). Boxes
// are answered at once.
#include <cstdio>
#include <ctime>

#include "Application.h"
#include "DialogHook.h"
#include "MainWindow1.h"

namespace {

double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char* argv[]) {
  SetBoxAnswerer([](const TShownBox& box) {
    std::printf("box %s\n", box.text.c_str());
    return 0;
  });
  Application->Initialize(argc, argv);
  Application->Title = "Orvessa";
  Application->CreateForm(MainForm1);
  TTimer* timer = MainForm1->Timer1;
  const TNotifyEvent original = timer->OnTimer;
  int ticks = 0;
  timer->OnTimer = [&](TObject* sender) {
    const double start = Now();
    if (++ticks == 1) std::printf("first-tick %.6f\n", start);
    const bool wasEnabled = timer->Enabled();
    original(sender);
    if (wasEnabled && !timer->Enabled()) {
      std::printf("arrival-tick %d\narrival-to-saved %.6f\n", ticks, Now() - start);
      std::printf("left %d top %d edge %d\n", MainForm1->Left(), MainForm1->Top(),
                  static_cast<int>(MainForm1->ArrivalEdge));
    }
    std::fflush(stdout);
  };
  Application->Run();
  Application->Finalize();
  return 0;
}
