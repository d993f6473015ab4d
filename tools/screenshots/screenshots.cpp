// Renders the windows shown in the README into a folder: tessarix_screenshots FOLDER. The photos
// are made in ~/Pictures (removed afterwards), so the windows show the paths a person would have.

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/about_window.h"
#include "app/collection_window.h"
#include "app/elided_label.h"
#include "app/main_window.h"
#include "app/movie_extraction_window.h"
#include "app/photo_utilities_window.h"
#include "app/preview_window.h"
#include "imaging/sample_photos.h"
#include "movie/movie_stream.h"
#include "test_video.h"
#include "window_logic/collection_commands.h"

namespace tessarix {
namespace {

namespace fs = std::filesystem;

void Type(QWidget& window, const char* field, const char* text) {
  if (auto* edit = window.findChild<QLineEdit*>(field))
    edit->setText(text);
}

// 256 colours keep the pictures in the repository small.
bool Save(QWidget& window, const QString& folder, const char* name) {
  window.show();
  if (!QTest::qWaitForWindowExposed(&window))
    return false;
  const QImage picture = window.grab().toImage().convertToFormat(
      QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
  if (picture.save(folder + "/" + name, nullptr, 0))
    return true;
  std::fprintf(stderr, "cannot write %s/%s\n", folder.toUtf8().constData(), name);
  return false;
}

void Analyse(const std::string& file, ImageCollection& collection) {
  CollectionCommands commands(collection);
  commands.BeginCreate(file);
  while (commands.AnalyseTick().more) {
  }
}

// A batch caught while it names the tiles it places, its finished mosaic's preview, the
// collection and About windows.
bool MosaicWindows(const fs::path& tiles, const fs::path& source, const QString& folder) {
  const fs::path album = tiles / "Summer at the lake with the whole family";
  fs::create_directories(album);
  fs::create_directories(source.parent_path());
  for (uint32_t i = 0; i < 400; ++i) {
    if (!MakeSamplePhoto(i + 1, 48, 32)
             .SaveJpeg(album.string() + "/tile" + std::to_string(100 + i) + ".jpg", 95))
      return false;
  }
  if (!MakeSampleScene(1200, 800).SaveJpeg(source.string(), 95))
    return false;
  MainWindow window;
  window.show();
  Analyse((tiles / "All tiles.tzc").string(), window.Collection());
  window.ShowCollection();
  window.AddDroppedFiles({source.string()});
  Type(window, "tilesPerRow", "60");
  Type(window, "tileWidth", "20");
  window.StartOrStop();
  auto* status = window.findChild<ElidedLabel*>("statusLine");
  while (window.Driver().IsAlive() && !status->FullText().startsWith("Processing Tile:"))
    window.Tick();
  if (!Save(window, folder, "main-window.png"))
    return false;
  window.Driver().Wait();
  for (int i = 0; i < 3; ++i) window.Tick();
  if (window.Previews().size() != 2 || !Save(*window.Previews()[1], folder, "preview-window.png"))
    return false;
  CollectionWindow collectionWindow(window.Collection(), window.Job());
  // The pages lie beside the program in the build tree.
  AboutWindow about(&window, QCoreApplication::applicationDirPath() + "/../../src/app");
  return Save(collectionWindow, folder, "collection-window.png") &&
         Save(about, folder, "about-window.png");
}

// The photo utilities, and a movie's frame with the middle quarter chosen as the cut-out.
bool ToolWindows(const fs::path& work, const QString& folder) {
  PhotoUtilitiesWindow utilities;
  const std::string movie = (work / "clip.avi").string();
  const Image scene = MakeSampleScene(192, 144);
  MovieStream stream;
  if (!Save(utilities, folder, "utilities-window.png") ||
      !test::WriteVideo(movie, {.width = 192, .height = 144, .frames = 10},
                        [&scene](int) { return scene; }) ||
      !stream.Open(movie))
    return false;
  MovieExtractionWindow window(stream);
  window.show();
  Type(window, "posX", "48");
  Type(window, "posY", "36");
  Type(window, "sizeX", "96");
  Type(window, "sizeY", "72");
  window.ShowFrame();
  return Save(window, folder, "movie-window.png");
}

}  // namespace
}  // namespace tessarix

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc != 2) {
    std::fprintf(stderr, "usage: tessarix_screenshots FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const QString folder = QDir(argv[1]).absolutePath();
  const fs::path pictures = QDir::homePath().toStdString() + "/Pictures";
  const fs::path tiles = pictures / "Tiles-for-Mosaics";
  const fs::path source = pictures / "Holidays 2024" / "Harbour at dawn.jpg";
  if (fs::exists(tiles) || fs::exists(source.parent_path())) {
    std::fprintf(stderr, "~/Pictures already holds the folders the pictures are made in\n");
    return 1;
  }
  // The usage count and the remembered settings stay out of the person's own.
  const fs::path work =
      fs::temp_directory_path() / ("tessarix-screenshots-" + std::to_string(getpid()));
  fs::create_directories(work);
  setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);
  QDir().mkpath(folder);
  const bool made =
      tessarix::MosaicWindows(tiles, source, folder) && tessarix::ToolWindows(work, folder);
  fs::remove_all(tiles);
  fs::remove_all(source.parent_path());
  fs::remove_all(work);
  if (!made)
    std::fprintf(stderr, "tessarix_screenshots: the pictures were not all made\n");
  return made ? 0 : 1;
}
