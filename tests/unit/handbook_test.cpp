// The handbook's troubleshooting table has a row for every message an
// answer can carry.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "shared/status.h"

TEST(Handbook, TroubleshootingHasARowForEveryMessage) {
  std::ifstream file(std::string(VELORANTIS_SOURCE_DIR) + "/docs/operations.md");
  ASSERT_TRUE(file) << "docs/operations.md";
  std::stringstream text;
  text << file.rdbuf();
  const std::string handbook = text.str();
  for (int i = static_cast<int>(Message::kNone) + 1;
       i <= static_cast<int>(Message::kCannotLoadAudit); ++i) {
    const std::string row = std::string("\n| `") + MessageText(static_cast<Message>(i)) + "` |";
    EXPECT_NE(handbook.find(row), std::string::npos)
        << "no row for " << MessageText(static_cast<Message>(i));
  }
}
