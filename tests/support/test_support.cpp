#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace tessarix::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessarix-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

Image MakeFlatImage(uint32_t width, uint32_t height, Pixel colour) {
  return MakeImage(width, height, [colour](uint32_t, uint32_t) { return colour; });
}

void WriteJpeg(const Image& image, const std::string& path, int quality) {
  ASSERT_TRUE(image.SaveJpeg(path, quality)) << path;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tessarix::test
