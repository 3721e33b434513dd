#include "Application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "CommandLine.h"
#include "Forms.h"
#include "qt/MessageBox.h"

struct TApplication::Backend {
  int argc = 0;
  std::vector<char*> argv;
  std::unique_ptr<QApplication> qt;
};

namespace {

TApplication gApplication;

bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Prepares Qt's environment before it starts.
void ChoosePlatform() {
  if (!EnvironmentSet("QT_QPA_PLATFORM") && EnvironmentSet("DISPLAY")) {
    // A Wayland client may not place its own window; under XWayland it may.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  // The window is a 600 x 600 picture in device pixels whatever the
  // display's scale factor, and what is saved is that picture.
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  unsetenv("QT_SCALE_FACTOR");
  unsetenv("QT_SCREEN_SCALE_FACTORS");
}

bool DisplayAvailable() {
  return EnvironmentSet("QT_QPA_PLATFORM") || EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY");
}

// Index of the first byte of the last UTF-8 character.
std::size_t LastCharacterStart(const std::string& text) {
  std::size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0U) == 0x80U) --i;
  return i;
}

}  // namespace

TApplication* Application = &gApplication;

TApplication::TApplication() = default;

TApplication::~TApplication() { Finalize(); }

void TApplication::Initialize(int argc, char** argv) {
  SetCommandLine(argc, argv);
  if (fBackend) return;
  ChoosePlatform();
  if (!DisplayAvailable()) throw Exception("ディスプレイに接続できません");
  auto backend = std::make_unique<Backend>();
  backend->argc = argc > 0 ? 1 : 0;
  backend->argv.assign(argv, argv + backend->argc);
  backend->argv.push_back(nullptr);
  fBackend = std::move(backend);
  // Qt sees only the program's name: file names on the command line are
  // ours, never options for the toolkit.
  fBackend->qt = std::make_unique<QApplication>(fBackend->argc, fBackend->argv.data());
  // The application ends when its main form closes, not when Qt counts
  // its last window gone (a tool window never counts, and a box closing
  // while no other window is shown would otherwise end it).
  QApplication::setQuitOnLastWindowClosed(false);
}

bool TApplication::Initialized() const { return fBackend && fBackend->qt; }

void TApplication::AdoptForm(TForm* form) {
  fForms.emplace_back(form);
  form->DoCreate();
  if (fMainForm == nullptr) fMainForm = form;
}

void TApplication::Run() {
  if (fTerminated || !Initialized()) return;
  if (fMainForm != nullptr) fMainForm->Show();
  if (fTerminated) return;
  fRunning = true;
  QApplication::exec();
  fRunning = false;
}

void TApplication::Terminate() {
  fTerminated = true;
  if (fRunning) QCoreApplication::exit(0);
}

std::string ExceptionBoxText(const std::string& message) {
  if (message.empty()) return message;
  const std::size_t last = LastCharacterStart(message);
  // Compared as characters: any character above "." gets a full stop,
  // Japanese ones included.
  if (static_cast<unsigned char>(message[last]) > static_cast<unsigned char>('.')) return message + ".";
  return message;
}

void TApplication::ShowException(const Exception& exception) {
  const std::string text = ExceptionBoxText(exception.Message());
  if (!Initialized()) {
    // No display to show a box on: say it where a terminal sees it, named
    // as command-line tools name themselves.
    std::string name = Title;
    if (name.empty()) {
      const std::string path = ParamStr(0);
      name = path.substr(path.rfind('/') + 1);
    }
    std::fprintf(stderr, "%s: %s\n", name.c_str(), text.c_str());
    return;
  }
  ShowBox(Title, text, BoxIcon::Error, {{"OK", 1}}, 0, 1);
}

void TApplication::HandleException(const std::exception_ptr& failure) {
  try {
    try {
      std::rethrow_exception(failure);
    } catch (const Exception& exception) {
      ShowException(exception);
    } catch (const std::bad_alloc&) {
      ShowException(Exception(std::string(kOutOfMemoryText)));
    } catch (const std::exception& exception) {
      ShowException(Exception(exception.what()));
    } catch (...) {
      ShowException(Exception(""));
    }
  } catch (...) {
    // Showing the failure failed too (no memory left for the box): there is
    // nothing more that can be told.
  }
}

void TApplication::Finalize() {
  // Forms (and their windows) go before the connection to the display.
  while (!fForms.empty()) fForms.pop_back();
  fMainForm = nullptr;
  if (fBackend) fBackend->qt.reset();
  fBackend.reset();
}
