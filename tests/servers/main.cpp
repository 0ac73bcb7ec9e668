// The servers suite's entry. Started as root (as CI runs), it first becomes
// www-data, the account Debian's web servers serve as, so the servers, their
// CGI program and the stand-in status daemon all run as one unprivileged
// account, as on a host: Apache httpd refuses to run its children as root.
// The databases' folder and the device lock file are handed to that
// account beforehand.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "shared/paths.h"

namespace {

bool BecomeWebAccount() {
  const passwd* account = getpwnam("www-data");
  if (account == nullptr) {
    fprintf(stderr, "no account www-data to run the servers as\n");
    return false;
  }
  for (const char* database : {kConfigDatabasePath, kStatusDatabasePath}) {
    const std::filesystem::path folder = std::filesystem::path(database).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (chown(folder.c_str(), account->pw_uid, account->pw_gid) != 0) {
      perror(folder.c_str());
      return false;
    }
  }
  // Left by the tests run as root before; the program must open it to start.
  if (chown(kDeviceLockPath, account->pw_uid, account->pw_gid) != 0 && errno != ENOENT) {
    perror(kDeviceLockPath);
    return false;
  }
  if (setgroups(0, nullptr) != 0 || setgid(account->pw_gid) != 0 || setuid(account->pw_uid) != 0) {
    perror("www-data");
    return false;
  }
  for (const char* path : {VELORANTIS_CGI_PATH, VELORANTIS_SOURCE_DIR "/scripts/serve.sh"}) {
    if (access(path, R_OK) != 0) {
      fprintf(stderr, "www-data cannot reach %s: every folder above it must be open to it\n", path);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (geteuid() == 0 && !BecomeWebAccount()) return 1;
  return RUN_ALL_TESTS();
}
