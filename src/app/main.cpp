#include <sys/resource.h>

#include <QApplication>

#include "app/app_icon.h"
#include "app/main_window.h"
#include "app/qt_prompt.h"
#include "platform/user_prompt.h"

int main(int argc, char** argv) {
  // Mosaics take minutes of full processor time; everything else on the desktop comes first.
  setpriority(PRIO_PROCESS, 0, 19);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tessarix");
  QApplication::setWindowIcon(tessarix::ProgramIcon());
  // Preview windows may still be open; the program ends with its main window all the same.
  QApplication::setQuitOnLastWindowClosed(false);

  tessarix::QtPrompt prompt;
  tessarix::ScopedPrompt installed(prompt);
  tessarix::MainWindow window;
  prompt.SetFallbackParent(&window);
  QObject::connect(&window, &QDialog::finished, &app, &QApplication::quit);
  window.show();
  return app.exec();
}
