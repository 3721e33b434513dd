// Entry point: the application object, the main window, the message loop.
#include "Application.h"
#include "MainWindow1.h"

int main(int argc, char* argv[]) {
  try {
    Application->Initialize(argc, argv);
    Application->Title = "Orvessa";
    Application->CreateForm(MainForm1);
    Application->Run();
  } catch (const Exception& exception) {
    Application->ShowException(exception);
  } catch (...) {
    Application->ShowException(Exception(""));
  }
  Application->Finalize();
  return 0;
}
