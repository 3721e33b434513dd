// On a real X server: what the window shows, read back from the server, is
// pixel for pixel the picture the save captures.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "DialogHook.h"
#include "MainWindow1.h"
#include "TestSupport.h"
#include "qt/FormWindow.h"

using namespace testing_support;

namespace {

// A private X server for this test, 1024 x 768 at 24 bits.
class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    fServer = fork();
    if (fServer == 0) {
      close(pipeFds[0]);
      const std::string fd = std::to_string(pipeFds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    close(pipeFds[1]);
    std::string number;
    char c = 0;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipeFds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    static char name[] = "orvessa-xvfb-test";
    static char* argv[] = {name, nullptr};
    Application->Initialize(1, argv);
    Application->Title = "Orvessa";
    SetBoxAnswerer([](const TShownBox&) { return 0; });
  }
  void TearDown() override {
    Application->Finalize();
    if (fServer > 0) {
      kill(fServer, SIGTERM);
      waitpid(fServer, nullptr, 0);
    }
  }

 private:
  pid_t fServer = -1;
};

[[maybe_unused]] auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

void ProcessEventsFor(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

struct CaptureCase {
  std::string photo;
  bool arranged;
};

class CaptureTest : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureTest, ServerPixelsEqualTheCapturedPicture) {
  ScratchFolder folder;
  const std::string source = folder / "photo.jpg";
  WriteFile(source, ReadFile(TestData(GetParam().photo)));
  std::string programName = "/usr/bin/orvessa";
  char* argv[] = {programName.data(), const_cast<char*>(source.c_str()), nullptr};
  SetCommandLine(2, argv);

  auto form = std::make_unique<TMainForm1>(nullptr);
  MainForm1 = form.get();
  form->DoCreate();
  form->Timer1->SetEnabled(false);
  if (GetParam().arranged) form->Timer1Timer(form->Timer1);  // the first tick's arrangement
  // Fully on the screen, as when it has arrived.
  form->SetBounds(212, 84, form->Width(), form->Height());
  form->Show();
  ProcessEventsFor(std::chrono::milliseconds(500));

  const QPixmap grabbed = QGuiApplication::primaryScreen()->grabWindow(form->Window()->winId(), 0, 0, 600, 600);
  const QImage server = grabbed.toImage().convertToFormat(QImage::Format_RGB888);
  ASSERT_EQ(server.width(), 600);
  ASSERT_EQ(server.height(), 600);

  // The save's capture of the same moment.
  form->Button1Click(form->Button1);
  const auto* captured = dynamic_cast<const TBitmap*>(form->Image1->Picture()->Graphic());
  ASSERT_NE(captured, nullptr);
  long long differing = 0;
  for (int y = 0; y < 600; ++y) {
    const std::uint8_t* ours = captured->ScanLine(y);
    const uchar* theirs = server.constScanLine(y);
    for (int x = 0; x < 600; ++x) {
      if (ours[x * 3] != theirs[x * 3 + 2] || ours[x * 3 + 1] != theirs[x * 3 + 1] ||
          ours[x * 3 + 2] != theirs[x * 3]) {
        ++differing;
      }
    }
  }
  EXPECT_EQ(differing, 0);
  form.reset();
  MainForm1 = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Moments, CaptureTest,
                         ::testing::Values(CaptureCase{"photos/skimage_rocket.jpg", true},
                                           CaptureCase{"photos/friends_by_Aitzol_Berasategi.jpg", true},
                                           CaptureCase{"photos/skimage_rocket.jpg", false}));

}  // namespace
