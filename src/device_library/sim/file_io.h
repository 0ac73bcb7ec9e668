// Small POSIX file helpers that retry interrupted and partial transfers.
#ifndef VELORANTIS_SIM_FILE_IO_H_
#define VELORANTIS_SIM_FILE_IO_H_

#include <string>
#include <string_view>

namespace velorantis::sim {

// Creates `path` and its missing parents, like `mkdir -p`.
bool MakeDirs(const std::string& path);

// False when the file cannot be opened or read.
bool ReadFile(const std::string& path, std::string* contents);

bool WriteAll(int fd, std::string_view data);

// Readers never see a half-written file: writes a sibling, then renames it.
bool WriteFileAtomically(const std::string& path, std::string_view data);

bool FileExists(const std::string& path);

// Opens the capture file at `path` for writing, emptied, creating it with
// mode 0644 when missing. The path is chosen by whoever asks for a capture,
// so a symbolic link there is not followed, and anything but a regular file
// (a FIFO would block the open, a device would be written to) is refused:
// -1 then, with errno set.
int OpenCaptureFile(const std::string& path);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_FILE_IO_H_
