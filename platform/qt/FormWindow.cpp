#include "FormWindow.h"

#include <QCloseEvent>
#include <QImage>
#include <QPainter>

#include "Forms.h"

FormWindow::FormWindow(TForm& form) : QWidget(nullptr), fForm(form) {
  // Painting covers every pixel; no background fill first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

void FormWindow::ApplySettings() {
  Qt::WindowFlags flags = Qt::Window;
  if (fForm.BorderStyle() == bsToolWindow) {
    flags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  }
  if (fForm.FormStyle() == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  const bool wasVisible = isVisible();
  setWindowFlags(flags);
  setWindowTitle(QString::fromStdString(fForm.Caption()));
  if (fForm.BorderStyle() == bsToolWindow) {
    setFixedSize(fForm.ClientWidth(), fForm.ClientHeight());
  } else {
    resize(fForm.ClientWidth(), fForm.ClientHeight());
  }
  // Changing the flags hides a window; keep it as it was.
  if (wasVisible) show();
}

void FormWindow::MoveOuter(int left, int top) { move(left, top); }

void FormWindow::paintEvent(QPaintEvent* /*event*/) {
  const TBitmap& image = fForm.ClientImage();
  if (image.Empty()) return;
  const TConstPixelRows pixels = image.Pixels();
  const QImage view(pixels.data, pixels.width, pixels.height, static_cast<qsizetype>(pixels.stride),
                    QImage::Format_BGR888);
  QPainter painter(this);
  painter.drawImage(0, 0, view);
}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The form decides: the main form ends the application, others hide.
  event->ignore();
  fForm.UserClosed();
}

void FormWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ReportOuterSize();
}

void FormWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  ReportOuterSize();
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ReportOuterSize();
}

void FormWindow::ReportOuterSize() {
  const QRect frame = frameGeometry();
  fForm.OuterSizeChanged(frame.width(), frame.height());
}
