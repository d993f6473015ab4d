#include <sys/resource.h>

#include <cstdio>
#include <cstring>

#include <QApplication>

#include "app/app_icon.h"
#include "app/main_window.h"
#include "app/qt_prompt.h"
#include "platform/user_prompt.h"

namespace {

constexpr const char* kHelp =
    "Usage: tessarix [OPTION]... [QT OPTION]...\n"
    "Make photomosaics from a collection of JPEG photos, in a desktop window.\n"
    "\n"
    "Options:\n"
    "  -h, --help       print this help and exit\n"
    "      --version    print the version and exit\n"
    "\n"
    "Qt options:\n"
    "  -platform NAME   windowing system plugin: xcb, wayland or offscreen\n"
    "  -style NAME      widget style, such as fusion\n"
    "  -reverse         lay the windows out from right to left\n"
    "\n"
    "Every other option of the Qt toolkit is accepted as well. The command-line\n"
    "program tessarix-cli makes the same mosaics without a window.\n";

// --help and --version are answered before the toolkit starts, so they need no display.
bool AnsweredWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs("tessarix " TESSARIX_VERSION "\n", stdout);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredWithoutWindow(argc, argv))
    return 0;
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
