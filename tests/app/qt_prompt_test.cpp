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
  int answer = -1;
  FromWorker([&] { answer = Prompt().AskYesNo("Stop now?") ? 1 : 0; });
  EXPECT_EQ(answer, 0);
  EXPECT_TRUE(onInterfaceThread);
  FromWorker([] { Prompt().ShowMessage("Completed 3 Mosaics!", MessageIcon::Information); });
  EXPECT_EQ(seen, (QStringList{"Tessarix: Stop now?", "Tessarix: Completed 3 Mosaics!"}));
}

// The dialog says what to choose and opens on the asked-for filter, not on the first.
TEST(QtPromptTest, FileDialogCarriesItsTitleAndOpensOnTheChosenFilter) {
  QtPrompt prompt;
  QString seen;
  QTimer answerer;
  answerer.setInterval(10);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog != nullptr && dialog->isVisible()) {
        seen = dialog->windowTitle() + " / " + dialog->selectedNameFilter();
        dialog->reject();
      }
  });
  answerer.start();
  EXPECT_EQ(prompt.AskOpenFile("A (*.a)|*.a|B (*.b)|*.b|All|*.a;*.b||", "a", "Choose a movie", 2),
            std::nullopt);
  EXPECT_EQ(seen.toStdString(), "Choose a movie / All (*.a *.b)");
}

}  // namespace
}  // namespace tessarix
