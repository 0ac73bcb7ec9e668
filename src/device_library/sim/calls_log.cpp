#include "calls_log.h"

#include <fcntl.h>
#include <unistd.h>

namespace velorantis::sim {

std::string FormatCall(std::string_view operation, int result, const MacAddress* mac,
                       std::string_view fields) {
  std::string line(operation);
  line += ' ';
  line += std::to_string(result);
  if (mac != nullptr) {
    line += ' ';
    line += MacWithColons(*mac);
  }
  if (!fields.empty()) {
    line += ' ';
    line += fields;
  }
  line += '\n';
  return line;
}

void AppendCall(const std::string& state_dir, std::string_view line) {
  const std::string path = state_dir + "/calls.log";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write keeps the line whole; a short write on a full disk is as much
  // as we can do and is not retried, to keep lines from splitting.
  const ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}

}  // namespace velorantis::sim
