#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "imaging/image.h"
#include "movie/extraction_fields.h"
#include "platform/failure.h"

namespace tessarix {

class MovieStream;

// Receives every progress text; the window puts it into its status line and repaints at once,
// the command line prints it.
using StatusSink = std::function<void(const std::string&)>;

// The open dialog's filter: the classic pair first, then every other container FFmpeg reads,
// then all of them together, the pair the dialog opens on so that no movie is hidden at first.
extern const char* const kMovieFileFilter;
inline constexpr int kAllVideosFilter = 2;

// Asks for a movie file; none when the person cancels or chooses an empty path.
std::optional<std::string> ChooseMovieFile();

// The movie path without its extension and the dot before it ("/v/clip.avi" gives "/v/clip").
std::string MovieBase(const std::string& moviePath);

// "<base>_FRAMES00003" and "<base>_FRAMES00003/FR00001.jpg" (frame number 1-based).
std::string FramesFolderName(const std::string& base, uint32_t folder);
std::string FrameFileName(const std::string& base, uint32_t folder, const std::string& prefix,
                          int64_t frameNumber, const char* extension);

// The first of 1..98 with no file or folder "<base>_FRAMESnnnnn", else 99.
uint32_t FirstFreeFolderNumber(const std::string& base);

// The cut-out drawn onto a sample frame of W x H pixels shown at fw x fh; inclusive bounds.
struct SampleRectangle {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
};

// None when the mapped rectangle falls outside the fitted frame (then none is drawn).
std::optional<SampleRectangle> MapCutOut(const ExtractionFields& fields, uint32_t W, uint32_t H,
                                         uint32_t fw, uint32_t fh);

// The picture for the "Sample Frame" area of displayWidth x displayHeight: frame `frame` fitted
// in the middle on black, with the cut-out outlined in white. None when nothing is to be drawn
// (no stream, frame unreadable); a cut-out outside the frame also shows its message.
std::optional<Image> DrawSampleFrame(MovieStream* stream, const ExtractionFields& fields,
                                     int32_t frame, uint32_t displayWidth, uint32_t displayHeight);

struct ExtractionResult {
  // Fails when the extraction stops: kRefused when the cut-out does not fit the frame (nothing
  // is read), kCannotCreate when a frames folder cannot be made (path: the folder, with the
  // system's error). Frames that cannot be read or saved do not stop it: they are counted.
  Status status;
  int written = 0;     // frames counted (saved, or refused by the disk)
  int unreadable = 0;  // frames that could not be read, converted or cut
  int saveFailures = 0;
  uint32_t firstFolder = 0;  // folder number of the first frame written, 0 if none
};

// Extracts the chosen frames of `stream` (opened from moviePath) into numbered folders beside
// the movie, reporting through `status`. Each frame that cannot be saved is said through
// Prompt() where it happens; a folder that cannot be made is said so as its first frame, once.
ExtractionResult ExtractFrames(MovieStream& stream, const std::string& moviePath,
                               const ExtractionFields& fields, const StatusSink& status);

}  // namespace tessarix
