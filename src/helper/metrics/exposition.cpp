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

void AppendLabelValue(std::string& out, std::string_view value) {
  for (size_t start = 0;;) {
    const size_t special = value.find_first_of("\\\"\n", start);
    out.append(value.substr(start, special - start));
    if (special == std::string_view::npos) return;
    out += '\\';
    out += value[special] == '\n' ? 'n' : value[special];
    start = special + 1;
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
