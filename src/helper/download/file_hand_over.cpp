#include "helper/download/file_hand_over.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "helper/frontend/hex_byte.h"

namespace {

// Letters, digits and "/._-~" as they are, every other byte as %XX: the
// server's decoding gives the path back byte for byte ("%41" in a file name
// stays "%41"), and no byte can end the header line.
std::string PercentEncoded(const std::string& path) {
  std::string text;
  for (const unsigned char c : path) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c != '\0' && strchr("/._-~", c) != nullptr);
    if (plain) {
      text += static_cast<char>(c);
    } else {
      AppendHexByte(text, "%", c, HexCase::kUpper);
    }
  }
  return text;
}

// Whether `path` is what realpath makes of it: absolute, without "." or ".."
// and without a symbolic link anywhere, so that a server that refuses to
// follow links still opens it.
bool IsCanonical(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  const bool same = resolved != nullptr && path == resolved;
  free(resolved);
  return same;
}

}  // namespace

std::string HandOverPath(const std::string& path, int fd) {
  // lighttpd refuses a name that is not UTF-8 once decoded; printable ASCII
  // is all a capture folder of the device's needs.
  for (const unsigned char c : path) {
    if (c < 0x20 || c > 0x7e) return "";
  }
  struct stat named {};
  struct stat opened {};
  if (!IsCanonical(path) || lstat(path.c_str(), &named) != 0 || fstat(fd, &opened) != 0 ||
      !S_ISREG(named.st_mode) || named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) {
    return "";
  }
  return PercentEncoded(path);
}
