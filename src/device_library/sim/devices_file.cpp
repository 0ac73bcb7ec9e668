#include "devices_file.h"

#include <charconv>
#include <climits>
#include <optional>

namespace velorantis::sim {
namespace {

struct OpName {
  std::string_view name;
  FailOp op;
};

constexpr OpName kOpNames[] = {
    {"type", kFailType},     {"mac", kFailMac},       {"features", kFailFeatures},
    {"status", kFailStatus}, {"config", kFailConfig}, {"start", kFailStart},
    {"stop", kFailStop},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

std::optional<int> ParseInt(std::string_view text, int min) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < min) return std::nullopt;
  return value;
}

std::optional<unsigned> ParseOpName(std::string_view name) {
  for (const OpName& entry : kOpNames) {
    if (entry.name == name) return entry.op;
  }
  return std::nullopt;
}

// Returns the reason the option is wrong, or an empty string.
std::string ApplyFailOption(std::string_view list, DeviceEntry* entry) {
  size_t start = 0;
  while (true) {
    const size_t comma = list.find(',', start);
    const std::string_view name = list.substr(start, comma - start);
    const std::optional<unsigned> op = ParseOpName(name);
    if (!op) return "unknown operation '" + std::string(name) + "' in fail=";
    entry->fail_ops |= *op;
    if (comma == std::string_view::npos) return "";
    start = comma + 1;
  }
}

std::string ApplyOption(std::string_view option, DeviceEntry* entry) {
  constexpr std::string_view kAppear = "appear=";
  constexpr std::string_view kFail = "fail=";
  if (option.starts_with(kAppear)) {
    const std::optional<int> appear = ParseInt(option.substr(kAppear.size()), 1);
    if (!appear) return "bad number in '" + std::string(option) + "'";
    entry->appear = *appear;
    return "";
  }
  if (option.starts_with(kFail)) return ApplyFailOption(option.substr(kFail.size()), entry);
  return "unknown option '" + std::string(option) + "'";
}

// Returns the reason the line is malformed, or an empty string.
std::string ParseEntry(const std::vector<std::string_view>& fields, DeviceEntry* entry) {
  const std::optional<MacAddress> mac = ParseMac(fields[0]);
  if (!mac) return "bad MAC address '" + std::string(fields[0]) + "'";
  if (fields.size() < 2) return "missing device type";
  const std::optional<int> type = ParseInt(fields[1], INT_MIN);
  if (!type) return "bad device type '" + std::string(fields[1]) + "'";
  *entry = DeviceEntry{*mac, *type, 1, 0};
  for (size_t i = 2; i < fields.size(); ++i) {
    std::string reason = ApplyOption(fields[i], entry);
    if (!reason.empty()) return reason;
  }
  return "";
}

// A MAC names one device, so a second line for it cannot be honoured.
std::string CheckUnique(const DevicesFile& file, const std::vector<int>& lines,
                        const MacAddress& mac) {
  for (size_t i = 0; i < file.entries.size(); ++i) {
    if (file.entries[i].mac == mac) {
      return "MAC address already listed on line " + std::to_string(lines[i]);
    }
  }
  return "";
}

}  // namespace

DevicesFile ParseDevicesFile(std::string_view text) {
  DevicesFile file;
  std::vector<int> entry_lines;
  int line_number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::vector<std::string_view> fields = SplitFields(text.substr(start, end - start));
    start = end + 1;
    ++line_number;
    if (fields.empty() || fields[0].starts_with('#')) continue;
    DeviceEntry entry{};
    std::string reason = ParseEntry(fields, &entry);
    if (reason.empty()) reason = CheckUnique(file, entry_lines, entry.mac);
    if (!reason.empty()) {
      file.errors.push_back({line_number, std::move(reason)});
      continue;
    }
    file.entries.push_back(entry);
    entry_lines.push_back(line_number);
  }
  return file;
}

}  // namespace velorantis::sim
