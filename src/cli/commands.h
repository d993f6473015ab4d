#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/parameter_check.h"

namespace tessarix::cli {

// Exit status of every subcommand.
enum ExitStatus : int { kDone = 0, kFailed = 1, kRefused = 2, kInterrupted = 130 };

struct MosaicOptions {
  std::string collectionFile;
  ParameterFields fields;
  std::string algorithm{kAlgorithms[kDefaultAlgorithm].name};
  bool useAll = false;
  bool report = false;
  std::optional<std::string> webWidth;  // set when --web-page was given
  std::string mask;
  bool grey = false;
  std::vector<std::string> sources;
};

int RunMosaic(const MosaicOptions& options);

enum class CollectionAction { Create, Update, Show };
int RunCollection(CollectionAction action, const std::string& file);

int RunDemo(const std::string& folder);

// The photo utility of that command-line name (kPhotoUtilities) on one photo.
int RunUtility(const std::string& command, const std::string& file);

struct FramesOptions {
  std::string video;
  std::optional<std::string> start, stop, frames, pos, size, quality, prefix;
  bool deinterlace = false;
  bool bmp = false;
  bool noJpg = false;
};

// Extracts frames of a video into new "_FRAMES" folders beside it.
int RunFrames(const FramesOptions& options);

// An absolute path without resolving symlinks.
std::string AbsolutePath(const std::string& path);

}  // namespace tessarix::cli
