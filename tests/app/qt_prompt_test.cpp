#include "app/qt_prompt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/remembered_settings.h"
#include "app_test_support.h"

namespace tessarix {
namespace {

// Runs `ask` on a worker thread while the interface thread keeps handling events.
void FromWorker(const std::function<void()>& ask) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    ask();
    done = true;
  });
  for (int i = 0; i < 1000 && !done.load(); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  worker.join();
}

// Whatever the worker asks must appear on the interface thread (widgets made elsewhere crash), a
// plain Enter must answer No and a message must wait until it has been read.
TEST(QtPromptTest, WorkerQuestionsAreAskedOnTheInterfaceThreadWithNoAsDefault) {
  QtPrompt prompt;
  ScopedPrompt installed(prompt);
  QStringList seen;
  bool onInterfaceThread = false;
  QTimer answerer;
  answerer.setInterval(10);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
        seen << box->windowTitle() + ": " + box->text();
        onInterfaceThread = box->thread() == QApplication::instance()->thread();
        QTest::keyClick(box, Qt::Key_Return);
        return;
      }
  });
  answerer.start();
  bool answer = true;
  FromWorker([&] { answer = Prompt().AskYesNo("Stop now?"); });
  EXPECT_FALSE(answer);
  EXPECT_TRUE(onInterfaceThread);
  FromWorker([] { Prompt().ShowMessage("Completed 3 Mosaics!", MessageIcon::Information); });
  EXPECT_EQ(seen, (QStringList{"Tessarix: Stop now?", "Tessarix: Completed 3 Mosaics!"}));
}

// Each dialog opens in the folder where it last found its file rather than where the toolkit's
// one shared last folder points, until a reset forgets them. An open dialog says what to choose and
// opens on the asked-for filter, not on the first.
TEST(QtPromptTest, EachFileDialogReopensWhereItLastFoundItsFile) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", dir.Folder() + "config");
  std::filesystem::create_directories(dir.File("photos"));
  test::WriteJpeg(test::MakeFlatImage(8, 8, 0), dir.File("photos/a.jpg"));
  const QString photos = QString::fromStdString(dir.File("photos"));
  QtPrompt prompt;
  QString choose;  // the file the answerer chooses; none: it cancels
  QStringList openedIn, seen;
  QTimer answerer;
  answerer.setInterval(10);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog != nullptr && dialog->isVisible()) {
        openedIn << dialog->directory().absolutePath();
        seen << dialog->windowTitle() + " / " + dialog->selectedNameFilter();
        if (choose.isEmpty() || openedIn.size() > 5)  // a refused answer ends the test
          return dialog->reject();
        // Typed as a person would: selectFile changes folder in the background and may lose it.
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(choose);
        static_cast<QDialog*>(dialog)->accept();  // public there, protected in QFileDialog
      }
  });
  answerer.start();
  const auto ask = [&](const QString& file) {
    choose = file;
    prompt.AskOpenFile("M (*.avi)|*.avi|J (*.jpg)|*.jpg;*.jpeg||", "jpg", "Choose a photo", 1);
  };
  const auto save = [&](const QString& file) {
    choose = file;
    AskSaveFileName(nullptr, "C (*.tzc)|*.tzc||", "tzc");
  };
  ask(photos + "/a.jpg");
  save(QString::fromStdString(dir.File("b.tzc")));
  ask(photos + "/a.jpg");  // the toolkit would open the save's folder
  save("");                // the toolkit would open the photo's folder
  RememberedSettings().Reset();
  ask("");  // where the toolkit opens: where the last dialog was
  const QString saved = QString::fromStdString(dir.Path().string());
  ASSERT_EQ(openedIn.size(), 5);
  EXPECT_EQ(seen.mid(0, 2).join(" | ").toStdString(),
            "Choose a photo / J (*.jpg *.jpeg) | Tessarix / C (*.tzc)");
  EXPECT_EQ(openedIn.mid(2).join(" | ").toStdString(),
            QStringList({photos, saved, saved}).join(" | ").toStdString());
}

}  // namespace
}  // namespace tessarix
