#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>

#include "window_logic/collection_commands.h"

class QLabel;
class QPushButton;

namespace tessarix {

class ImageCollection;
class MosaicJob;

// "Step 1: Choose an Image Collection": creates, loads and updates the collection the main window
// owns. The analysis runs in 100 ms timer slices so the window keeps painting.
class CollectionWindow : public QDialog {
  Q_OBJECT

 public:
  // The status line while a batch reads the collection and a command would change it.
  static constexpr const char* kBusyText =
      "The Mosaic's are being created with this Collection: please wait until they are done.";

  CollectionWindow(ImageCollection& collection, const MosaicJob& job, QWidget* parent = nullptr);

  // Where Create asks for the collection file to save; replaceable for tests.
  std::function<QString()> askSaveFile;

  bool AnalysisRunning() const { return commands_.Running(); }
  QString StatusText() const;
  QString SelectedText() const;

  void Create();
  void Load();
  void Update();
  void BlackAndWhite();
  void AnalyseTick();

  void done(int result) override;

 private:
  bool RefuseDuringBatch();
  void ShowStatus(const std::string& text);
  void ShowReport(const CollectionCommands::Report& report);
  void StartTimerIfRunning();

  ImageCollection& collection_;
  const MosaicJob& job_;
  CollectionCommands commands_;
  QTimer timer_;
  QLabel* selected_ = nullptr;
  QLabel* status_ = nullptr;
};

// Runs the window modally on the collection.
void OpenCollectionWindow(ImageCollection& collection, const MosaicJob& job, QWidget* parent);

}  // namespace tessarix
