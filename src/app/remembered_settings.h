#pragma once

#include <QString>
#include <memory>
#include <string>

#include "window_logic/window_settings.h"

class QSettings;

namespace tessarix {

// What the desktop program keeps between runs, in settings.ini beside the usage file (the same
// configuration folder). Each instance reads and writes the file directly, so the window and the
// prompt see each other's changes. Without a configuration folder nothing is kept and everything
// reads as its default.
class RememberedSettings {
 public:
  RememberedSettings();
  ~RememberedSettings();
  RememberedSettings(const RememberedSettings&) = delete;
  RememberedSettings& operator=(const RememberedSettings&) = delete;

  WindowSettings Window() const;
  void SetWindow(const WindowSettings& settings);

  // The collection file last loaded or saved; empty when there is none to offer.
  std::string CollectionFile() const;
  void SetCollectionFile(const std::string& path);

  // The folder in which the file dialog named `dialog` last found its file; empty when none.
  QString Folder(const QString& dialog) const;
  void SetFolder(const QString& dialog, const QString& folder);

  // Back to the defaults: every value is forgotten.
  void Reset();

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace tessarix
