#include "app/remembered_settings.h"

#include <QSettings>
#include <QUrl>
#include <filesystem>

#include "engine/usage_counter.h"

namespace tessarix {
namespace {

constexpr const char* kWindowGroup = "window";
constexpr const char* kCollectionKey = "collection/file";
constexpr const char* kFolderGroup = "folders";

// Dialog titles may hold "/", which QSettings reads as a group separator.
QString FolderKey(const QString& dialog) {
  return QString(kFolderGroup) + "/" + QString::fromLatin1(QUrl::toPercentEncoding(dialog));
}

}  // namespace

RememberedSettings::RememberedSettings() {
  const std::string usage = UsageFilePath();
  if (usage.empty())
    return;
  const std::filesystem::path file = std::filesystem::path(usage).parent_path() / "settings.ini";
  settings_ =
      std::make_unique<QSettings>(QString::fromStdString(file.string()), QSettings::IniFormat);
}

RememberedSettings::~RememberedSettings() = default;

WindowSettings RememberedSettings::Window() const {
  StoredValues stored;
  if (settings_) {
    settings_->beginGroup(kWindowGroup);
    for (const QString& key : settings_->childKeys())
      stored[key.toStdString()] = settings_->value(key).toString().toStdString();
    settings_->endGroup();
  }
  return FromStoredValues(stored);
}

void RememberedSettings::SetWindow(const WindowSettings& settings) {
  if (!settings_)
    return;
  settings_->beginGroup(kWindowGroup);
  for (const auto& [key, value] : ToStoredValues(settings))
    settings_->setValue(QString::fromStdString(key), QString::fromStdString(value));
  settings_->endGroup();
}

std::string RememberedSettings::CollectionFile() const {
  if (!settings_)
    return std::string();
  const std::string path = settings_->value(kCollectionKey).toString().toStdString();
  return AcceptedPath(path) ? path : std::string();
}

void RememberedSettings::SetCollectionFile(const std::string& path) {
  if (settings_)
    settings_->setValue(kCollectionKey, QString::fromStdString(path));
}

QString RememberedSettings::Folder(const QString& dialog) const {
  if (!settings_)
    return QString();
  const QString folder = settings_->value(FolderKey(dialog)).toString();
  return AcceptedPath(folder.toStdString()) ? folder : QString();
}

void RememberedSettings::SetFolder(const QString& dialog, const QString& folder) {
  if (settings_)
    settings_->setValue(FolderKey(dialog), folder);
}

void RememberedSettings::Reset() {
  if (settings_)
    settings_->clear();
}

}  // namespace tessarix
