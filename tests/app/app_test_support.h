#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
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

// The text of a label or a field.
inline std::string TextOf(QWidget* parent, const char* name) {
  QWidget* widget = Child<QWidget>(parent, name);
  return widget ? widget->property("text").toString().toStdString() : std::string();
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

// Analyses every picture in the folder of `file` into `collection`, saved as `file`.
inline void AnalyseInto(const std::string& file, ImageCollection& collection) {
  CollectionCommands commands(collection);
  commands.BeginCreate(file);
  while (commands.AnalyseTick().more) {
  }
}

}  // namespace tessarix::test
