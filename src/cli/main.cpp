#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/help_formatter.h"
#include "cli/status_printer.h"
#include "engine/mosaic_settings.h"
#include "platform/thread_count.h"
#include "utilities/photo_utility_texts.h"

namespace tessarix::cli {
namespace {

// The settings in the order of their table, each with its default when it has one.
void AddMosaicOptions(CLI::App& mosaic, MosaicOptions& o) {
  mosaic.add_option("-c,--collection", o.collectionFile, "collection file (.tzc)")->required();
  for (const MosaicSetting& setting : kMosaicSettings) {
    const std::string option(setting.option);
    CLI::Option* added =
        setting.field == nullptr
            ? mosaic.add_option(option, o.algorithm, AlgorithmNamesHelp())
            : mosaic.add_option(option, o.fields.*setting.field, std::string(setting.help));
    if (setting.field == nullptr || !setting.defaultText.empty())
      added->capture_default_str();
  }
  mosaic.add_flag("--use-all", o.useAll, "use all images in the collection");
  mosaic.add_flag("--report", o.report, "write a text report");
  // A flag: the width only after "=", so the word after a bare --web-page stays a source.
  mosaic.add_flag("--web-page{" + std::string(kDefaultWebPageWidth) + "}", o.webWidth,
                  "write a web page (--web-page=WIDTH)");
  mosaic.add_option("--mask", o.mask, "mask image for tile width 0");
  mosaic.add_flag("--grey", o.grey, "match against grey thumbnails");
  mosaic.add_option("sources", o.sources, "source photos")->required();
}

std::vector<std::string> PhotoUtilityCliNames() {
  std::vector<std::string> names;
  for (const tessarix::PhotoUtilityInfo& info : tessarix::kPhotoUtilities)
    names.emplace_back(info.cliName);
  return names;
}

// "a|b|c"
std::string JoinedNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : "|") + name;
  return joined;
}

// The long names of every option that takes a value, in `app` and all its subcommands.
void CollectValueOptions(const CLI::App& app, std::set<std::string>& names) {
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_items_expected_max() > 0)
      names.insert(option->get_lnames().begin(), option->get_lnames().end());
  }
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    CollectValueOptions(*sub, names);
}

// The words for CLI11, last first. CLI11 reads "--name=" like a bare "--name" and takes the next
// word as the value; a value left empty after "=" is the empty field, as typed, so such an
// option is handed over as "--name" followed by an empty word.
std::vector<std::string> ReversedArguments(const CLI::App& app, int argc, char** argv) {
  std::set<std::string> valueOptions;
  CollectValueOptions(app, valueOptions);
  std::vector<std::string> words;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    optionsEnded = optionsEnded || word == "--";
    const bool emptyValue = !optionsEnded && word.size() > 3 && word.rfind("--", 0) == 0 &&
                            word.back() == '=' &&
                            valueOptions.count(word.substr(2, word.size() - 3)) != 0;
    words.push_back(emptyValue ? word.substr(0, word.size() - 1) : word);
    if (emptyValue)
      words.emplace_back();
  }
  std::reverse(words.begin(), words.end());
  return words;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

}  // namespace tessarix::cli

int main(int argc, char** argv) {
  using namespace tessarix::cli;
  CLI::App app{"Tessarix: photomosaics from a collection of JPEG photos", "tessarix-cli"};
  app.formatter(std::make_shared<HelpFormatter>());  // before the subcommands, which copy it
  app.require_subcommand(1);
  app.set_version_flag("--version", "tessarix-cli " TESSARIX_VERSION);
  // The top-level help names the subcommands only; this one adds every subcommand's options.
  app.set_help_all_flag("--help-all", "print the help of every subcommand and exit");

  CLI::App* collection = app.add_subcommand("collection", "create, update or show a collection");
  collection->require_subcommand(1);
  std::string collectionFile;
  CollectionAction action = CollectionAction::Show;
  const auto addCollection = [&](const char* name, const char* help, CollectionAction a) {
    CLI::App* sub = collection->add_subcommand(name, help);
    sub->add_option("file", collectionFile, "collection file (.tzc)")->required();
    sub->callback([&action, a] { action = a; });
    sub->fallthrough();  // --threads may follow the action
  };
  addCollection("create", "scan the folder holding FILE.tzc and its subfolders, analyse, save",
                CollectionAction::Create);
  addCollection("update", "rescan, analyse new or changed images only, save",
                CollectionAction::Update);
  addCollection("show", "list the entries of a collection", CollectionAction::Show);
  unsigned threads = 0;
  const auto addThreads = [&threads](CLI::App* sub) {
    sub->add_option("--threads", threads, "threads for decoding and matching (default: all cores)")
        ->check(CLI::Range(1, static_cast<int>(tessarix::kMaxThreadCount)));
  };
  addThreads(collection);

  MosaicOptions mosaicOptions;
  CLI::App* mosaic = app.add_subcommand("mosaic", "make a mosaic of every source photo");
  AddMosaicOptions(*mosaic, mosaicOptions);
  addThreads(mosaic);

  FramesOptions framesOptions;
  CLI::App* frames = app.add_subcommand("frames", "extract frames of a video into new folders");
  frames->add_option("video", framesOptions.video, "the video file")->required();
  frames->add_option("--start", framesOptions.start, "first frame (default 0)");
  frames->add_option("--stop", framesOptions.stop, "last frame (default: the frame count)");
  frames->add_option("--frames", framesOptions.frames, "how many frames");
  frames->add_option("--pos", framesOptions.pos, "top/left of the cut-out: X,Y");
  frames->add_option("--size", framesOptions.size, "size of the cut-out: W,H");
  frames->add_flag("--deinterlace", framesOptions.deinterlace, "de-interlace every frame");
  frames->add_flag("--bmp", framesOptions.bmp, "also write BMP files");
  frames->add_flag("--no-jpg", framesOptions.noJpg, "write no JPEG files");
  frames->add_option("--quality", framesOptions.quality, "quality of the JPEG files (default 50)");
  frames->add_option("--prefix", framesOptions.prefix, "prefix of every file (default FR)");

  std::string utilityCommand, utilityFile;
  CLI::App* utility = app.add_subcommand("utility", "photo utilities for advanced users");
  const std::vector<std::string> utilityNames = PhotoUtilityCliNames();
  utility->add_option("command", utilityCommand, JoinedNames(utilityNames))
      ->required()
      ->check(CLI::IsMember(utilityNames));
  utility->add_option("file", utilityFile, "the photo (FILE.jpg)")->required();

  std::string demoFolder = "tessarix-demo";
  CLI::App* demo = app.add_subcommand("demo", "generate sample photos and make a mosaic of them");
  demo->add_option("folder", demoFolder, "folder for the demo")->capture_default_str();

  try {
    app.parse(ReversedArguments(app, argc, argv));
  } catch (const CLI::ParseError& e) {
    // Help and version end with status 0; every other parse error is a refusal.
    return app.exit(e) == 0 ? 0 : kRefused;
  }

  if (threads != 0)
    tessarix::SetThreadCount(threads);
  if (*collection)
    return RunCollection(action, collectionFile);
  if (*mosaic)
    return RunMosaic(mosaicOptions);
  if (*frames)
    return RunFrames(framesOptions);
  if (*utility)
    return RunUtility(utilityCommand, utilityFile);
  if (*demo)
    return RunDemo(demoFolder);
  return kRefused;
}
