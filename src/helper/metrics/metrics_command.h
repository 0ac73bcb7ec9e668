// The metrics command: every device's capture state and newest statistics
// in the text format monitoring systems scrape.
#ifndef VELORANTIS_HELPER_METRICS_METRICS_COMMAND_H_
#define VELORANTIS_HELPER_METRICS_METRICS_COMMAND_H_

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "shared/paths.h"

// "metrics" against the status database (program_paths.statusDb), opened as
// the status command opens it and read in one transaction, never written. On success `body` is
// the exposition text (content type "text/plain; version=0.0.4;
// charset=utf-8"). Its failures go out as status "503 Service Unavailable"
// with the reason as one line of plain text (AnswerForm::kPlainText), so
// that the scrape fails instead of storing nothing. The text is charged to
// the request's memory budget: past it, or when memory runs out (SQLite's
// included), it throws std::bad_alloc, answered in that same form.
Status OutputMetrics(const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_METRICS_METRICS_COMMAND_H_
