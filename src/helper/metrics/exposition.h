// Writing the text exposition format (version 0.0.4) that monitoring systems
// scrape: a HELP and a TYPE line per metric family, then one line per sample.
#ifndef VELORANTIS_HELPER_METRICS_EXPOSITION_H_
#define VELORANTIS_HELPER_METRICS_EXPOSITION_H_

#include <initializer_list>
#include <string>
#include <string_view>

#include "helper/frontend/json_text.h"

inline constexpr char kExpositionContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// Appends "# HELP name help" and "# TYPE name type", each with its line feed.
// `help` is fixed text without backslashes or line feeds.
void AppendFamilyHeader(std::string& out, const char* name, const char* type, const char* help);

// Appends `value` as a label value inside its double quotes (which the caller
// writes): backslash, double quote and line feed escaped as \\, \" and \n,
// valid UTF-8 as it stands. The format allows nothing else, and one model
// name with a stray byte would fail the whole scrape, so each maximal
// invalid subsequence (a byte that starts no valid sequence, or the start
// of one cut short) becomes U+FFFD, as the Unicode standard recommends.
void AppendLabelValue(std::string& out, std::string_view value);

struct Label {
  const char* name;
  std::string_view value;
};

// Appends the labels as they stand inside a sample's braces:
// name="value",... with each value escaped (AppendLabelValue), after a ","
// when `out` is not empty.
void AppendLabels(std::string& out, std::initializer_list<Label> labels);

// Appends one sample line: name{labels} value and a line feed, `labels` being
// AppendLabels' text (no braces when it is empty). Integers are written
// exactly, in plain decimal, whatever their size.
template <typename Integer>
void AppendSample(std::string& out, const char* name, std::string_view labels, Integer value) {
  out += name;
  if (!labels.empty()) {
    out += '{';
    out += labels;
    out += '}';
  }
  out += ' ';
  AppendDecimal(out, value);
  out += '\n';
}

#endif  // VELORANTIS_HELPER_METRICS_EXPOSITION_H_
