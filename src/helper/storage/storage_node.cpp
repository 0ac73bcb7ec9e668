#include "helper/storage/storage_node.h"

#include "helper/claims/capture_room.h"
#include "helper/config/config_store.h"
#include "helper/frontend/json_text.h"
#include "helper/retention/retention.h"
#include "shared/paths.h"

namespace {

void AppendNumber(std::string& out, const char* key, int64_t value, const char* after = ", ") {
  AppendNumberMember(out, key, value);
  out += after;
}

void AppendFolder(std::string& out, const FolderSpace& space) {
  out += "{\"folder\": \"";
  WriteJsonText(out, space.folder);
  out += "\", ";
  AppendNumber(out, "bytes", space.freeBytes);
  AppendNumber(out, "total", space.totalBytes);
  AppendNumber(out, "percent", space.percentFree, "}");
}

}  // namespace

Status AppendStorageNode(std::string& out, sqlite3* ledger) {
  // The next capture's folder is watched too, before it holds a capture.
  std::string next;
  if (Status read = ConfiguredFolder(next); !read.ok()) return read;
  StorageState state;
  CaptureRoom room;
  if (Status read = ReadStorageState(ledger, {next}, state); !read.ok()) return read;
  if (Status read = RoomFor(ledger, next, room); !read.ok()) return read;
  out += "\"retention\": {";
  AppendNumber(out, "maxbytes", state.policy.maxBytes);
  AppendNumber(out, "minfree", state.policy.minFree);
  AppendNumber(out, "used", state.usedBytes);
  AppendNumber(out, "met", state.met ? 1 : 0);
  AppendNumber(out, "room", room.limited ? room.bytes : -1);
  out += "\"free\": [";
  for (size_t i = 0; i < state.folders.size(); ++i) {
    out += i > 0 ? ",\n" : "\n";
    AppendFolder(out, state.folders[i]);
  }
  out += state.folders.empty() ? "]}\n" : "\n]}\n";
  return {};
}
