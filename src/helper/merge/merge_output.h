// The merged capture's bytes on their way out: gathered into large writes,
// and packets too long for a reader's buffer copied from their file in
// pieces of the same buffer. Memory: kOutBytes.
#ifndef VELORANTIS_HELPER_MERGE_MERGE_OUTPUT_H_
#define VELORANTIS_HELPER_MERGE_MERGE_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <vector>

class MergeOutput {
 public:
  static constexpr size_t kOutBytes = 1024 * 1024;

  explicit MergeOutput(int fd);

  // False once a write has failed (the client went away): nothing more goes.
  bool Append(const uint8_t* bytes, size_t count);
  bool Append(const std::vector<uint8_t>& bytes) { return Append(bytes.data(), bytes.size()); }
  // `length` bytes of `file` from `offset`; false also when the file ends
  // before them.
  bool AppendFromFile(int file, uint64_t offset, uint64_t length);
  bool Flush();

  uint64_t sent() const { return sent_; }

 private:
  int fd_;
  std::vector<uint8_t> pending_;
  uint64_t sent_ = 0;
  bool failed_ = false;
};

#endif  // VELORANTIS_HELPER_MERGE_MERGE_OUTPUT_H_
