// Why a request failed. An answer says only a fixed message ("Cannot load
// configuration from database"); the cause behind it (SQLite's error and the
// file, the system's errno and the path, the device library's operation and
// its result) is recorded where the failure is met, and the dispatcher
// writes one line per failed request on standard error, which every web
// server keeps in its error log. A request that succeeds writes nothing.
#ifndef VELORANTIS_HELPER_FRONTEND_FAILURE_LOG_H_
#define VELORANTIS_HELPER_FRONTEND_FAILURE_LOG_H_

#include <cstdio>
#include <string>

#include "helper/frontend/request.h"

// The cause of a "Not enough memory".
inline constexpr char kOutOfMemoryCause[] =
    "out of memory: the answer passed the request's memory budget";

// Records `cause` unless one is recorded already: the first failure decided
// the answer, and what fails after it (a rollback, say) follows from it.
void RecordFailureCause(std::string cause);

// The causes, as the failure log words them.

// `operation` ("open", "flock") on `path` failed with `error` (an errno).
std::string ErrnoCause(const char* operation, const char* path, int error);

// The device library's `operation` returned `result` (not 0).
std::string LibraryCause(const char* operation, long long result);

// Notes that the answer failed with `result` and `message`; FinishAnswer
// calls it for every failure.
void NoteFailedAnswer(int result, const char* message);

// Notes a failure that does not change the answer (its audit entry could not
// be written, a file the policy removes stays): the next WriteFailureLine
// says so, with the answer's result, `message` and `cause`.
void NoteSideFailure(const char* message, std::string cause);

// When a failed answer was noted, writes on `stream`, in one write, the line
//   TIME velorantis: command="C" mac="M" result=R message="TEXT" cause="..."
//   remote_user="U" remote_addr="A"
// (one line; TIME in UTC as 2026-12-08T09:30:00Z; the MAC text as the
// request gave it; cause, remote_user and remote_addr only when known or
// set: the request's own). Bytes outside printable ASCII, '"' and '\' in a value are written as
// \xHH, \" and \\, so a request cannot forge lines. The line, its line feed
// included, is at most 4096 bytes (PIPE_BUF), so that through a pipe it
// never mixes with another request's line: when the values do not fit, the
// longest are cut (never inside an escape) to equal shares of the room the
// others leave, and end in "...[cut]" inside their quotes. Nothing
// otherwise.
void WriteFailureLine(FILE* stream, const Request& request);

// Forgets the noted answer and cause (for a second request in one process).
void ForgetFailure();

#endif  // VELORANTIS_HELPER_FRONTEND_FAILURE_LOG_H_
