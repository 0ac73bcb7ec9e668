#include "helper/frontend/json_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

std::string Escaped(std::string_view text) {
  std::string out = "prefix:";
  WriteJsonText(out, text);
  return out.substr(7);
}

struct EscapeCase {
  std::string input;
  std::string expected;
};

TEST(WriteJsonText, Table) {
  const EscapeCase cases[] = {
      {"", ""},
      {"Invalid MAC address", "Invalid MAC address"},
      {"00:11:22:aa:bb:cc", "00:11:22:aa:bb:cc"},
      {"/data/captures ~!#$%&'()*+,-./;<=>?@[]^_`{|}",
       "/data/captures ~!#$%&'()*+,-./;<=>?@[]^_`{|}"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\dir", "C:\\\\dir"},
      {"a\nb\tc\rd\be\ff", "a\\nb\\tc\\rd\\be\\ff"},
      {std::string("\0", 1), "\\u0000"},
      {"\x01\x1f", "\\u0001\\u001f"},
      {"\x7f", "\\u007f"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},                        // 2-byte UTF-8
      {"\xe2\x82\xac", "\xe2\x82\xac"},                      // 3-byte
      {"\xf0\x9f\x93\xa1", "\xf0\x9f\x93\xa1"},              // 4-byte
      {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},              // U+10FFFF
      {"\xe9t\xe9", "\\u00e9t\\u00e9"},                      // Latin-1 bytes
      {"\xc3", "\\u00c3"},                                   // truncated at the end
      {"\xc3(", "\\u00c3("},                                 // bad continuation
      {"\xc0\xaf", "\\u00c0\\u00af"},                        // overlong '/'
      {"\xe0\x80\xaf", "\\u00e0\\u0080\\u00af"},             // overlong
      {"\xed\xa0\x80", "\\u00ed\\u00a0\\u0080"},             // surrogate
      {"\xf4\x90\x80\x80", "\\u00f4\\u0090\\u0080\\u0080"},  // above U+10FFFF
      {"\xf5\x80\x80\x80", "\\u00f5\\u0080\\u0080\\u0080"},
      {"\x80", "\\u0080"},  // lone continuation
      {"\xff\xfe", "\\u00ff\\u00fe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Escaped(c.input), c.expected) << "input bytes: " << testing::PrintToString(c.input);
  }
}

TEST(WriteJsonText, AppendsAfterExistingText) {
  std::string out = "\"key\": \"";
  WriteJsonText(out, "v\"");
  EXPECT_EQ(out, "\"key\": \"v\\\"");
}

TEST(AppendDecimal, WritesPlainDecimal) {
  std::string out;
  AppendDecimal(out, 0);
  out += ' ';
  AppendDecimal(out, -1);
  out += ' ';
  AppendDecimal(out, std::numeric_limits<int64_t>::min());
  out += ' ';
  AppendDecimal(out, std::numeric_limits<uint64_t>::max());
  out += ' ';
  AppendDecimal(out, uint32_t{4294967295u});
  EXPECT_EQ(out, "0 -1 -9223372036854775808 18446744073709551615 4294967295");
}

}  // namespace
