// A scratch directory for one test, removed with everything in it at the end.
#ifndef VELORANTIS_TESTS_SUPPORT_TEMP_DIR_H_
#define VELORANTIS_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <string_view>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // The path of `name` inside the directory.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes `content` to `path`, replacing it; fails the test when it cannot.
void WriteFile(const std::string& path, std::string_view content);

// How many file descriptors this process has open, to show that an operation
// closed everything it opened.
size_t OpenFileCount();

#endif  // VELORANTIS_TESTS_SUPPORT_TEMP_DIR_H_
