#include "movie/frame_extraction.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

#include "imaging/deinterlace.h"
#include "imaging/dib.h"
#include "imaging/image_ops.h"
#include "imaging/jpeg_file.h"
#include "movie/movie_stream.h"
#include "platform/clock.h"
#include "platform/text_format.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

constexpr int64_t kFramesPerFolder = 2000;
constexpr uint32_t kLastProbedFolder = 99;

bool PathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// Makes the folder, or accepts it when it is already there.
Status MakeFolder(const std::string& path) {
  std::error_code created, looked;
  std::filesystem::create_directory(path, created);
  if (std::filesystem::is_directory(path, looked))
    return {};
  return Failure{FailureKind::kCannotCreate, path, created ? created.value() : looked.value(), {}};
}

}  // namespace

const char* const kMovieFileFilter =
    "File Video avi (*.avi, *.mpg)|*.avi;*.mpg|"
    "Other video files (*.mp4, *.mkv, *.mov, *.webm, *.mpeg, *.m4v, *.wmv, *.flv)|"
    "*.mp4;*.mkv;*.mov;*.webm;*.mpeg;*.m4v;*.wmv;*.flv|"
    "All videos|*.avi;*.mpg;*.mpeg;*.mpe;*.mp4;*.m4v;*.mkv;*.mov;*.webm;*.wmv;*.asf;*.flv;"
    "*.ogv;*.3gp;*.ts;*.mts;*.m2ts;*.vob;*.dv;*.mjpeg;*.h264;*.hevc||";

std::optional<std::string> ChooseMovieFile() {
  std::optional<std::string> path =
      Prompt().AskOpenFile(kMovieFileFilter, "avi", "Choose a movie", kAllVideosFilter);
  if (!path || path->empty())
    return std::nullopt;
  return path;
}

std::string MovieBase(const std::string& moviePath) {
  const size_t slash = moviePath.find_last_of('/');
  const size_t dot = moviePath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return moviePath;
  return moviePath.substr(0, dot);
}

std::string FramesFolderName(const std::string& base, uint32_t folder) {
  return Format("%s_FRAMES%05d", base.c_str(), static_cast<int>(folder));
}

std::string FrameFileName(const std::string& base, uint32_t folder, const std::string& prefix,
                          int64_t frameNumber, const char* extension) {
  return FramesFolderName(base, folder) + "/" +
         Format("%s%05d.%s", prefix.c_str(), static_cast<int>(frameNumber), extension);
}

uint32_t FirstFreeFolderNumber(const std::string& base) {
  uint32_t n = 1;
  while (n < kLastProbedFolder && PathExists(FramesFolderName(base, n))) ++n;
  return n;
}

std::optional<SampleRectangle> MapCutOut(const ExtractionFields& fields, uint32_t W, uint32_t H,
                                         uint32_t fw, uint32_t fh) {
  if (W == 0 || H == 0)
    return std::nullopt;
  auto map = [](uint64_t value, uint32_t whole, uint32_t fitted) {
    return static_cast<int64_t>(static_cast<double>(value) / whole * fitted);
  };
  SampleRectangle r;
  r.left = map(fields.posX, W, fw);
  r.right = map(uint64_t{fields.posX} + fields.sizeX - 1, W, fw);
  r.top = map(fields.posY, H, fh);
  r.bottom = map(uint64_t{fields.posY} + fields.sizeY - 1, H, fh);
  if (r.left <= r.right && r.right < fw && r.top <= r.bottom && r.bottom < fh)
    return r;
  return std::nullopt;
}

std::optional<Image> DrawSampleFrame(MovieStream* stream, const ExtractionFields& fields,
                                     int32_t frameIndex, uint32_t displayWidth,
                                     uint32_t displayHeight) {
  // A picture area without room for the frame inside its one-pixel margin shows nothing.
  if (stream == nullptr || !stream->IsOpen() || displayWidth < 3 || displayHeight < 3)
    return std::nullopt;
  const Dib* dib = stream->Frame(frameIndex);
  if (dib == nullptr)
    return std::nullopt;
  Image frame;
  if (!frame.TakeOver(FromDib(*dib)) || frame.Width() < 1 || frame.Height() < 1)
    return std::nullopt;
  const uint32_t W = frame.Width();
  const uint32_t H = frame.Height();
  if (fields.deInterlace)
    DeInterlace(frame, 100);
  Image display;
  if (!display.Create(displayWidth, displayHeight, 0))
    return std::nullopt;
  frame.TakeOver(FitWithin(frame, displayWidth - 2, displayHeight - 2));
  const uint32_t fw = frame.Width();
  const uint32_t fh = frame.Height();
  if (uint64_t{fields.posX} + fields.sizeX > W || fields.sizeX == 0) {
    Prompt().ShowMessage(
        Format("The value PosX+SizeX (%ld+%ld) must not exceed the Frame Width %ld",
               static_cast<long>(fields.posX), static_cast<long>(fields.sizeX),
               static_cast<long>(W)),
        MessageIcon::Warning);
    return std::nullopt;
  }
  if (uint64_t{fields.posY} + fields.sizeY > H || fields.sizeY == 0) {
    Prompt().ShowMessage(
        Format("The value PosY+SizeY (%ld+%ld) must not exceed the Frame Height %ld",
               static_cast<long>(fields.posY), static_cast<long>(fields.sizeY),
               static_cast<long>(H)),
        MessageIcon::Warning);
    return std::nullopt;
  }
  if (const auto r = MapCutOut(fields, W, H, fw, fh)) {
    const Pixel white = MakePixel(255, 255, 255);
    for (int64_t x = r->left; x <= r->right; ++x) {
      frame.At(static_cast<uint32_t>(x), static_cast<uint32_t>(r->top)) = white;
      frame.At(static_cast<uint32_t>(x), static_cast<uint32_t>(r->bottom)) = white;
    }
    for (int64_t y = r->top; y <= r->bottom; ++y) {
      frame.At(static_cast<uint32_t>(r->left), static_cast<uint32_t>(y)) = white;
      frame.At(static_cast<uint32_t>(r->right), static_cast<uint32_t>(y)) = white;
    }
  }
  Paste(display, (displayWidth - fw) / 2, static_cast<int32_t>((displayHeight - fh) / 2), frame,
        PasteMode::Copy);
  return display;
}

