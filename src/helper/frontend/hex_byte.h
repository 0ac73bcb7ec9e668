// A byte as two hexadecimal digits, as every escape the program writes
// spells it: "\u00e9" in JSON, "\xe9" in the failure log, "%E9" in a path
// handed to the web server.
#ifndef VELORANTIS_HELPER_FRONTEND_HEX_BYTE_H_
#define VELORANTIS_HELPER_FRONTEND_HEX_BYTE_H_

#include <string>

enum class HexCase { kLower, kUpper };

// Appends `prefix` and the two digits of `byte`.
inline void AppendHexByte(std::string& out, const char* prefix, unsigned char byte,
                          HexCase letters = HexCase::kLower) {
  const char* digits = letters == HexCase::kLower ? "0123456789abcdef" : "0123456789ABCDEF";
  out += prefix;
  out += digits[byte >> 4];
  out += digits[byte & 15];
}

#endif  // VELORANTIS_HELPER_FRONTEND_HEX_BYTE_H_
