#include "helper/metrics/storage_metrics.h"

#include "helper/frontend/memory_budget.h"
#include "helper/ledger/records_db.h"
#include "helper/metrics/exposition.h"

namespace {

struct Gauge {
  const char* name;
  const char* help;
  int64_t value;
};

void AppendFolderGauge(std::string& out, const char* name, const char* help,
                       const std::vector<FolderSpace>& folders, int64_t FolderSpace::*value) {
  AppendFamilyHeader(out, name, "gauge", help);
  std::string labels;
  for (const FolderSpace& space : folders) {
    labels.clear();
    AppendLabels(labels, {{"folder", space.folder}});
    AppendSample(out, name, labels, space.*value);
  }
}

void AppendRemovalCounter(std::string& out, const char* name, const char* help,
                          const std::vector<RemovalCount>& removals, int64_t RemovalCount::*value) {
  AppendFamilyHeader(out, name, "counter", help);
  std::string labels;
  for (const RemovalCount& count : removals) {
    labels.clear();
    AppendLabels(labels, {{"reason", ReasonName(count.reason)}});
    AppendSample(out, name, labels, count.*value);
  }
}

}  // namespace

void WriteStorageMetrics(std::string& out, const StorageState& state,
                         const std::vector<RemovalCount>& removals) {
  const Gauge gauges[] = {
      {"velorantis_storage_used_bytes",
       "Bytes the ledger's capture files hold: ended captures' as recorded, running ones' now.",
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
  AppendFolderGauge(out, "velorantis_storage_free_bytes",
                    "Bytes still free to the capture folder's writer on its file system.",
                    state.folders, &FolderSpace::freeBytes);
  AppendFolderGauge(out, "velorantis_storage_size_bytes",
                    "Bytes of the capture folder's file system.", state.folders,
                    &FolderSpace::totalBytes);
  AppendRemovalCounter(out, "velorantis_storage_removals_total",
                       "Capture files removed, by reason: quota, minfree (the retention "
                       "policy) or delete (a request).",
                       removals, &RemovalCount::removals);
  AppendRemovalCounter(out, "velorantis_storage_removed_bytes_total",
                       "Bytes of the capture files removed, by reason.", removals,
                       &RemovalCount::bytes);
}

void AppendStorageMetrics(std::string& out) {
  OpenFailure failure;
  const Connection ledger = OpenRecords(DatabaseUse::kReader, failure);
  if (!ledger) return;
  const std::optional<StorageState> state = ReadStorageState(ledger.get(), {});
  const std::optional<std::vector<RemovalCount>> removals = RemovalCounts(ledger.get());
  if (!state || !removals) return;
  const size_t before = out.capacity();
  WriteStorageMetrics(out, *state, *removals);
  if (out.capacity() > before) ChargeAnswerBytes(out.capacity() - before);
}
