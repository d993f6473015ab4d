#include <cstdio>

#include "cli/cli_prompt.h"
#include "cli/commands.h"
#include "cli/status_printer.h"
#include "movie/extraction_fields.h"
#include "movie/frame_extraction.h"
#include "movie/movie_stream.h"
#include "platform/user_prompt.h"
#include "window_logic/failure_texts.h"

namespace tessarix::cli {
namespace {

// "X,Y" into two texts; false when there is no comma.
bool SplitPair(const std::string& text, std::string& first, std::string& second) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos)
    return false;
  first = text.substr(0, comma);
  second = text.substr(comma + 1);
  return true;
}

// The window's boxes start from the movie's defaults; every option given replaces one box.
bool ApplyOptions(const FramesOptions& o, ExtractionFieldTexts& texts) {
  if (o.start)
    texts.startFrame = *o.start;
  if (o.stop)
    texts.stopFrame = *o.stop;
  if (o.frames)
    texts.howManyFrames = *o.frames;
  if (o.quality)
    texts.jpgQuality = *o.quality;
  if (o.prefix)
    texts.filePrefix = *o.prefix;
  if (o.pos && !SplitPair(*o.pos, texts.posX, texts.posY))
    return false;
  if (o.size && !SplitPair(*o.size, texts.sizeX, texts.sizeY))
    return false;
  texts.deInterlace = o.deinterlace;
  texts.writeBmp = o.bmp;
  texts.writeJpg = !o.noJpg;
  return true;
}

}  // namespace

int RunFrames(const FramesOptions& options) {
  CliPrompt prompt;
  ScopedPrompt promptGuard(prompt);
  const std::string video = AbsolutePath(options.video);
  MovieStream stream;
  if (const Status opened = stream.Open(video); !opened) {
    for (const std::string& text : MovieOpenFailureTexts(opened.Why()))
      Prompt().ShowMessage(text, MessageIcon::Stop);
    return kFailed;
  }

  ExtractionFieldTexts texts = ToTexts(DefaultExtractionFields(stream));
  if (!ApplyOptions(options, texts)) {
    PrintMessage("--pos and --size take two numbers separated by a comma, e.g. --pos 0,0");
    return kRefused;
  }
  FieldProblem problem;
  const std::optional<ExtractionFields> fields = ParseExtractionFields(texts, &problem);
  if (!fields) {
    PrintMessage(problem.message);
    return kRefused;
  }
  if (!CheckFrameRange(&stream, *fields))
    return kRefused;

  StatusPrinter printer;
  const ExtractionResult result = ExtractFrames(
      stream, video, *fields, [&printer](const std::string& text) { printer.Show(text, text); });
  printer.Finish();
  if (!result.status) {
    if (const std::optional<std::string> text = ExtractionStopText(result.status.Why()))
      Prompt().ShowMessage(*text, MessageIcon::Warning);
  }
  if (result.firstFolder != 0) {
    std::printf("%s\n", FramesFolderName(MovieBase(video), result.firstFolder).c_str());
  }
  return result.status && result.saveFailures == 0 ? kDone : kFailed;
}

}  // namespace tessarix::cli
