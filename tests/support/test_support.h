#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "imaging/image.h"
#include "platform/user_prompt.h"

namespace tessarix::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessarix-XXXXXX").string();
    EXPECT_NE(mkdtemp(pattern.data()), nullptr) << "cannot create a temporary folder";
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  // A copy would remove the folder while the original still uses it.
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
  ~ScopedEnv() { saved_ ? setenv(name_, saved_->c_str(), 1) : unsetenv(name_); }
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
    onFileRequest();
    return fileAnswer;
  }

  std::vector<std::string> messages, questions;
  std::vector<std::string> fileRequests, fileTitles;  // the filters; "title / selected filter"
  bool yesAnswer = false;
  std::optional<std::string> fileAnswer;
  std::function<void()> onFileRequest = [] {};  // called on the asking thread before the answer

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
inline Image MakeFlatImage(uint32_t width, uint32_t height, Pixel colour) {
  return MakeImage(width, height, [colour](uint32_t, uint32_t) { return colour; });
}
// Busy content that compresses poorly.
inline Image Noise(uint32_t width, uint32_t height) {
  return MakeImage(width, height, [](uint32_t x, uint32_t y) {
    const uint32_t v = x * 2654435761u ^ y * 40503u;
    return MakePixel(v & 0xFF, (v >> 8) & 0xFF, (x * 7 + y * 3) & 0xFF);
  });
}
// Flat grey 8 x 8 blocks of different levels, no two mirrored or turned alike: each decodes to the
// same pixels wherever an encoding puts it, so a turned copy of a file decodes to the turned
// pixels exactly.
inline Image Blocks(uint32_t width, uint32_t height) {
  return MakeImage(width, height, [width](uint32_t x, uint32_t y) {
    const uint32_t level = (16 + 24 * ((y / 8) * (width / 8) + x / 8)) % 256;
    return MakePixel(level, level, level);
  });
}

// Writes `image` as a JPEG of quality 95 and fails the test if that does not work.
inline void WriteJpeg(const Image& image, const std::string& path, int quality = 95) {
  ASSERT_TRUE(image.SaveJpeg(path, quality)) << path;
}

// The bytes of a file (empty when it cannot be read).
inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  if (!std::filesystem::is_regular_file(path))  // a folder throws when read as a stream
    return {};
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Writes at `path` a flat 16 x 16 JPEG whose frame header claims `width` x `height`: libjpeg
// believes the claim and the scan data ends long before, so a decode asks for the claimed
// memory without a file of that size on disk.
inline void WriteClaimingSize(const std::string& path, uint16_t width, uint16_t height) {
  WriteJpeg(MakeFlatImage(16, 16, MakePixel(128, 128, 128)), path);
  std::vector<unsigned char> jpeg = ReadBytes(path);
  const size_t at = std::string(jpeg.begin(), jpeg.end()).find("\xFF\xC0");
  ASSERT_LT(at, jpeg.size() - 9) << "no baseline frame header in " << path;
  // FF C0, length (2), precision (1), height (2), width (2), big-endian.
  jpeg[at + 5] = static_cast<unsigned char>(height >> 8);
  jpeg[at + 6] = static_cast<unsigned char>(height);
  jpeg[at + 7] = static_cast<unsigned char>(width >> 8);
  jpeg[at + 8] = static_cast<unsigned char>(width);
  WriteBytes(path, jpeg);
}

// Puts an EXIF block whose orientation tag holds `orientation` right after the start marker of
// the JPEG file at `path`, cut to its first `keep` bytes (a damaged block when fewer than all 32).
inline void TagOrientation(const std::string& path, uint16_t orientation, size_t keep = 32) {
  // "Exif", then a big-endian TIFF header and one directory holding one SHORT entry, 0x0112.
  // The segment starts with its marker, FF E1, and its length, which counts itself but not the
  // marker.
  const unsigned char high = orientation >> 8, low = orientation & 0xFF;
  std::vector<unsigned char> segment = {0xFF, 0xE1, 0, 0, 'E',  'x', 'i', 'f', 0,    0,    'M', 'M',
                                        0,    42,   0, 0, 0,    8,   0,   1,   0x01, 0x12, 0,   3,
                                        0,    0,    0, 1, high, low, 0,   0,   0,    0,    0,   0};
  segment.resize(4 + std::min(keep, segment.size() - 4));
  segment[2] = static_cast<unsigned char>((segment.size() - 2) >> 8);
  segment[3] = static_cast<unsigned char>(segment.size() - 2);
  std::vector<unsigned char> bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
  WriteBytes(path, bytes);
}

// Quarter turns clockwise, then a mirror image (left and right swapped) when `mirror`.
inline Image Turned(const Image& image, int quarterTurns, bool mirror) {
  Image result = image;
  for (int i = 0; i < quarterTurns; ++i) {
    const Image before = result;
    result = MakeImage(before.Height(), before.Width(), [&](uint32_t x, uint32_t y) {
      return before.At(y, before.Height() - 1 - x);
    });
  }
  if (!mirror)
    return result;
  return MakeImage(result.Width(), result.Height(),
                   [&](uint32_t x, uint32_t y) { return result.At(result.Width() - 1 - x, y); });
}

}  // namespace tessarix::test
