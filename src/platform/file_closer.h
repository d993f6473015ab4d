#pragma once

#include <cstdio>

namespace tessarix {

// Lets a std::unique_ptr<std::FILE, FileCloser> own a stdio stream and close it.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace tessarix
