// The application object: start-up, the forms, the message loop, and the
// last-resort display of failures.
#pragma once

#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "Graphics.h"

class TForm;
class TComponent;

class TApplication : public TObject {
 public:
  TApplication();
  ~TApplication() override;

  // Connects to the display and remembers the command line. Raises
  // Exception when there is no display to connect to.
  void Initialize(int argc, char** argv);
  bool Initialized() const;

  // Caption of every plain message box and of the exception box.
  std::string Title;

  // Creates a form owned by the application. `reference` is assigned before
  // the form's constructor runs, so that code run during its creation can
  // already reach it; the first form created becomes the main form once its
  // creation (OnCreate included) has finished.
  template <typename T>
  void CreateForm(T*& reference) {
    void* memory = ::operator new(sizeof(T));
    reference = static_cast<T*>(memory);
    T* form = nullptr;
    try {
      form = new (memory) T(nullptr);
    } catch (...) {
      reference = nullptr;
      ::operator delete(memory);
      throw;
    }
    AdoptForm(form);
  }

  TForm* MainForm() const { return fMainForm; }

  // Shows the main form and dispatches events until the main form closes.
  void Run();
  // Ends Run(); asked for before Run() starts, Run() returns at once.
  void Terminate();
  bool Terminated() const { return fTerminated; }

  // The exception box: the message with a full stop added when its last
  // character sorts above ".", an error icon, one OK button, the title as
  // caption.
  void ShowException(const Exception& exception);
  // For a failure caught where an event handler returns: shows it in the
  // exception box, whatever was thrown.
  void HandleException(const std::exception_ptr& failure);

  // Tears down every form and the display connection.
  void Finalize();

 private:
  void AdoptForm(TForm* form);
  std::vector<std::unique_ptr<TForm>> fForms;
  TForm* fMainForm = nullptr;
  bool fTerminated = false;
  bool fRunning = false;
  struct Backend;
  std::unique_ptr<Backend> fBackend;
};

extern TApplication* Application;

// Runs an event handler at the layer's boundary: any failure is shown in
// the exception box and goes no further.
template <typename Handler>
void CallHandler(Handler&& handler) {
  try {
    handler();
  } catch (...) {
    Application->HandleException(std::current_exception());
  }
}

// The exception box's text for `message`.
std::string ExceptionBoxText(const std::string& message);
