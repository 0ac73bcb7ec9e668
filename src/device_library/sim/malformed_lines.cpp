#include "malformed_lines.h"

#include <unistd.h>

#include <mutex>
#include <set>

namespace velorantis::sim {
namespace {

struct Reported {
  std::mutex mutex;
  std::set<std::string> lines;
};

Reported& TheReported() {
  static Reported* reported = new Reported;
  return *reported;
}

}  // namespace

void ReportMalformedLine(const std::string& path, const DevicesFileError& error) {
  const std::string message =
      "velorantis-sim: " + path + ":" + std::to_string(error.line) + ": " + error.reason + "\n";
  Reported& reported = TheReported();
  {
    std::lock_guard<std::mutex> lock(reported.mutex);
    if (!reported.lines.insert(message).second) return;
  }
  // One write, so the line stays whole next to other processes' output.
  const ssize_t ignored = write(STDERR_FILENO, message.data(), message.size());
  (void)ignored;
}

void ForgetReportedLines() {
  Reported& reported = TheReported();
  std::lock_guard<std::mutex> lock(reported.mutex);
  reported.lines.clear();
}

}  // namespace velorantis::sim
