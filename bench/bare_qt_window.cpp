// The reference for start-up time and memory: a bare Qt program that opens
// the same 600 x 600 stay-on-top tool window with a 20 ms timer. It prints
// the monotonic clock at its first tick and ends there, or, given a number
// of seconds, stays that long (for its peak memory).
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QWidget window(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint);
  window.setFixedSize(600, 600);
  window.setWindowTitle("bare");
  window.move(-620, 84);
  window.show();
  const double stay = argc > 1 ? std::atof(argv[1]) : 0.0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    static bool first = true;
    if (first) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      std::printf("first-tick %.6f\n", static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9);
      std::fflush(stdout);
      first = false;
      if (stay <= 0) QApplication::quit();
    }
  });
  timer.start(20);
  if (stay > 0) QTimer::singleShot(static_cast<int>(stay * 1000), [] { QApplication::quit(); });
  return QApplication::exec();
}
