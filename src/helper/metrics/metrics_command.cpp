#include "helper/metrics/metrics_command.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "helper/frontend/memory_budget.h"
#include "helper/metrics/device_figures.h"
#include "helper/metrics/exposition.h"
#include "helper/metrics/metric_families.h"
#include "helper/metrics/storage_metrics.h"
#include "shared/sqlite_handles.h"
#include "shared/status_db.h"
#include "shared/transaction.h"

namespace {

constexpr const char* kPortNames[kPortCount] = {"1", "2"};
constexpr const char* kVersionNames[kStatsVersions] = {"1", "2"};

int FindKey(std::span<const char* const> keys, std::string_view key) {
  const auto found = std::find(keys.begin(), keys.end(), key);
  return found == keys.end() ? -1 : static_cast<int>(found - keys.begin());
}

// A device's figures with its labels escaped once: mac and model alone,
// and with each statistics version's label.
struct LabelledDevice {
  const DeviceFigures* figures;
  std::string labels;
  std::string versionLabels[kStatsVersions];
};

void WriteCaptureSamples(std::string& out, const MetricFamily& family,
                         const LabelledDevice& device) {
  if (!device.figures->capture) return;
  const int64_t* values = device.figures->capture->values;
  if (family.source == FamilySource::kCaptureRunning) {
    AppendSample(out, family.name, device.labels, values[0] == 1 ? 1 : 0);
    return;
  }
  int column = 0;
  while (std::string_view(kCaptureFields[column].key) != family.keys[0]) ++column;
  if (kCaptureFields[column].isSigned) {
    AppendSample(out, family.name, device.labels, values[column]);
  } else {
    AppendSample(out, family.name, device.labels, static_cast<uint64_t>(values[column]));
  }
}

void WriteSampleTime(std::string& out, const MetricFamily& family, const LabelledDevice& device) {
  bool any = false;
  int64_t newest = 0;
  for (const NewestSample& sample : device.figures->samples) {
    if (!sample.present) continue;
    const auto date = static_cast<int64_t>(sample.series[0]);
    newest = any ? std::max(newest, date) : date;
    any = true;
  }
  if (any) AppendSample(out, family.name, device.labels, newest);
}

// The family's series of one table's newest sample; nothing when the table
// has no such series.
void WriteStatsSamples(std::string& out, const MetricFamily& family, const LabelledDevice& device,
                       int version) {
  const NewestSample& sample = device.figures->samples[version];
  if (!sample.present || (family.firstTableOnly && version != 0)) return;
  const StatsTable& table = StatsTableOf(version);
  const std::string& labels = device.versionLabels[version];
  if (family.source == FamilySource::kDeviceStat) {
    const int key = FindKey(table.deviceKeys, family.keys[0]);
    if (key >= 0) AppendSample(out, family.name, labels, sample.series[key]);
    return;
  }
  const bool sized = family.keys[1] != nullptr;
  std::string portLabels;
  for (int port = 0; port < kPortCount; ++port) {
    const size_t first = table.deviceKeys.size() + port * table.portKeys.size();
    for (const char* name : family.keys) {
      if (name == nullptr) break;
      const int key = FindKey(table.portKeys, name);
      if (key < 0) continue;
      portLabels = labels;
      AppendLabels(portLabels, {{"port", kPortNames[port]}});
      if (sized) AppendLabels(portLabels, {{"size", name}});
      AppendSample(out, family.name, portLabels, sample.series[first + key]);
    }
  }
}

std::vector<LabelledDevice> LabelDevices(const std::vector<DeviceFigures>& devices) {
  ChargeAnswerBytes(devices.size() * sizeof(LabelledDevice));
  std::vector<LabelledDevice> labelled(devices.size());
  for (size_t i = 0; i < devices.size(); ++i) {
    LabelledDevice& device = labelled[i];
    device.figures = &devices[i];
    AppendLabels(device.labels, {{"mac", devices[i].mac}, {"model", devices[i].model}});
    ChargeAnswerBytes(device.labels.capacity());
    for (int version = 0; version < kStatsVersions; ++version) {
      device.versionLabels[version] = device.labels;
      AppendLabels(device.versionLabels[version], {{"version", kVersionNames[version]}});
      ChargeAnswerBytes(device.versionLabels[version].capacity());
    }
  }
  return labelled;
}

// The text is charged to the request's budget before it grows: room for the
// next step (a family's header, or one device's samples of one family) is
// reserved ahead, doubling, so a fleet whose text passes the budget fails
// before the text takes the memory. kTextRoom holds a step's lines but for
// the device's labels, which each of its lines repeats; a step that went
// past its room all the same is charged after it.
constexpr size_t kTextRoom = 64 * 1024;
constexpr size_t kMaxStepLines = kStatsVersions * kPortCount * std::size(MetricFamily{}.keys);

void ChargeGrowth(const std::string& out, size_t& charged) {
  if (out.capacity() <= charged) return;
  ChargeAnswerBytes(out.capacity() - charged);
  charged = out.capacity();
}

void KeepTextRoom(std::string& out, size_t& charged, size_t labelBytes = 0) {
  ChargeGrowth(out, charged);
  const size_t room = kTextRoom + kMaxStepLines * labelBytes;
  if (out.capacity() - out.size() >= room) return;
  const size_t wanted = std::max(2 * out.capacity(), out.size() + room);
  ChargeAnswerBytes(wanted - charged);
  charged = wanted;
  out.reserve(wanted);
}

void WriteMetrics(std::string& out, const std::vector<DeviceFigures>& figures) {
  const std::vector<LabelledDevice> devices = LabelDevices(figures);
  size_t charged = 0;
  for (const MetricFamily& family : MetricFamilies()) {
    KeepTextRoom(out, charged);
    AppendFamilyHeader(out, family.name, family.type, family.help);
    for (const LabelledDevice& device : devices) {
      KeepTextRoom(out, charged, device.versionLabels[0].size());
      switch (family.source) {
        case FamilySource::kCaptureRunning:
        case FamilySource::kCapture:
          WriteCaptureSamples(out, family, device);
          break;
        case FamilySource::kSampleTime:
          WriteSampleTime(out, family, device);
          break;
        case FamilySource::kDeviceStat:
        case FamilySource::kPortStat:
          for (int version = 0; version < kStatsVersions; ++version) {
            WriteStatsSamples(out, family, device, version);
          }
          break;
      }
    }
  }
  ChargeGrowth(out, charged);
}

// Every read in one transaction, so all devices' figures come from one state
// of the file; a failed read is rolled back.
Status ReadInTransaction(sqlite3* db, std::vector<DeviceFigures>& devices) {
  return InReadTransaction(db, Message::kCannotOpenDatabase,
                           [&] { return ReadDeviceFigures(db, devices); });
}

}  // namespace

Status OutputMetrics(const Request&, ResponseBody& body) {
  const char* statusDb = program_paths.statusDb;
  Connection db;
  if (Status opened =
          OpenDatabase(statusDb, DatabaseUse::kStatusReader, Message::kCannotOpenDatabase, db);
      !opened.ok()) {
    return opened;
  }
  std::vector<DeviceFigures> devices;
  Status read = ReadInTransaction(db.get(), devices);
  db.reset();
  if (!read.ok()) return read;
  body.contentType = kExpositionContentType;
  WriteMetrics(body.text, devices);
  return AppendStorageMetrics(body.text);
}
