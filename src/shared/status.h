// What a step of a request came to: success, or the failure the request
// answers with. Every step of every command, and every storage function
// below them, returns a Status made where the failure was met, and hands a
// failure up unchanged (or as its own message, Or); the dispatcher writes it
// (the result node, and for the commands that answer with HTTP statuses the
// status). Each message text
// is written once, in the table behind MessageText.
#ifndef VELORANTIS_SHARED_STATUS_H_
#define VELORANTIS_SHARED_STATUS_H_

#include <cstdint>
#include <string>
#include <utility>

// Every answer's message. kNone is success: result 0 and the empty message.
enum class Message : uint8_t {
  kNone,
  // The request.
  kNoCommand,
  kUnknownCommand,
  kNotEnoughMemory,
  kCrossOriginRefused,
  kNoRequestedWith,
  kPermissionDenied,
  kInvalidMac,
  kInvalidDestination,
  kInvalidLoop,
  kInvalidCount,
  kInvalidSize,
  kInvalidDuration,
  kInvalidSlicing,
  kInvalidInline,
  kInvalidLimit,
  kInvalidBefore,
  kInvalidMaxBytes,
  kInvalidMinFree,
  kInvalidPinned,
  // The change lock and the device.
  kLockFileUnusable,
  kDeviceBusy,
  kFailedCaptureStatus,
  kCaptureRunning,
  kFailedSetFeatures,
  kFailedSetCaptureConfig,
  kFailedStart,
  kFailedStop,
  kFailedDeviceInfo,
  // The configuration database.
  kCannotLoadConfig,
  kCannotSaveConfig,
  // The capture folder and the ledger.
  kDestinationMissing,
  kDestinationNotWritable,
  kDestinationNotFolder,
  kFileNotRegular,
  kFileInUse,
  kCannotKeepEarlierFile,
  kLedgerUnavailable,
  kCannotLoadCaptures,
  kCaptureStillRunning,
  kCapturePinned,
  kAlreadyDeleted,
  kCannotRemoveFile,
  kRecordsTooNew,
  kNoRoom,
  // The status database.
  kCannotOpenDatabase,
  kFailedDeviceId,
  kFailedDeviceStatus,
  kFailedDeviceCaptureStatus,
  kFailedV1Statistics,
  kFailedV2Statistics,
  kFailedDevices,
  // A capture's download.
  kInvalidCaptureId,
  kNoSuchCapture,
  kLedgerUnreadable,
  kFileGone,
  kNoFile,
  kFileChanged,
  kCannotOpenFile,
  kRangeNotSatisfiable,
  kInvalidFromTime,
  kInvalidToTime,
  kReversedWindow,
  kNoPacketsInWindow,
  kNotPcapng,
  kInvalidFilter,
  kFilterTooLong,
  // The audit.
  kCannotLoadAudit,
};

// The message's text as the answer carries it; "" for kNone.
const char* MessageText(Message message);

// The answer's "result" for a failure with `message`: -1, or -2 for a stop
// the device refused.
int ResultOf(Message message);

// The HTTP status line a failure with `message` goes out with where the
// command answers with HTTP statuses (a download: "404 Not Found", ...);
// "500 Internal Server Error" for the messages that name none.
const char* HttpStatusOf(Message message);

// A step's outcome. A failure may carry the cause behind its message for the
// failure log (SQLite's error with the path, a library call's result): what
// the answer never says.
struct [[nodiscard]] Status {
  Message message = Message::kNone;
  std::string cause;
  // What the answer adds to the message's text, after ": " (libpcap's
  // account of a filter it cannot compile); empty for the text alone.
  std::string detail;

  bool ok() const { return message == Message::kNone; }

  // This failure as the step that met it answers it: with `failed` instead
  // of its message, its cause kept. Success stays success, and so do the
  // failures whose message is the same whatever step met them: memory that
  // ran out, a records database a later version made.
  Status Or(Message failed) const {
    if (ok() || message == Message::kNotEnoughMemory || message == Message::kRecordsTooNew) {
      return *this;
    }
    return Status{failed, cause, {}};
  }
};

// The failure with `message`, and `cause` when known.
inline Status Failed(Message message, std::string cause = {}) {
  return Status{message, std::move(cause), {}};
}

// The failure with `message` whose answer adds `detail` to its text.
inline Status FailedWithDetail(Message message, std::string detail) {
  return Status{message, {}, std::move(detail)};
}

// The text the answer carries for `outcome`: its message's text, then ": "
// and the detail when it has one.
std::string AnswerText(const Status& outcome);

#endif  // VELORANTIS_SHARED_STATUS_H_
