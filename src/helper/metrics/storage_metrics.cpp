#include "helper/metrics/storage_metrics.h"

#include "helper/capture_ends/capture_ends.h"
#include "helper/config/config_store.h"
#include "helper/frontend/memory_budget.h"
#include "helper/metrics/exposition.h"
#include "helper/records_db/records_db.h"

namespace {

struct Gauge {
  const char* name;
  const char* help;
  int64_t value;
};

std::string_view FolderLabel(const FolderSpace& space) { return space.folder; }
std::string_view ReasonLabel(const RemovalCount& count) { return ReasonName(count.reason); }

// A family of one sample per row, labelled `label` with what `labelOf`
// gives of the row.
template <typename Row>
void AppendFamily(std::string& out, const char* name, const char* type, const char* help,
                  const std::vector<Row>& rows, const char* label,
                  std::string_view (*labelOf)(const Row&), int64_t Row::*value) {
  AppendFamilyHeader(out, name, type, help);
  std::string labels;
  for (const Row& row : rows) {
    labels.clear();
    AppendLabels(labels, {{label, labelOf(row)}});
    AppendSample(out, name, labels, row.*value);
  }
}

}  // namespace

void WriteStorageMetrics(std::string& out, const StorageState& state,
                         const std::vector<RemovalCount>& removals) {
  const Gauge gauges[] = {
      {"velorantis_storage_used_bytes",
       "Bytes the ledger's capture files hold: ended captures' as recorded, running ones' at "
       "their size limits (now, without one).",
       state.usedBytes},
      {"velorantis_storage_quota_bytes", "The retention policy's quota in bytes; 0: none.",
       state.policy.maxBytes},
      {"velorantis_storage_min_free_percent",
       "The retention policy's free-space floor in percent of each capture folder's file "
       "system; 0: none.",
       state.policy.minFree},
      {"velorantis_storage_policy_met",
       "1 while the capture files are within the retention policy, 0 while they are not.",
       state.met ? 1 : 0},
  };
  for (const Gauge& gauge : gauges) {
    AppendFamilyHeader(out, gauge.name, "gauge", gauge.help);
    AppendSample(out, gauge.name, "", gauge.value);
  }
  AppendFamily(out, "velorantis_storage_free_bytes", "gauge",
               "Bytes still free to the capture folder's writer on its file system.", state.folders,
               "folder", FolderLabel, &FolderSpace::freeBytes);
  AppendFamily(out, "velorantis_storage_size_bytes", "gauge",
               "Bytes of the capture folder's file system.", state.folders, "folder", FolderLabel,
               &FolderSpace::totalBytes);
  AppendFamily(out, "velorantis_storage_removals_total", "counter",
               "Capture files removed, by reason: quota, minfree (the retention policy) or "
               "delete (a request).",
               removals, "reason", ReasonLabel, &RemovalCount::removals);
  AppendFamily(out, "velorantis_storage_removed_bytes_total", "counter",
               "Bytes of the capture files removed, by reason.", removals, "reason", ReasonLabel,
               &RemovalCount::bytes);
}

Status AppendStorageMetrics(std::string& out) {
  Connection ledger;
  std::string next;
  StorageState state;
  std::vector<RemovalCount> removals;
  Status read = OpenRecords(DatabaseUse::kReader, ledger);
  if (read.ok()) read = ConfiguredFolder(next);
  if (read.ok()) read = ReadStorageState(ledger.get(), {next}, state);
  if (read.ok()) read = RemovalCounts(ledger.get(), removals);
  // A ledger that cannot be read leaves its families out of the answer.
  if (!read.ok()) return read.message == Message::kNotEnoughMemory ? read : Status{};
  const size_t before = out.capacity();
  WriteStorageMetrics(out, state, removals);
  if (out.capacity() > before) ChargeAnswerBytes(out.capacity() - before);
  return {};
}
