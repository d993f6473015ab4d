#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <vector>

#include "window_logic/window_settings.h"
#include "batch/job_driver.h"
#include "collection/image_collection.h"
#include "engine/parameter_check.h"
#include "job_state/mosaic_job.h"
#include "window_logic/source_list.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace tessarix {

class ElidedLabel;
class PreviewWindow;

// "Tessarix - Kovra": the four steps (collection, settings, photographs, start) and the status
// of the running batch, polled every 500 ms.
class MainWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // The commands, callable as the buttons call them.
  void StartOrStop();
  void AddImage();
  void AddDirectory();
  void RemoveImage();
  void ClearList();
  void AddDroppedFiles(const std::vector<std::string>& paths);
  void FindTiles();
  // Step 1 shows the collection's description again.
  void ShowCollection();
  // The context menu's "Reset settings": Step 2 shows the defaults and nothing is remembered.
  // A collection loaded now stays loaded (the next start loads none).
  void ResetSettings();
  // Exit, Escape and the close box.
  void TryClose();
  // One tick of the 500 ms timer.
  void Tick();

  void reject() override;

  ImageCollection& Collection() { return collection_; }
  MosaicJob& Job() { return job_; }
  JobDriver& Driver() { return driver_; }
  const SourceList& Sources() const { return sources_; }
  bool ParametersValid() const { return valid_; }
  std::vector<PreviewWindow*> Previews() const;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  void ReserveRoom();
  ParameterFields ReadFields() const;
  BatchOptions ReadOptions() const;
  WindowSettings ReadSettings() const;
  void ShowSettings(const WindowSettings& settings);
  void LoadRememberedCollection();
  void RunCheck();
  void ApplyCheck(const ParameterCheckResult& result);
  void MeasureFirst();
  void RefreshList();
  void ShowInfo();
  void SetIfChanged(QLabel* label, const std::string& text);

  // Declared in this order so the driver (which waits for its worker) goes first.
  ImageCollection collection_;
  MosaicJob job_;
  JobDriver driver_{job_, collection_};
  SourceList sources_;

  EngineParameters params_;
  bool valid_ = false;
  uint32_t tilesPerRow_ = 0;
  uint32_t tileWidth_ = 0;
  uint32_t maxDuplicates_ = 0;
  uint32_t sourceWidth_ = 0;
  uint32_t sourceHeight_ = 0;
  bool checking_ = false;

  QTimer timer_;
  std::vector<QPointer<PreviewWindow>> previews_;

  QLabel* collectionText_ = nullptr;
  QLineEdit* mosaicWidth_ = nullptr;
  QLineEdit* tilesPerRowField_ = nullptr;
  QLineEdit* tileWidthField_ = nullptr;
  QLineEdit* border_ = nullptr;
  QLineEdit* duplicateDistance_ = nullptr;
  QLineEdit* maxDuplicatesField_ = nullptr;
  QLineEdit* modification_ = nullptr;
  QComboBox* algorithm_ = nullptr;
  QLineEdit* sequenceDistance_ = nullptr;
  QLineEdit* quality_ = nullptr;
  QLabel* summary_ = nullptr;
  QCheckBox* useAll_ = nullptr;
  QCheckBox* textReport_ = nullptr;
  QCheckBox* webPage_ = nullptr;
  QLineEdit* webWidth_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* start_ = nullptr;
  QLabel* info_ = nullptr;
  ElidedLabel* status_ = nullptr;
  QLabel* progress_ = nullptr;
  QProgressBar* bar_ = nullptr;
};

}  // namespace tessarix
