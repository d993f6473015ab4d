#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "collection/image_collection.h"
#include "platform/user_prompt.h"
#include "test_support.h"
#include "window_logic/collection_commands.h"

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

inline std::string FieldText(QWidget* parent, const char* name) {
  QLineEdit* field = Child<QLineEdit>(parent, name);
  return field ? field->text().toStdString() : std::string();
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

// The controls of `window` whose text does not show whole: a label too small for its text (an
// eliding label excepted), a button or field narrower than its text, or a control reaching past
// the window's edge. Each is named by its class and text.
inline std::vector<std::string> CutTexts(QWidget& window) {
  std::vector<std::string> cut;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || w->inherits("tessarix::ElidedLabel") ||
        w->parentWidget()->inherits("QAbstractSpinBox") || w->inherits("QScrollBar"))
      continue;
    bool fits = QRect(QPoint(0, 0), window.size())
                    .contains(QRect(w->mapTo(&window, QPoint(0, 0)), w->size()));
    QString text;
    if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && !label->text().isEmpty()) {
      text = label->text();
      fits = fits && (label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                        : label->minimumSizeHint().width() <= label->width());
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      text = button->text();
      fits = fits && button->minimumSizeHint().width() <= button->width();
    } else if (auto* field = qobject_cast<QLineEdit*>(w)) {
      text = field->text();
      fits =
          fits && field->fontMetrics().horizontalAdvance(text) < field->contentsRect().width() - 4;
    }
    if (!fits)
      cut.push_back(std::string(w->metaObject()->className()) + " \"" + text.toStdString() + "\"");
  }
  return cut;
}

// Points the usage file at a fresh folder for one test.
class ScopedConfigHome {
 public:
  explicit ScopedConfigHome(const std::string& folder)
      : previous_(std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "") {
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  }
  ~ScopedConfigHome() { setenv("XDG_CONFIG_HOME", previous_.c_str(), 1); }

 private:
  std::string previous_;
};

// Analyses every picture in the folder of `file` into `collection`, saved as `file`.
inline void AnalyseInto(const std::string& file, ImageCollection& collection) {
  CollectionCommands commands(collection);
  commands.BeginCreate(file);
  while (commands.AnalyseTick().more) {
  }
}

// A prompt whose file request (asked by the worker for a mask) blocks until released, so a
// batch stays alive for as long as a test needs it.
class BlockingPrompt final : public UserPrompt {
 public:
  void ShowMessage(const std::string& text, MessageIcon) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages.push_back(text);
  }
  bool AskYesNo(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    questions.push_back(text);
    return answer;
  }
  std::optional<std::string> AskOpenFile(const std::string&, const std::string&, const std::string&,
                                         int) override {
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
  bool answer = false;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool asked_ = false;
  bool released_ = false;
  ScopedPrompt guard_{*this};
};

}  // namespace tessarix::test
