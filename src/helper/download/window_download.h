// A time window of a capture as one pcapng file: the section headers and
// interface descriptions, the blocks that describe what follows, and exactly
// the packets whose times lie in the window, in file order, streamed as the
// capture is read, in fixed memory whatever its size.
#ifndef VELORANTIS_HELPER_DOWNLOAD_WINDOW_DOWNLOAD_H_
#define VELORANTIS_HELPER_DOWNLOAD_WINDOW_DOWNLOAD_H_

#include <string>

#include "helper/download/time_window.h"
#include "helper/frontend/response.h"
#include "helper/pcapng/pcapng_blocks.h"

// Answers with the window of the capture file open as `fd` (which it takes
// over), named after `mac` and the window. Reads up to the first packet in
// the window here, so that a window without one is refused before any byte
// goes out: kNoPacketsInWindow, with the "first" and "last" packet times of
// the capture in the answer, or kNotPcapng. The rest is read and sent by
// `body.writer`, which notes the bytes it sent for the audit trail; with
// `headerOnly` (a HEAD request) it sends the header alone. The file is read
// in pieces of `readBytes` (BlockReader), which also bounds what is
// remembered of the blocks before the window.
Status AnswerWindow(ResponseBody& body, int fd, const std::string& mac, const TimeWindow& window,
                    bool headerOnly = false, uint32_t readBytes = BlockReader::kReadBytes);

#endif  // VELORANTIS_HELPER_DOWNLOAD_WINDOW_DOWNLOAD_H_
