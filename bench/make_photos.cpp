// Writes the benchmark's test sets: `bench_make_photos tiles FOLDER COUNT WIDTH HEIGHT` makes
// COUNT generated photos photo0000.jpg... in FOLDER; `bench_make_photos scene FILE WIDTH HEIGHT`
// makes the landscape that the mosaics are made of. Every picture is the same on every machine.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "imaging/sample_photos.h"

namespace {

bool ReadNumber(const char* text, uint32_t& value) {
  char* end = nullptr;
  const unsigned long v = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || v == 0 || v > 20000)
    return false;
  value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessarix;
  const std::string mode = argc > 1 ? argv[1] : "";
  uint32_t count = 0, width = 0, height = 0;
  if (mode == "tiles" && argc == 6 && ReadNumber(argv[3], count) && ReadNumber(argv[4], width) &&
      ReadNumber(argv[5], height)) {
    const std::string folder = argv[2];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (uint32_t k = 0; k < count; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "/photo%04u.jpg", k);
      // Every fifth photo stands upright, as in a real photo folder.
      const bool upright = k % 5 == 4;
      const Image photo =
          MakeSamplePhoto(k + 1, upright ? height : width, upright ? width : height);
      if (!photo.SaveJpeg(folder + name, 90)) {
        std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), name);
        return 1;
      }
    }
    return 0;
  }
  if (mode == "scene" && argc == 5 && ReadNumber(argv[3], width) && ReadNumber(argv[4], height)) {
    if (!MakeSampleScene(width, height).SaveJpeg(argv[2], 95)) {
      std::fprintf(stderr, "cannot write %s\n", argv[2]);
      return 1;
    }
    return 0;
  }
  std::fprintf(stderr,
               "usage: bench_make_photos tiles FOLDER COUNT WIDTH HEIGHT\n"
               "       bench_make_photos scene FILE WIDTH HEIGHT\n");
  return 2;
}
