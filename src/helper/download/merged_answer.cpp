#include "helper/download/merged_answer.h"

#include <signal.h>

#include <memory>

#include "helper/download/capture_open.h"
#include "helper/download/time_window.h"
#include "helper/filter/packet_filter.h"
#include "helper/frontend/json_text.h"
#include "helper/merge/capture_merge.h"

namespace {

// From the handler to the writer; the filter outlives the merge that uses it.
struct MergedAnswer {
  std::unique_ptr<PacketFilter> filter;
  std::unique_ptr<CaptureMerge> merge;
  std::string header;
  bool headerOnly = false;
  int64_t* sent = nullptr;  // the audit's bytes sent
};

void WriteMerged(FILE* stream, MergedAnswer& answer) {
  signal(SIGPIPE, SIG_IGN);
  fputs(answer.header.c_str(), stream);
  fflush(stream);
  if (!answer.headerOnly) *answer.sent = static_cast<int64_t>(answer.merge->WriteTo(fileno(stream)));
  answer.merge.reset();
}

}  // namespace

bool AsksForFilter(const Request& request) {
  const char* text = KeyText(request, Key::kFilter);
  return text != nullptr && *text != '\0';
}

Status ReadFilter(const Request& request, std::string& filter) {
  filter.clear();
  if (KeyText(request, Key::kFilter) == nullptr) return {};
  const char* text = nullptr;
  if (Status read = ReadText(request, Key::kFilter, text); !read.ok()) return read;
  filter = text;
  return {};
}

Status AnswerMerged(const Request& request, ResponseBody& body, const std::vector<int>& files,
                    const std::string& mac, const TimeWindow& window, const std::string& filter) {
  auto answer = std::make_shared<MergedAnswer>();
  answer->filter = std::make_unique<PacketFilter>(filter);
  answer->merge = std::make_unique<CaptureMerge>(files, window, *answer->filter);
  if (Status checked = CheckFilter(*answer->filter); !checked.ok()) return checked;
  answer->header = "Content-type: application/x-pcapng\nContent-Disposition: attachment; filename=\"" +
                   WindowAttachmentName(mac, window) + "\"\n" + kInterfacesLeftOutField + ": " +
                   std::to_string(answer->merge->interfacesLeftOut()) + "\n\n";
  answer->headerOnly = AsksHeaderOnly(request.headers);
  answer->sent = &body.audit.bytes;
  body.writer = [answer](FILE* stream) { WriteMerged(stream, *answer); };
  return {};
}

void NoteNoPackets(ResponseBody& body, int64_t first, int64_t last) {
  AppendSecondsMember(body.failureNodes, "first", first);
  body.failureNodes += ",\n";
  AppendSecondsMember(body.failureNodes, "last", last);
}
