#include "helper/merge/merge_output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

MergeOutput::MergeOutput(int fd) : fd_(fd) { pending_.reserve(kOutBytes); }

bool MergeOutput::Append(const uint8_t* bytes, size_t count) {
  if (pending_.size() + count > kOutBytes && !Flush()) return false;
  if (count > kOutBytes) {  // larger than the buffer: out at once
    for (size_t done = 0; done < count;) {
      const size_t piece = std::min(kOutBytes, count - done);
      pending_.insert(pending_.end(), bytes + done, bytes + done + piece);
      done += piece;
      if (!Flush()) return false;
    }
    return true;
  }
  pending_.insert(pending_.end(), bytes, bytes + count);
  return !failed_;
}

bool MergeOutput::AppendFromFile(int file, uint64_t offset, uint64_t length) {
  while (length > 0) {
    if (pending_.size() == kOutBytes && !Flush()) return false;
    const size_t room = kOutBytes - pending_.size();
    const size_t want = static_cast<size_t>(std::min<uint64_t>(room, length));
    const size_t start = pending_.size();
    pending_.resize(start + want);
    const ssize_t got = pread(file, pending_.data() + start, want, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) {
      pending_.resize(start);
      continue;
    }
    if (got <= 0) {
      pending_.resize(start);
      return false;
    }
    pending_.resize(start + static_cast<size_t>(got));
    offset += static_cast<uint64_t>(got);
    length -= static_cast<uint64_t>(got);
  }
  return !failed_;
}

bool MergeOutput::Flush() {
  if (failed_) return false;
  for (size_t done = 0; done < pending_.size();) {
    const ssize_t wrote = write(fd_, pending_.data() + done, pending_.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      failed_ = true;
      return false;
    }
    done += static_cast<size_t>(wrote);
    sent_ += static_cast<uint64_t>(wrote);
  }
  pending_.clear();
  return true;
}
