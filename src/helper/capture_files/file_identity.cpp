#include "helper/capture_files/file_identity.h"

FileIdentity IdentityOf(const struct stat& info) {
  return FileIdentity{
      static_cast<int64_t>(info.st_dev), static_cast<int64_t>(info.st_ino),
      static_cast<int64_t>(info.st_size),
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

FileIdentity InodeOf(const FileIdentity& file) { return {file.device, file.inode, -1, -1}; }

std::optional<FileIdentity> RegularFileAt(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return IdentityOf(info);
}

bool IsKnown(const FileIdentity& file) { return file.device != 0 || file.inode != 0; }

bool IsRecordedFile(const FileIdentity& recorded, const struct stat& info) {
  const FileIdentity file = IdentityOf(info);
  return IsKnown(recorded) && file.device == recorded.device && file.inode == recorded.inode &&
         (recorded.size < 0 || file.size == recorded.size) &&
         (recorded.modified < 0 || file.modified == recorded.modified);
}
