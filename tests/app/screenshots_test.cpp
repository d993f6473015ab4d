#include <gtest/gtest.h>

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
  if (std::getenv("TESSARIX_SCREENSHOTS") == nullptr)
    GTEST_SKIP() << "TESSARIX_SCREENSHOTS names no folder";
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
  AnalyseInto(dir.File("tiles/tiles.tzc"), window.Collection());
  window.ShowCollection();
  window.AddDroppedFiles({dir.File("Harbour.jpg")});
  Type(&window, "tilesPerRow", "30");
  Type(&window, "tileWidth", "40");
  window.StartOrStop();
  window.Driver().Wait();
  for (int i = 0; i < 3; ++i) window.Tick();
  ASSERT_EQ(window.Previews().size(), 2u);
  SaveScreenshot(window, "main-window.png");
  SaveScreenshot(*window.Previews()[1], "preview-window.png");
  CollectionWindow collectionWindow(window.Collection(), window.Job());
  collectionWindow.show();
  SaveScreenshot(collectionWindow, "collection-window.png");
}

}  // namespace
}  // namespace tessarix
