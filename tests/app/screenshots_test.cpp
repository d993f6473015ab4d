#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <cstdlib>
#include <filesystem>

#include "app/collection_window.h"
#include "app/main_window.h"
#include "app/preview_window.h"
#include "app_test_support.h"
#include "imaging/sample_photos.h"

namespace tessarix {
namespace {

using namespace test;

// Renders the windows for the README: TESSARIX_SCREENSHOTS=<folder> app_tests
// --gtest_filter='Screenshots*'. Without the variable there is nothing to do.
TEST(Screenshots, MainCollectionAndPreviewWindows) {
  const char* target = std::getenv("TESSARIX_SCREENSHOTS");
  if (target == nullptr)
    GTEST_SKIP() << "TESSARIX_SCREENSHOTS names no folder";
  const QString folder = QString::fromLocal8Bit(target);
  QDir().mkpath(folder);

  TempDir dir;
  ScopedConfigHome config(dir.Folder() + "config");
  std::filesystem::create_directory(dir.Path() / "tiles");
  for (uint32_t i = 0; i < 60; ++i)
    WriteJpeg(MakeSamplePhoto(i + 1, 96, 64),
              dir.Folder() + "tiles/photo" + std::to_string(100 + i) + ".jpg");
  WriteJpeg(MakeSampleScene(600, 400), dir.File("Harbour.jpg"));

  RecordingPrompt prompt;
  MainWindow window;
  window.show();
  CollectionCommands commands(window.Collection());
  commands.BeginCreate(dir.Folder() + "tiles/tiles.tzc");
  while (commands.AnalyseTick().more) {
  }
  window.ShowCollection();
  window.AddDroppedFiles({dir.File("Harbour.jpg")});
  Type(&window, "tilesPerRow", "30");
  Type(&window, "tileWidth", "40");
  window.StartOrStop();
  window.Driver().Wait();
  for (int i = 0; i < 3; ++i) window.Tick();
  ASSERT_EQ(window.Previews().size(), 2u);
  EXPECT_TRUE(window.grab().save(folder + "/main-window.png"));
  PreviewWindow* mosaic = window.Previews()[1];
  EXPECT_TRUE(mosaic->grab().save(folder + "/preview-window.png"));

  CollectionWindow collectionWindow(window.Collection(), window.Job());
  collectionWindow.show();
  EXPECT_TRUE(collectionWindow.grab().save(folder + "/collection-window.png"));
}

}  // namespace
}  // namespace tessarix
