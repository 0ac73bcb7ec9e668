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
// every other byte as it stands.
void AppendLabelValue(std::string& out, std::string_view value);

struct Label {
  const char* name;
  std::string_view value;
};

// Appends one sample line: name{label="value",...} value and a line feed.
// Integers are written exactly, in plain decimal, whatever their size.
template <typename Integer>
void AppendSample(std::string& out, const char* name, std::initializer_list<Label> labels,
                  Integer value) {
  out += name;
  char separator = '{';
  for (const Label& label : labels) {
    if (label.name == nullptr) continue;  // a label this sample does not have
    out += separator;
    out += label.name;
    out += "=\"";
    AppendLabelValue(out, label.value);
    out += '"';
    separator = ',';
  }
  if (separator == ',') out += '}';
  out += ' ';
  AppendDecimal(out, value);
  out += '\n';
}

#endif  // VELORANTIS_HELPER_METRICS_EXPOSITION_H_
