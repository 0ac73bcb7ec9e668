// The time window of a capture's download: the request's "from" and "to".
#ifndef VELORANTIS_HELPER_DOWNLOAD_TIME_WINDOW_H_
#define VELORANTIS_HELPER_DOWNLOAD_TIME_WINDOW_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "helper/frontend/request.h"
#include "helper/pcapng/packet_window.h"
#include "shared/status.h"

// Whether `request` names a window ("from" or "to" given).
bool AsksForWindow(const Request& request);

// The request's window. Fails with kInvalidFromTime or kInvalidToTime for a
// bound that is not a time, kReversedWindow when "to" comes before "from".
Status ReadTimeWindow(const Request& request, TimeWindow& window);

// A window bound for a file name: "20261208T103000Z", with the fraction
// where there is one ("20261208T103000.25Z").
std::string CompactTime(UnixNanos time);

// The file name a window of `mac`'s packets is saved under: its bounds, or
// "start" and "end" for open ones (AttachmentName).
std::string WindowAttachmentName(const std::string& mac, const TimeWindow& window);

#endif  // VELORANTIS_HELPER_DOWNLOAD_TIME_WINDOW_H_
