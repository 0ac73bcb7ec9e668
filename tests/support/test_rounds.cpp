#include "support/test_rounds.h"

#include <stdlib.h>

#include <charconv>
#include <cstring>

int TestRounds(int full) {
  const char* text = getenv("VELORANTIS_TEST_ROUNDS");
  if (text == nullptr) return full;
  const char* end = text + strlen(text);
  int rounds = 0;
  const auto [stop, error] = std::from_chars(text, end, rounds);
  if (error != std::errc() || stop != end || rounds <= 0) return full;
  return rounds < full ? rounds : full;
}
