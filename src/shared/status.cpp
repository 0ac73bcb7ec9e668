#include "shared/status.h"

#include <iterator>

namespace {

constexpr char kNotFound[] = "404 Not Found";
constexpr char kServerError[] = "500 Internal Server Error";
constexpr char kBadRequest[] = "400 Bad Request";

struct MessageEntry {
  Message message;
  const char* text;
  int result = -1;
  const char* httpStatus = kServerError;
};

// In the order of Message; the check below keeps it so.
constexpr MessageEntry kMessages[] = {
    {Message::kNone, "", 0, nullptr},
    {Message::kNoCommand, "No command specified"},
    {Message::kUnknownCommand, "Unknown command"},
    {Message::kNotEnoughMemory, "Not enough memory"},
    {Message::kCrossOriginRefused, "Cross-origin request refused"},
    {Message::kNoRequestedWith, "Request refused: X-Requested-With header missing"},
    {Message::kPermissionDenied, "Permission denied", -1, "403 Forbidden"},
    {Message::kInvalidMac, "Invalid MAC address"},
    {Message::kInvalidDestination, "Invalid destination value"},
    {Message::kInvalidLoop, "Invalid loop value"},
    {Message::kInvalidCount, "Invalid count value"},
    {Message::kInvalidSize, "Invalid size value"},
    {Message::kInvalidDuration, "Invalid duration value"},
    {Message::kInvalidSlicing, "Invalid slicing value"},
    {Message::kInvalidInline, "Invalid inline value"},
    {Message::kInvalidLimit, "Invalid limit value"},
    {Message::kInvalidBefore, "Invalid before value"},
    {Message::kInvalidMaxBytes, "Invalid maxbytes value"},
    {Message::kInvalidMinFree, "Invalid minfree value"},
    {Message::kInvalidPinned, "Invalid pinned value"},
    {Message::kLockFileUnusable, "Cannot open the device lock file"},
    {Message::kDeviceBusy, "Device is busy with another request"},
    {Message::kFailedCaptureStatus, "Failed to get capture status"},
    {Message::kCaptureRunning, "Capture is already running"},
    {Message::kFailedSetFeatures, "Failed to set device features"},
    {Message::kFailedSetCaptureConfig, "Failed to set capture configuration"},
    {Message::kFailedStart, "Failed to start capture"},
    {Message::kFailedStop, "Failed to stop capture", -2},
    {Message::kFailedDeviceInfo, "Failed to get device info"},
    {Message::kCannotLoadConfig, "Cannot load configuration from database"},
    {Message::kCannotSaveConfig, "Failed to save configuration in database"},
    {Message::kDestinationMissing, "Destination folder does not exist"},
    {Message::kDestinationNotWritable, "Destination folder is not writable"},
    {Message::kDestinationNotFolder, "Destination is not a folder"},
    {Message::kFileNotRegular, "Capture file is not a regular file", -1, kNotFound},
    {Message::kFileInUse, "Capture file is in use by another device"},
    {Message::kCannotKeepEarlierFile, "Failed to keep the earlier capture file"},
    {Message::kLedgerUnavailable, "Capture ledger is not available"},
    {Message::kCannotLoadCaptures, "Cannot load captures from database"},
    {Message::kCaptureStillRunning, "Capture is running"},
    {Message::kCapturePinned, "Capture is pinned"},
    {Message::kAlreadyDeleted, "Capture is already deleted"},
    {Message::kCannotRemoveFile, "Failed to remove the capture file"},
    {Message::kRecordsTooNew, "Records database is newer than this program"},
    {Message::kNoRoom, "Not enough room under the storage policy"},
    {Message::kCannotOpenDatabase, "Cannot open database"},
    {Message::kFailedDeviceId, "Failed to get device id"},
    {Message::kFailedDeviceStatus, "Failed to get device status"},
    {Message::kFailedDeviceCaptureStatus, "Failed to get device capture status"},
    {Message::kFailedV1Statistics, "Failed to get device v1 statistics"},
    {Message::kFailedV2Statistics, "Failed to get device v2 statistics"},
    {Message::kFailedDevices, "Failed to get devices"},
    {Message::kInvalidCaptureId, "Invalid capture id", -1, kNotFound},
    {Message::kNoSuchCapture, "No such capture", -1, kNotFound},
    {Message::kLedgerUnreadable, "Failed to read the capture ledger"},
    {Message::kFileGone, "Capture file is gone", -1, kNotFound},
    {Message::kNoFile, "Capture has no file", -1, kNotFound},
    {Message::kFileChanged, "Capture file has changed", -1, kNotFound},
    {Message::kCannotOpenFile, "Cannot open the capture file"},
    {Message::kRangeNotSatisfiable, "Requested range not satisfiable", -1,
     "416 Range Not Satisfiable"},
    {Message::kInvalidFromTime, "Invalid from time", -1, kBadRequest},
    {Message::kInvalidToTime, "Invalid to time", -1, kBadRequest},
    {Message::kReversedWindow, "The time range ends before it starts", -1, kBadRequest},
    {Message::kNoPacketsInWindow, "No packets in that time range", -1, "416 Range Not Satisfiable"},
    {Message::kNotPcapng, "Capture file is not pcapng"},
    {Message::kInvalidFilter, "Invalid filter", -1, kBadRequest},
    {Message::kFilterTooLong, "Filter is longer than 1024 bytes", -1, kBadRequest},
    {Message::kCannotLoadAudit, "Cannot load the audit from database"},
};

constexpr bool InMessageOrder() {
  for (size_t i = 0; i < std::size(kMessages); ++i) {
    if (static_cast<size_t>(kMessages[i].message) != i) return false;
  }
  return true;
}
static_assert(InMessageOrder() &&
                  std::size(kMessages) == static_cast<size_t>(Message::kCannotLoadAudit) + 1,
              "kMessages must list every Message in its order");

const MessageEntry& EntryOf(Message message) { return kMessages[static_cast<size_t>(message)]; }

}  // namespace

const char* MessageText(Message message) { return EntryOf(message).text; }

int ResultOf(Message message) { return EntryOf(message).result; }

const char* HttpStatusOf(Message message) { return EntryOf(message).httpStatus; }

std::string AnswerText(const Status& outcome) {
  std::string text = MessageText(outcome.message);
  if (!outcome.detail.empty()) text += ": " + outcome.detail;
  return text;
}
