// The Qt window behind a form. Internal to the platform layer.
#pragma once

#include <QWidget>

class TForm;

class FormWindow : public QWidget {
 public:
  explicit FormWindow(TForm& form);

  // Window flags, title and client size from the form's settings.
  void ApplySettings();
  // Moves the outer rectangle's corner to (left, top).
  void MoveOuter(int left, int top);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ReportOuterSize();
  TForm& fForm;
};
