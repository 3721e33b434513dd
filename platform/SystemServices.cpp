#include "SystemServices.h"

#include <QApplication>
#include <QDesktopServices>
#include <QScreen>
#include <QUrl>

void MessageBeep(unsigned /*type*/) { QApplication::beep(); }

int GetSystemMetrics(int metric) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return 0;
  const QRect area = screen->geometry();
  switch (metric) {
    case SM_CXSCREEN:
      return area.width();
    case SM_CYSCREEN:
      return area.height();
    default:
      return 0;
  }
}

long ShellExecuteA(HWND /*owner*/, const char* /*verb*/, const char* file, const char* /*parameters*/,
                   const char* /*folder*/, int /*showCommand*/) {
  // The desktop's handler for the address (xdg-open, or $BROWSER) is
  // started detached; a missing browser only makes this return 2.
  constexpr long kStarted = 42;
  constexpr long kNotFound = 2;
  return QDesktopServices::openUrl(QUrl(QString::fromUtf8(file), QUrl::TolerantMode)) ? kStarted : kNotFound;
}
