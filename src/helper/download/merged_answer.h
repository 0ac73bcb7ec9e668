// The answer of an extraction, and of a download with a capture filter: the
// captures' packets in the window that pass the filter, merged by time into
// one pcapng file (merge/capture_merge), streamed after a header that names
// the device and the window and says how many interfaces were left out.
#ifndef VELORANTIS_HELPER_DOWNLOAD_MERGED_ANSWER_H_
#define VELORANTIS_HELPER_DOWNLOAD_MERGED_ANSWER_H_

#include <string>
#include <vector>

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "helper/pcapng/packet_window.h"

// The header field that counts the interfaces, met before the first packet
// goes out, whose link type the filter cannot be compiled for.
inline constexpr char kInterfacesLeftOutField[] = "X-Interfaces-Left-Out";

// Whether the request gives a capture filter (an empty one is none).
bool AsksForFilter(const Request& request);

// The request's filter, "" for none; kFilterTooLong past 1 KiB.
Status ReadFilter(const Request& request, std::string& filter);

// Answers with the merge of the captures open as `files` (taken over, in
// the order their packets start), named after `mac` and `window`. Reads each
// capture up to its first packet kept here, so that a filter libpcap
// cannot compile for any interface met is refused (kInvalidFilter with
// libpcap's text) before any byte goes out; `body.writer` sends the rest
// (the header alone for a HEAD request) and notes the bytes it sent.
Status AnswerMerged(const Request& request, ResponseBody& body, const std::vector<int>& files,
                    const std::string& mac, const TimeWindow& window, const std::string& filter);

// The failure nodes beside kNoPacketsInWindow: the "first" and "last"
// packet times (Unix nanoseconds; -1 for none) in seconds.
void NoteNoPackets(ResponseBody& body, int64_t first, int64_t last);

#endif  // VELORANTIS_HELPER_DOWNLOAD_MERGED_ANSWER_H_
