#include "VelorantisAPI.h"
#include "helper/capture/capture_commands.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "shared/discovery.h"

namespace {

void WriteDeviceObject(std::string& out, const char* macText, const char* model) {
  out += "{\n\"mac\": \"";
  WriteJsonText(out, macText);
  out += "\",\n\"type\": \"";
  WriteJsonText(out, model);
  out += "\"\n}";
}

}  // namespace

int OutputList(std::string& out) {
  VelorantisAPIInitialize();
  waitForDevs();
  PrintResultNode(out, 0, "");
  out += ",\n\"devices\": [\n";
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  bool first = true;
  for (VelorantisAPIDeviceListNode* node = list->first; node != nullptr; node = node->next) {
    char model[kDeviceTextSize];
    char macText[kDeviceTextSize];
    if (GetDeviceInfo(node->handle, model, macText) != 0) continue;
    if (!first) out += ',';
    first = false;
    WriteDeviceObject(out, macText, model);
  }
  out += "]\n";
  VelorantisApiDeviceListFree(list);
  return 0;
}

int StopCapture(std::string& out) {
  VelorantisAPIInitialize();
  waitForDevs();
  void* handle = GetDeviceHandle(getvar("mac"));
  if (handle == NoDevice()) {
    PrintResultNode(out, -1, "Invalid MAC address");
  } else if (VelorantisAPIDiskDumpStop(handle) != 0) {
    PrintResultNode(out, -2, "Failed to stop capture");
  } else {
    PrintResultNode(out, 0, "");
  }
  return 0;
}
