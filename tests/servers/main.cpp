// The servers suite's entry. Started as root (as CI runs), it first becomes
// www-data, the account Debian's web servers serve as, so the servers, their
// CGI program and the stand-in status daemon all run as one unprivileged
// account, as on a host: Apache httpd refuses to run its children as root.
// A checkout may lie in a folder closed to that account (root's home, a
// mktemp -d folder), so what it runs and reads is copied first into a folder
// of its own under /tmp (VELORANTIS_TEST_STAGE, see StagedPath). The
// databases' folder and the device lock file are handed to it too; the
// database paths are built into the program, so their folder must be one
// the account can pass through.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "shared/paths.h"

namespace fs = std::filesystem;

namespace {

// Copies the programs, the device library, the scripts and the schemas into
// a new folder every account can pass through, owned by `account` so that
// it can remove it, and points the tests and the programs' loader there.
bool Stage(const passwd& account) {
  std::string stage = "/tmp/velorantis-servers-XXXXXX";
  if (mkdtemp(stage.data()) == nullptr || chmod(stage.c_str(), 0755) != 0) {
    perror(stage.c_str());
    return false;
  }
  setenv("VELORANTIS_TEST_STAGE", stage.c_str(), 1);  // removed at the end
  std::error_code error;
  const auto copy = [&](const fs::path& from, const std::string& to) {
    if (!error) fs::copy(from, stage + "/" + to, fs::copy_options::recursive, error);
  };
  copy(VELORANTIS_CGI_PATH, "velorantis-helper");
  copy(VELORANTIS_STATUSD_SIM_PATH, "velorantis-statusd-sim");
  copy(VELORANTIS_SOURCE_DIR "/scripts", "scripts");
  copy(VELORANTIS_SOURCE_DIR "/schema", "schema");
  if (!error) fs::create_directories(stage + "/lib", error);
  copy(VELORANTIS_API_LIBRARY_PATH, "lib/" VELORANTIS_API_LIBRARY_NAME);
  if (!error) fs::create_directories(stage + "/tmp", error);
  for (auto entry = fs::recursive_directory_iterator(stage, error);
       !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    if (lchown(entry->path().c_str(), account.pw_uid, account.pw_gid) != 0) {
      error = std::error_code(errno, std::generic_category());
    }
  }
  if (error || chown(stage.c_str(), account.pw_uid, account.pw_gid) != 0) {
    fprintf(stderr, "cannot copy the programs into %s: %s\n", stage.c_str(),
            error.message().c_str());
    return false;
  }
  setenv("TMPDIR", (stage + "/tmp").c_str(), 1);
  setenv("LD_LIBRARY_PATH", (stage + "/lib").c_str(), 1);
  return true;
}

bool BecomeWebAccount() {
  const passwd* account = getpwnam("www-data");
  if (account == nullptr) {
    fprintf(stderr, "no account www-data to run the servers as\n");
    return false;
  }
  for (const char* database : {kConfigDatabasePath, kStatusDatabasePath}) {
    const fs::path folder = fs::path(database).parent_path();
    std::error_code error;
    fs::create_directories(folder, error);
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
  if (!Stage(*account)) return false;
  if (setgroups(0, nullptr) != 0 || setgid(account->pw_gid) != 0 || setuid(account->pw_uid) != 0) {
    perror("www-data");
    return false;
  }
  for (const char* database : {kConfigDatabasePath, kStatusDatabasePath}) {
    const std::string folder = fs::path(database).parent_path();
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
      fprintf(stderr,
              "www-data cannot reach the databases' folder %s, which is built into the "
              "program: point VELORANTIS_CONFIG_DB and VELORANTIS_STATUS_DB into a folder "
              "every account can pass through (scripts/test.sh uses one under /tmp)\n",
              folder.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Listing the tests (CTest's discovery) needs no server.
  const bool ready = GTEST_FLAG_GET(list_tests) || geteuid() != 0 || BecomeWebAccount();
  const int status = ready ? RUN_ALL_TESTS() : 1;
  if (const char* stage = getenv("VELORANTIS_TEST_STAGE")) {
    std::error_code ignored;
    fs::remove_all(stage, ignored);
  }
  return status;
}
