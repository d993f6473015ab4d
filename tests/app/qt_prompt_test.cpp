#include "app/qt_prompt.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app_test_support.h"

namespace tessarix {
namespace {

QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible())
      return box;
  return nullptr;
}

// Whatever the worker asks must appear on the interface thread (widgets made elsewhere crash) and
// a plain Enter must answer No.
TEST(QtPromptTest, WorkerQuestionsAreAskedOnTheInterfaceThreadWithNoAsDefault) {
  QtPrompt prompt;
  ScopedPrompt installed(prompt);
  std::atomic<int> answer{-1};
  QString caption;
  QString text;
  bool onInterfaceThread = false;
  QTimer answerer;
  answerer.setInterval(10);
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    QMessageBox* box = OpenBox();
    if (box == nullptr)
      return;
    caption = box->windowTitle();
    text = box->text();
    onInterfaceThread = box->thread() == QApplication::instance()->thread();
    QTest::keyClick(box, Qt::Key_Return);
  });
  answerer.start();
  std::thread worker([&] { answer = Prompt().AskYesNo("Stop now?") ? 1 : 0; });
  for (int i = 0; i < 1000 && answer.load() < 0; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  worker.join();
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(caption.toStdString(), "Tessarix");
  EXPECT_EQ(text.toStdString(), "Stop now?");
  EXPECT_TRUE(onInterfaceThread);

  // A message from the worker waits until it has been read.
  std::atomic<bool> returned{false};
  text.clear();
  std::thread messenger([&] {
    Prompt().ShowMessage("Completed 3 Mosaics!", MessageIcon::Information);
    returned = true;
  });
  for (int i = 0; i < 1000 && !returned.load(); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  messenger.join();
  EXPECT_EQ(text.toStdString(), "Completed 3 Mosaics!");
}

}  // namespace
}  // namespace tessarix
