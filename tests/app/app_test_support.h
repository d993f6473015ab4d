#pragma once

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "collection/image_collection.h"
#include "job/collection_commands.h"
#include "platform/user_prompt.h"
#include "test_support.h"

namespace tessarix::test {

template <typename T>
T* Child(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

inline std::string LabelText(QWidget* parent, const char* name) {
  QLabel* label = Child<QLabel>(parent, name);
  return label ? label->text().toStdString() : std::string();
}

// Replaces a field's text the way a person would: select everything, type the new text.
inline void Type(QWidget* parent, const char* name, const QString& text) {
  QLineEdit* field = Child<QLineEdit>(parent, name);
  if (!field)
    return;
  field->selectAll();
  field->del();
  QTest::keyClicks(field, text);
}

// Points the usage file at a fresh folder for one test.
class ScopedConfigHome {
 public:
  explicit ScopedConfigHome(const std::string& folder) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME"))
      previous_ = old;
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  }
  ~ScopedConfigHome() {
    if (previous_.empty())
      unsetenv("XDG_CONFIG_HOME");
    else
      setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
  }

 private:
  std::string previous_;
};

// Four flat-coloured 24 x 16 tiles in `folder`, analysed into `collection` (saved as c.tzc).
inline void BuildTileCollection(const std::string& folder, ImageCollection& collection) {
  const Pixel colours[4] = {0x000000ff, 0x0000ff00, 0x00ff0000, 0x00808080};
  for (int i = 0; i < 4; ++i)
    WriteJpeg(MakeFlatImage(24, 16, colours[i]), folder + "tile" + std::to_string(i) + ".jpg");
  CollectionCommands commands(collection);
  commands.BeginCreate(folder + "c.tzc");
  while (commands.AnalyseTick().more) {
  }
}

// A prompt whose file request (asked by the worker for a mask) blocks until released, so a
// batch stays alive for as long as a test needs it.
class BlockingPrompt final : public UserPrompt {
 public:
  BlockingPrompt() : guard_(*this) {}

  void ShowMessage(const std::string& text, MessageIcon) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages.push_back(text);
  }
  bool AskYesNo(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    questions.push_back(text);
    const bool answer = answers.empty() ? false : answers.front();
    if (!answers.empty())
      answers.pop_front();
    return answer;
  }
  std::optional<std::string> AskOpenFile(const std::string&, const std::string&) override {
    std::unique_lock<std::mutex> lock(mutex_);
    asked_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return std::nullopt;
  }

  void WaitUntilAsked() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return asked_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool asked_ = false;
  bool released_ = false;
  ScopedPrompt guard_;
};

}  // namespace tessarix::test
