#include "helper/frontend/roles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "shared/paths.h"
#include "support/temp_dir.h"

// Each file and user: the role granted, or the damage that grants nothing
// (a part of its text; "" when the file was understood).
TEST(AccessIn, RolesFileLines) {
  constexpr char kFile[] =
      "# who may do what\n"
      "alice admin\n"
      "\tbob   operator   # on call\r\n"
      "\n"
      "* viewer\n";
  constexpr Role none = Role::kNone;
  struct Case {
    const char* text;
    const char* user;
    Role role;
    const char* damage;
  } const cases[] = {
      {kFile, "alice", Role::kAdmin, ""},
      {kFile, "bob", Role::kOperator, ""},
      {kFile, "carol", Role::kViewer, ""},  // any other login: "*"
      {kFile, "*", Role::kViewer, ""},      // a user named like the wildcard is just a user
      {kFile, "", none, ""},                // no login and no "-" line
      {"- viewer\n* operator\n", "", Role::kViewer, ""},
      {"- viewer\n* operator\n", "-", Role::kOperator, ""},
      {"alice admin", "alice", Role::kAdmin, ""},  // no final line feed
      {"", "alice", none, ""},
      {"Alice admin\n", "alice", none, ""},  // names are compared exactly
      {"alice admin\nbob superuser\n", "alice", none, "line 2: unknown role \"superuser\""},
      {"alice\n", "alice", none, "line 1: not \"NAME ROLE\""},
      {"alice viewer\n\nalice admin\n", "alice", none, "line 3: \"alice\" named twice"},
      {"* viewer\n* admin\n", "bob", none, "line 2: \"*\" named twice"},
  };
  for (const Case& c : cases) {
    const Access access = AccessIn(c.text, c.user, "/etc/roles");
    const std::string where = std::string("file \"") + c.text + "\", user \"" + c.user + "\"";
    EXPECT_TRUE(access.configured) << where;
    EXPECT_EQ(access.role, c.role) << where;
    if (*c.damage == '\0') {
      EXPECT_EQ(access.damage, "") << where;
    } else {
      EXPECT_NE(access.damage.find(std::string("/etc/roles ") + c.damage), std::string::npos)
          << where << ": " << access.damage;
    }
  }
}

// What stands at the roles file's path: only no entry at all means no roles;
// anything that is no readable regular file grants nothing, at once.
TEST(AccessFromFile, RolesPathKinds) {
  const TempDir dir;
  const std::string path = dir.File("roles");
  // A comment to make it `size` bytes long, then a role.
  const auto ofSize = [](size_t size) {
    return '#' + std::string(size - 13, ' ') + "\n- operator\n";
  };
  const struct Case {
    const char* kind;
    std::function<int()> make;  // 0 once made
    Role role;                  // kAdmin: no roles configured
  } cases[] = {
      {"nothing", [] { return 0; }, Role::kAdmin},
      {"a link to a regular file",
       [&] { return WriteFile(dir.File("real"), "- operator\n"), symlink("real", path.c_str()); },
       Role::kOperator},
      {"a link to nothing", [&] { return symlink("absent", path.c_str()); }, Role::kNone},
      {"a FIFO", [&] { return mkfifo(path.c_str(), 0600); }, Role::kNone},
      {"a folder", [&] { return mkdir(path.c_str(), 0700); }, Role::kNone},
      {"a device", [&] { return symlink("/dev/zero", path.c_str()); }, Role::kNone},
      {"a file of 64 KiB", [&] { return WriteFile(path, ofSize(65536)), 0; }, Role::kOperator},
      {"a file one byte longer", [&] { return WriteFile(path, ofSize(65537)), 0; }, Role::kNone},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(path);
    ASSERT_EQ(c.make(), 0) << c.kind;
    const Access access = AccessFromFile(path.c_str(), "");
    EXPECT_EQ(access.configured, c.role != Role::kAdmin) << c.kind;
    EXPECT_EQ(access.role, c.role) << c.kind;
    EXPECT_EQ(access.damage.empty(), c.role != Role::kNone) << c.kind << ": " << access.damage;
  }
}
