#include "Dialogs.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "Application.h"
#include "Forms.h"
#include "qt/FormWindow.h"
#include "qt/MessageBox.h"

namespace {

class CentredBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    // Over an off-screen parent the default placement would be off-screen too.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->geometry();
      const QRect frame = frameGeometry();
      move(area.left() + (area.width() - frame.width()) / 2, area.top() + (area.height() - frame.height()) / 2);
    }
  }
};

QMessageBox::Icon QtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Error:
      return QMessageBox::Critical;
    case BoxIcon::Question:
      return QMessageBox::Question;
    case BoxIcon::Warning:
      return QMessageBox::Warning;
    case BoxIcon::Information:
      return QMessageBox::Information;
    case BoxIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

TBoxAnswerer& Answerer() {
  static TBoxAnswerer answerer;
  return answerer;
}

}  // namespace

void SetBoxAnswerer(TBoxAnswerer answerer) { Answerer() = std::move(answerer); }

int ShowBox(const std::string& caption, const std::string& text, BoxIcon icon, const std::vector<BoxButton>& buttons,
            int defaultIndex, int escapeResult) {
  QWidget* parent = nullptr;
  if (const TForm* mainForm = Application->MainForm()) parent = mainForm->Window();
  if (Answerer()) {
    TShownBox shown{caption, text, icon, {}, defaultIndex, parent != nullptr};
    for (const BoxButton& button : buttons) shown.buttons.push_back(button.caption);
    const int pressed = Answerer()(shown);
    return pressed >= 0 && static_cast<std::size_t>(pressed) < buttons.size()
               ? buttons[static_cast<std::size_t>(pressed)].result
               : escapeResult;
  }
  CentredBox box(parent);
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  box.setTextFormat(Qt::PlainText);
  box.setIcon(QtIcon(icon));
  std::vector<QPushButton*> pushButtons;
  pushButtons.reserve(buttons.size());
  for (const BoxButton& button : buttons) {
    pushButtons.push_back(box.addButton(QString::fromStdString(button.caption), QMessageBox::AcceptRole));
  }
  if (defaultIndex >= 0 && static_cast<std::size_t>(defaultIndex) < pushButtons.size()) {
    box.setDefaultButton(pushButtons[static_cast<std::size_t>(defaultIndex)]);
  }
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (buttons[i].result == escapeResult) box.setEscapeButton(pushButtons[i]);
  }
  box.exec();
  for (std::size_t i = 0; i < pushButtons.size(); ++i) {
    if (box.clickedButton() == pushButtons[i]) return buttons[i].result;
  }
  return escapeResult;
}

void ShowMessage(const std::string& text) { ShowBox(Application->Title, text, BoxIcon::None, {{"OK", mrOk}}, 0, mrOk); }

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int /*helpContext*/) {
  std::string caption = Application->Title;
  BoxIcon icon = BoxIcon::None;
  switch (type) {
    case mtWarning:
      caption = "警告";
      icon = BoxIcon::Warning;
      break;
    case mtError:
      caption = "エラー";
      icon = BoxIcon::Error;
      break;
    case mtInformation:
      caption = "情報";
      icon = BoxIcon::Information;
      break;
    case mtConfirmation:
      caption = "確認";
      icon = BoxIcon::Question;
      break;
    case mtCustom:
      break;
  }
  std::vector<BoxButton> list;
  if ((buttons & mbYes) != 0) list.push_back({"はい(&Y)", mrYes});
  if ((buttons & mbNo) != 0) list.push_back({"いいえ(&N)", mrNo});
  if ((buttons & mbOK) != 0) list.push_back({"OK", mrOk});
  if ((buttons & mbCancel) != 0) list.push_back({"キャンセル", mrCancel});
  int escape = mrCancel;
  if ((buttons & mbCancel) == 0) escape = (buttons & mbNo) != 0 ? mrNo : mrOk;
  return ShowBox(caption, text, icon, list, 0, escape);
}
