#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tessarix::fuzz {

// A file that the readers under test open by path; the same name is rewritten for every input so
// that a long run leaves nothing behind but one small file per process.
class ScratchFile {
 public:
  explicit ScratchFile(const char* suffix) {
    const char* tmp = std::getenv("TMPDIR");
    folder_ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tessarix-fuzz-" +
              std::to_string(getpid()) + "/";
    ::mkdir(folder_.c_str(), 0700);
    path_ = folder_ + "input" + suffix;
  }

  ~ScratchFile() {
    std::remove(path_.c_str());
    ::rmdir(folder_.c_str());
  }

  // Replaces the file's contents; false when the scratch folder cannot be written.
  bool Write(const uint8_t* data, size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr)
      return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
  }

  const std::string& Path() const { return path_; }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  std::string path_;
};

// Stops the run with a message libFuzzer keeps beside the crashing input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

}  // namespace tessarix::fuzz
