#include "app/qt_prompt.h"

#include <gtest/gtest.h>

#include <QApplication>
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
  bool answer = true;
  FromWorker([&] { answer = Prompt().AskYesNo("Stop now?"); });
  EXPECT_FALSE(answer);
  EXPECT_TRUE(onInterfaceThread);
  FromWorker([] { Prompt().ShowMessage("Completed 3 Mosaics!", MessageIcon::Information); });
  EXPECT_EQ(seen, (QStringList{"Tessarix: Stop now?", "Tessarix: Completed 3 Mosaics!"}));
}

}  // namespace
}  // namespace tessarix