ExtractionResult ExtractFrames(MovieStream& stream, const std::string& moviePath,
                               const ExtractionFields& fields, const StatusSink& sink) {
  auto status = [&sink](const std::string& text) {
    if (sink)
      sink(text);
  };
  ExtractionResult result;
  const uint32_t W = stream.Width();
  const uint32_t H = stream.Height();
  // Summed in 64 bits so that a huge position cannot wrap round and pass.
  if (uint64_t{fields.posX} + fields.sizeX > W || uint64_t{fields.posY} + fields.sizeY > H) {
    result.status = Failure{FailureKind::kRefused, moviePath, 0, {}};
    return result;
  }
  const bool needsCut =
      fields.posX > 0 || fields.posY > 0 || fields.sizeX != W || fields.sizeY != H;
  const std::string base = MovieBase(moviePath);
  uint32_t folder = FirstFreeFolderNumber(base) - 1;
  int64_t nextFolderAt = 0;

  const uint64_t startTime = TickMillis();
  const int64_t start = fields.startFrame;
  const int64_t end = std::min<int64_t>(fields.stopFrame, stream.FrameCount());
  const int64_t howMany = fields.howManyFrames <= 0 ? 1 : fields.howManyFrames;
  const int64_t span = end - start + 1;
  double step = 1.0;
  if (span > howMany)
    step = std::max(1.0, static_cast<double>(span) / howMany);

  int64_t count = 0;
  Image image;  // one frame at a time; its pixels are replaced for every frame
  double pos = static_cast<double>(start);
  while (start < end && pos < end && count < howMany) {
    const int64_t frame = static_cast<int64_t>(pos);
    const int number = static_cast<int>(frame + 1);
    const Dib* dib = stream.Frame(frame);
    const char* problem = nullptr;
    if (dib == nullptr) {
      problem = "Cannot read frame nr.%d.";
    } else if (!image.TakeOver(FromDib(*dib))) {
      problem = "Cannot analyze frame nr.%d.";
    } else {
      if (fields.deInterlace)
        DeInterlace(image, 100);
      if (needsCut &&
          (image.Width() != fields.sizeX || image.Height() != fields.sizeY || fields.posX != 0 ||
           fields.posY != 0) &&
          !image.TakeOver(Resample(image, fields.sizeX, fields.sizeY, fields.sizeX, fields.sizeY,
                                   fields.posX, fields.posY)))
        problem = "Cannot extract frame nr.%d.";
    }
    if (problem != nullptr) {
      status(Format(problem, number));
      ++result.unreadable;
      pos += step;
      continue;
    }

    ++count;
    if (count >= nextFolderAt) {
      ++folder;
      // Later folders are not part of the first probe: never write into one that is already
      // there, it holds the frames of an earlier extraction.
      if (result.firstFolder != 0)
        while (PathExists(FramesFolderName(base, folder))) ++folder;
      if (Status made = MakeFolder(FramesFolderName(base, folder)); !made) {
        // Every further frame would be refused too: one message instead of thousands.
        Prompt().ShowMessage(Format("Cannot save frame nr.%d.", number), MessageIcon::Stop);
        ++result.saveFailures;
        result.written = static_cast<int>(count);
        result.status = std::move(made);
        return result;
      }
      if (result.firstFolder == 0)
        result.firstFolder = folder;
      nextFolderAt = count + kFramesPerFolder;
    }
    bool saved = true;
    if (fields.writeJpg)
      saved = static_cast<bool>(WithJpegMessage(
          image.SaveJpeg(FrameFileName(base, folder, fields.filePrefix, frame + 1, "jpg"),
                         static_cast<int>(fields.jpgQuality))));
    if (fields.writeBmp)
      saved =
          SaveBmp(image, FrameFileName(base, folder, fields.filePrefix, frame + 1, "bmp")) && saved;
    if (!saved) {
      Prompt().ShowMessage(Format("Cannot save frame nr.%d.", number), MessageIcon::Stop);
      ++result.saveFailures;
      pos = std::trunc(static_cast<double>(frame) + step);
      continue;
    }

    const double percent =
        static_cast<double>(frame - start) / static_cast<double>(end - start + 1) * 100.0;
    const uint64_t elapsed = TickMillis() - startTime;
    const int64_t remaining =
        percent != 0 ? static_cast<int64_t>(elapsed * (1.0 / percent * 100.0 - 1.0)) : 0;
    status(Format("Frame (%d) %d of %d, Completed %.2f%%, Elapsed Time: %s, ETA: %s",
                  static_cast<int>(count), number, static_cast<int>(end), percent,
                  FormatDuration(static_cast<int64_t>(elapsed)).c_str(),
                  FormatDuration(remaining).c_str()));
    pos += step;
  }
  result.written = static_cast<int>(count);
  status(Format("Frames %d, Completed 100%%, Elapsed Time: %s", static_cast<int>(end),
                FormatDuration(static_cast<int64_t>(TickMillis() - startTime)).c_str()));
  return result;
}

}  // namespace tessarix
