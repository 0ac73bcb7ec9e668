#include "helper/metrics/exposition.h"

void AppendFamilyHeader(std::string& out, const char* name, const char* type, const char* help) {
  out += "# HELP ";
  out += name;
  out += ' ';
  out += help;
  out += "\n# TYPE ";
  out += name;
  out += ' ';
  out += type;
  out += '\n';
}

namespace {

// The UTF-8 sequence at the start of some text: `length` bytes, which form
// one character when `valid`; otherwise they are the longest start of a
// valid sequence there (at least the one byte), to be replaced as a whole.
struct Utf8Sequence {
  size_t length;
  bool valid;
};

// Valid sequences are complete and in their shortest form, encode no
// surrogate and nothing above U+10FFFF: the lead byte sets the length and
// the range of the second byte, every later byte is 0x80-0xBF.
Utf8Sequence NextSequence(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead < 0x80) return {1, true};
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0) return {1, false};
  if (lead == 0xE0) low = 0xA0;   // shorter forms
  if (lead == 0xED) high = 0x9F;  // surrogates
  if (lead == 0xF0) low = 0x90;   // shorter forms
  if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  size_t taken = 1;
  while (taken < length && taken < text.size() && byte(taken) >= low && byte(taken) <= high) {
    ++taken;
    low = 0x80, high = 0xBF;
  }
  return {taken, taken == length};
}

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

void AppendLabelValue(std::string& out, std::string_view value) {
  while (!value.empty()) {
    const Utf8Sequence sequence = NextSequence(value);
    const char c = value[0];
    if (!sequence.valid) {
      out += kReplacement;
    } else if (c == '\\' || c == '"' || c == '\n') {
      out += '\\';
      out += c == '\n' ? 'n' : c;
    } else {
      out.append(value.substr(0, sequence.length));
    }
    value.remove_prefix(sequence.length);
  }
}

void AppendLabels(std::string& out, std::initializer_list<Label> labels) {
  for (const Label& label : labels) {
    if (!out.empty()) out += ',';
    out += label.name;
    out += "=\"";
    AppendLabelValue(out, label.value);
    out += '"';
  }
}
