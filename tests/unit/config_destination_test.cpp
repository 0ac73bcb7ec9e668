// Destination text: widened byte by byte, narrowed back exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helper/capture_settings/capture_settings.h"

namespace {

std::string AllNonZeroBytes() {
  std::string text;
  for (int byte = 1; byte <= 255; ++byte) text += static_cast<char>(byte);
  return text;
}

TEST(Destination, WidensEachByteToItsUnsignedValueAndNarrowsBackExactly) {
  const std::string cases[] = {
      "",
      "/data/captures",
      "/data/\xc3\xa9t\xc3\xa9",  // UTF-8
      "/data/\xff\x80\xfe",       // not UTF-8
      AllNonZeroBytes(),
      std::string(kMaxStoredDestination, 'd'),
      std::string(3 * kMaxStoredDestination, '\xe9'),
  };
  for (const std::string& text : cases) {
    const wchar_t* wide = WidenDestination(text.c_str());
    ASSERT_NE(wide, nullptr);
    for (size_t i = 0; i < text.size(); ++i) {
      ASSERT_EQ(static_cast<uint32_t>(wide[i]), static_cast<unsigned char>(text[i]))
          << "byte " << i << " of a text of " << text.size();
    }
    EXPECT_EQ(wide[text.size()], L'\0');
    EXPECT_EQ(NarrowDestination(wide), text) << "text of " << text.size() << " bytes";
  }
}

TEST(Destination, WideningStopsAtTheTextsNul) {
  const char text[] = "/a\0/b";
  const wchar_t* wide = WidenDestination(text);
  EXPECT_EQ(std::wstring(wide), L"/a");
}

TEST(Destination, EveryWideningIsANewCopyThatStaysIntact) {
  std::vector<const wchar_t*> copies;
  for (int i = 0; i < 3; ++i) {
    std::string text = "/run/" + std::to_string(i);
    copies.push_back(WidenDestination(text.c_str()));
    text.assign(text.size(), 'x');  // the copy must not share the caller's bytes
  }
  EXPECT_NE(copies[0], copies[1]);
  EXPECT_NE(copies[1], copies[2]);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(NarrowDestination(copies[i]), "/run/" + std::to_string(i));
  }
}

TEST(Destination, NarrowingRefusesCharactersThatAreNoByte) {
  const std::wstring cases[] = {
      std::wstring(L"/a") + static_cast<wchar_t>(0x100),
      std::wstring(L"/a") + static_cast<wchar_t>(0x20ac),
      std::wstring(L"/a") + static_cast<wchar_t>(-1),
  };
  for (const std::wstring& wide : cases) {
    EXPECT_EQ(NarrowDestination(wide.c_str()), std::nullopt)
        << "last character " << static_cast<int64_t>(wide.back());
  }
  EXPECT_EQ(NarrowDestination(std::wstring(1, static_cast<wchar_t>(0xff)).c_str()), "\xff");
}

}  // namespace
