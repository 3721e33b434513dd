// Time from reading a photo to the composed 600 x 600 picture ready to
// show, inside the program's own code: the window's intake (read, decode
// what is drawn, gray), the arrangement, and the composition. Then the
// save's encode and write. Runs on Qt's offscreen platform.
//
//   intake_bench <photo> [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "DialogHook.h"
#include "FileIO.h"
#include "JpegImage.h"
#include "MainWindow1.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s photo [repetitions]\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static char name[] = "intake_bench";
  static char* qtArgv[] = {name, nullptr};
  Application->Initialize(1, qtArgv);
  Application->Title = "Orvessa";
  SetBoxAnswerer([](const TShownBox& box) {
    std::fprintf(stderr, "box: %s\n", box.text.c_str());
    return 0;
  });
  const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
  std::string photo = argv[1];
  char* intakeArgv[] = {name, photo.data(), nullptr};
  SetCommandLine(2, intakeArgv);

  std::vector<double> intake;
  std::vector<double> save;
  for (int i = 0; i < repetitions; ++i) {
    auto form = std::make_unique<TMainForm1>(nullptr);
    MainForm1 = form.get();
    const Clock::time_point start = Clock::now();
    form->DoCreate();
    // The first tick's arrangement, then the picture the window shows.
    form->Timer1->SetEnabled(false);
    form->Timer1->Tag = 0;
    form->Timer1Timer(form->Timer1);
    const TBitmap& shown = form->ClientImage();
    intake.push_back(Seconds(Clock::now() - start));

    const Clock::time_point saveStart = Clock::now();
    TJPEGImage jpeg;
    jpeg.Assign(&shown);
    jpeg.CompressionQuality = 80;
    jpeg.SaveToFile("/tmp/orvessa-bench-save.jpg");
    save.push_back(Seconds(Clock::now() - saveStart));
    MainForm1 = nullptr;
  }
  std::sort(intake.begin(), intake.end());
  std::sort(save.begin(), save.end());
  std::printf("intake-to-composed %.6f\nencode-and-write %.6f\n", intake[intake.size() / 2], save[save.size() / 2]);
  std::remove("/tmp/orvessa-bench-save.jpg");
  Application->Finalize();
  return 0;
}
