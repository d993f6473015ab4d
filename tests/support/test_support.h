#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/image.h"
#include "platform/user_prompt.h"

namespace tessarix::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The folder as the program writes folders: absolute, ending with "/".
  std::string Folder() const { return path_.string() + "/"; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for the life of the object, then restores what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name))
      saved_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (saved_)
      setenv(name_, saved_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// The kind of a failed status; none for a success.
inline std::optional<FailureKind> KindOf(const Status& status) {
  return status ? std::nullopt : std::optional<FailureKind>(status.Why().kind);
}

// Records every call; answers questions and file requests from the queued answers.
class RecordingPrompt final : public UserPrompt {
 public:
  RecordingPrompt() : guard_(*this) {}

  void ShowMessage(const std::string& text, MessageIcon) override { messages.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    return yesAnswer;
  }
  std::optional<std::string> AskOpenFile(const std::string& filter, const std::string&,
                                         const std::string& title, int selected) override {
    fileRequests.push_back(filter);
    fileTitles.push_back(title + " / " + std::to_string(selected));
    if (onFileRequest)
      onFileRequest();
    return fileAnswer;
  }

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> fileRequests;
  std::vector<std::string> fileTitles;  // "title / selected filter"
  bool yesAnswer = false;
  std::optional<std::string> fileAnswer;
  std::function<void()> onFileRequest;  // called on the asking thread before the answer

 private:
  ScopedPrompt guard_;
};

// A width x height image whose pixels come from `colour(x, y)` (T = 0).
template <typename Fn>
Image MakeImage(uint32_t width, uint32_t height, Fn colour) {
  Image image;
  image.Create(width, height, 0);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) image.At(x, y) = colour(x, y);
  return image;
}

// A flat-coloured image.
Image MakeFlatImage(uint32_t width, uint32_t height, Pixel colour);
// Busy content that compresses poorly.
Image Noise(uint32_t width, uint32_t height);
// Flat grey 8 x 8 blocks of different levels, no two mirrored or turned alike: each decodes to the
// same pixels wherever an encoding puts it, so a turned copy of a file decodes to the turned
// pixels exactly.
Image Blocks(uint32_t width, uint32_t height);

// Writes `image` as a JPEG of quality 95 and fails the test if that does not work.
void WriteJpeg(const Image& image, const std::string& path, int quality = 95);

// The bytes of a file (empty when it cannot be read).
std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// Writes at `path` a flat 16 x 16 JPEG whose frame header claims `width` x `height`: libjpeg
// believes the claim and the scan data ends long before, so a decode asks for the claimed
// memory without a file of that size on disk.
void WriteClaimingSize(const std::string& path, uint16_t width, uint16_t height);

// Puts an EXIF block whose orientation tag holds `orientation` right after the start marker of
// the JPEG file at `path`, cut to its first `keep` bytes (a damaged block when fewer than all 32).
void TagOrientation(const std::string& path, uint16_t orientation, size_t keep = 32);

// Quarter turns clockwise, then a mirror image (left and right swapped) when `mirror`.
Image Turned(const Image& image, int quarterTurns, bool mirror);

}  // namespace tessarix::test
