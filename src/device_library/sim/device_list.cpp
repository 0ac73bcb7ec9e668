#include "device_list.h"

#include <atomic>
#include <vector>

#include "device_registry.h"
#include "devices_file.h"
#include "file_io.h"
#include "malformed_lines.h"

namespace velorantis::sim {
namespace {

std::atomic<long long> list_calls{0};

// A missing or unreadable file means no device is attached.
DevicesFile ReadDevicesFile(const std::string& path) {
  std::string text;
  if (!ReadFile(path, &text)) return {};
  DevicesFile file = ParseDevicesFile(text);
  for (const DevicesFileError& error : file.errors) ReportMalformedLine(path, error);
  return file;
}

}  // namespace

VelorantisAPIDeviceList* NewDeviceList(const std::string& state_dir) {
  const long long call = ++list_calls;
  const DevicesFile file = ReadDevicesFile(state_dir + "/devices");
  auto* list = new VelorantisAPIDeviceList{nullptr, 0};
  VelorantisAPIDeviceListNode** tail = &list->first;
  for (const DeviceEntry& entry : file.entries) {
    if (entry.appear > call) continue;
    const Device* device = InternDevice(state_dir, entry);
    *tail = new VelorantisAPIDeviceListNode{nullptr, const_cast<Device*>(device)};
    tail = &(*tail)->next;
    ++list->count;
  }
  return list;
}

void DeleteDeviceList(VelorantisAPIDeviceList* list) {
  if (list == nullptr) return;
  VelorantisAPIDeviceListNode* node = list->first;
  while (node != nullptr) {
    VelorantisAPIDeviceListNode* next = node->next;
    delete node;
    node = next;
  }
  delete list;
}

void ResetListCalls() { list_calls = 0; }

}  // namespace velorantis::sim
