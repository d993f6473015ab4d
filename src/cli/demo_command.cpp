#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/status_printer.h"
#include "engine/mosaic_settings.h"
#include "engine/output_names.h"
#include "imaging/jpeg_file.h"
#include "imaging/sample_photos.h"
#include "platform/text_format.h"

namespace tessarix::cli {
namespace {

constexpr int kTiles = 300;

// Landscape, portrait and square tiles of varied content; the same files on every run.
bool WriteSampleTiles(const std::filesystem::path& folder) {
  for (int i = 0; i < kTiles; ++i) {
    const uint32_t width = i % 5 == 3 ? 160 : (i % 7 == 5 ? 200 : 240);
    const uint32_t height = i % 5 == 3 ? 240 : (i % 7 == 5 ? 200 : 160);
    const Image tile = MakeSamplePhoto(static_cast<uint32_t>(i + 1), width, height);
    const std::string path = (folder / Format("tile%03d.jpg", i + 1)).string();
    if (!WithJpegMessage(tile.SaveJpeg(path, 90)))
      return false;
  }
  return true;
}

}  // namespace

int RunDemo(const std::string& folderText) {
  const std::filesystem::path folder = AbsolutePath(folderText);
  const std::filesystem::path tiles = folder / "tiles";
  std::error_code error;
  std::filesystem::create_directories(tiles, error);
  if (error) {
    PrintMessage(Format("Cannot create the folder %s", tiles.string().c_str()));
    return kFailed;
  }
  PrintMessage(Format("Writing %d sample tiles into %s ...", kTiles, tiles.string().c_str()));
  const std::string source = (folder / "Landscape.jpg").string();
  if (!WriteSampleTiles(tiles) ||
      !WithJpegMessage(MakeSampleScene(1800, 1200).SaveJpeg(source, 92))) {
    PrintMessage("Cannot write the sample photos.");
    return kFailed;
  }
  const std::string collectionFile = (tiles / "Demo.tzc").string();
  if (int status = RunCollection(CollectionAction::Create, collectionFile); status != kDone) {
    return status;
  }
  MosaicOptions options;
  options.collectionFile = collectionFile;
  options.fields.tilesPerRow = "40";
  options.report = true;
  options.webWidth = std::string(kDefaultWebPageWidth);
  options.sources = {source};
  const int status = RunMosaic(options);
  if (status == kDone) {
    const std::string base = OutputBase(source);
    std::printf("Collection: %s\nSource:     %s\nMosaic:     %s\nReport:     %s\nWeb page:   %s\n",
                collectionFile.c_str(), source.c_str(), MosaicFileName(base).c_str(),
                ReportFileName(base).c_str(), WebPageFileName(base).c_str());
  }
  return status;
}

}  // namespace tessarix::cli
