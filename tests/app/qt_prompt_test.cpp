#include "app/qt_prompt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <atomic>
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
// plain Enter must answer No and a message must wait until it has been read. A file dialog
// reopens in the folder where it found its file.
TEST(QtPromptTest, WorkerQuestionsAreAskedOnTheInterfaceThreadWithNoAsDefault) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", dir.Folder() + "config");
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
      } else if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
        // Typed as a person would: selectFile changes folder in the background and may lose it.
        dialog->findChild<QLineEdit*>("fileNameEdit")
            ->setText(QString::fromStdString(dir.File("c.tzc")));
        return static_cast<QDialog*>(dialog)->accept();  // public there, protected in QFileDialog
      }
  });
  answerer.start();
  bool answer = true;
  FromWorker([&] { answer = Prompt().AskYesNo("Stop now?"); });
  EXPECT_FALSE(answer);
  EXPECT_TRUE(onInterfaceThread);
  FromWorker([] { Prompt().ShowMessage("Completed 3 Mosaics!", MessageIcon::Information); });
  EXPECT_EQ(seen, (QStringList{"Tessarix: Stop now?", "Tessarix: Completed 3 Mosaics!"}));
  EXPECT_EQ(AskSaveFileName(nullptr, "C (*.tzc)|*.tzc||", "tzc").toStdString(), dir.File("c.tzc"));
  EXPECT_EQ(RememberedSettings().Folder("C (*.tzc)").toStdString(), dir.Path().string());
}

}  // namespace
}  // namespace tessarix
