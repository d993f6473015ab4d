#pragma once

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
  if (QLineEdit* field = Child<QLineEdit>(parent, name)) {
    field->selectAll();
    field->del();
    QTest::keyClicks(field, text);
  }
}

// The controls of `window` that do not show whole: smaller than their contents need (an eliding
// label excepted), a field narrower than its text, or reaching past the window's edge.
inline std::vector<std::string> CutTexts(QWidget& window) {
  std::vector<std::string> cut;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || w->inherits("tessarix::ElidedLabel"))
      continue;
    QSize need =
        w->hasHeightForWidth() ? QSize(0, w->heightForWidth(w->width())) : w->minimumSizeHint();
    if (auto* field = qobject_cast<QLineEdit*>(w))
      need.rwidth() = field->fontMetrics().horizontalAdvance(field->text()) + 4 + w->width() -
                      field->contentsRect().width();
    if (!window.rect().contains(QRect(w->mapTo(&window, QPoint(0, 0)), w->size())) ||
        need.width() > w->width() || need.height() > w->height())
      cut.push_back(std::string(w->metaObject()->className()) + " " +
                    w->objectName().toStdString());
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
