#include <gtest/gtest.h>

#include <QDir>
#include <cstdlib>
#include <filesystem>

#include "app/about_window.h"
#include "app/collection_window.h"
#include "app/elided_label.h"
#include "app/main_window.h"
#include "app/preview_window.h"
#include "app_test_support.h"
#include "imaging/sample_photos.h"

namespace tessarix {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Renders the windows for the README: TESSARIX_SCREENSHOTS=<folder> app_tests
// --gtest_filter='Screenshots*'. The photos are made in ~/Pictures (removed afterwards), so the
// windows show the paths a person would have. Without the variable there is nothing to do.
TEST(Screenshots, RunningBatchCollectionPreviewAndAboutWindows) {
  if (std::getenv("TESSARIX_SCREENSHOTS") == nullptr)
    GTEST_SKIP() << "TESSARIX_SCREENSHOTS names no folder";
  const fs::path pictures = QDir::homePath().toStdString() + "/Pictures";
  const fs::path tiles = pictures / "Tiles-for-Mosaics";
  const fs::path source = pictures / "Holidays 2024" / "Harbour at dawn.jpg";
  if (fs::exists(tiles) || fs::exists(source.parent_path()))
    GTEST_SKIP() << "~/Pictures already holds the folders the pictures are made in";
  TempDir dir;
  ScopedConfigHome config(dir.Folder() + "config");
  const fs::path album = tiles / "Summer at the lake with the whole family";
  fs::create_directories(album);
  fs::create_directories(source.parent_path());
  for (uint32_t i = 0; i < 400; ++i)
    WriteJpeg(MakeSamplePhoto(i + 1, 48, 32),
              album.string() + "/tile" + std::to_string(100 + i) + ".jpg");
  WriteJpeg(MakeSampleScene(1200, 800), source.string());

  {
    RecordingPrompt prompt;
    MainWindow window;
    window.show();
    AnalyseInto((tiles / "All tiles.tzc").string(), window.Collection());
    window.ShowCollection();
    window.AddDroppedFiles({source.string()});
    Type(&window, "tilesPerRow", "60");
    Type(&window, "tileWidth", "20");
    window.StartOrStop();
    // Catch the batch while it names the tiles it places.
    auto* status = Child<ElidedLabel>(&window, "statusLine");
    while (window.Driver().IsAlive() && !status->FullText().startsWith("Processing Tile:"))
      window.Tick();
    EXPECT_TRUE(status->FullText().startsWith("Processing Tile:"));
    SaveScreenshot(window, "main-window.png");
    window.Driver().Wait();
    for (int i = 0; i < 3; ++i) window.Tick();
    ASSERT_EQ(window.Previews().size(), 2u);
    SaveScreenshot(*window.Previews()[1], "preview-window.png");
    CollectionWindow collectionWindow(window.Collection(), window.Job());
    collectionWindow.show();
    SaveScreenshot(collectionWindow, "collection-window.png");
    // The pages lie beside the program in the build tree.
    AboutWindow about(&window, QCoreApplication::applicationDirPath() + "/../../src/app");
    about.show();
    SaveScreenshot(about, "about-window.png");
  }
  fs::remove_all(tiles);
  fs::remove_all(source.parent_path());
}

}  // namespace
}  // namespace tessarix
