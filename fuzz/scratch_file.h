#pragma once
// A file for one fuzz input: the bytes are written to a file of this process (in $TMPDIR, /tmp
// when unset) whose name ends with `suffix`, which is removed, with the reports a run writes
// next to it, when the object goes.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tickcheck::fuzz {

class ScratchFile {
 public:
  ScratchFile(const uint8_t* data, size_t size, const std::string& suffix = ".txt") {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tickcheck-fuzz-" +
            std::to_string(getpid()) + suffix;
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
      std::abort();
  }
  // An empty file, for a run to write into.
  explicit ScratchFile(const std::string& suffix) : ScratchFile(&kNothing, 0, suffix) {}
  ~ScratchFile() {
    std::remove(path_.c_str());
    std::remove((path_ + "------modelInfo.txt").c_str());
    std::remove((path_ + "-----cuddManagerInfo.txt").c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Path() const { return path_; }

 private:
  static constexpr uint8_t kNothing = 0;
  std::string path_;
};

}  // namespace tickcheck::fuzz
