// "download": the capture file of one capture ledger entry, sent as the
// body of the answer.
#ifndef VELORANTIS_HELPER_DOWNLOAD_DOWNLOAD_COMMAND_H_
#define VELORANTIS_HELPER_DOWNLOAD_DOWNLOAD_COMMAND_H_

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"

// Serves the file of ledger entry "id" (a positive decimal number), found in
// the records database; the request names no path. The file is
// opened without following a link or blocking, and must be a regular file.
// Success sets body.writer, which writes the header (application/x-pcapng,
// an attachment named by AttachmentName, Content-Length, Accept-Ranges, an
// entity tag) and the bytes the Range header, or else the variable "range"
// ("0-99", "100-", "-100"), asks for (206 with Content-Range; a range with an If-Range
// other than the file's present entity tag gets the whole file, without
// Last-Modified, never handed over), in constant memory; a HEAD
// request gets the header alone. Where the web server sends files itself
// (the request's server settings, `sendsFiles`) and the file's path allows it (HandOverPath), the
// header names the file in X-Sendfile instead, without the length, range
// and body, which the server adds; a range asked in the variable only, which
// the server does not see, still goes out through the program.
// Otherwise it fails, answered with the JSON result node under the message's
// HTTP status (AnswerForm::kHttpStatus): 404 for a bad or unknown id or a
// file that is gone or not a regular file, 416 for a range past the end
// (its "Content-Range: bytes */SIZE" left in body.headers), 500 when the
// ledger or the file cannot be read. Changes nothing.
Status DownloadCapture(const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_DOWNLOAD_DOWNLOAD_COMMAND_H_
