// The header fields of a capture file's download, as pure text.
#ifndef VELORANTIS_HELPER_DOWNLOAD_DOWNLOAD_HEADER_H_
#define VELORANTIS_HELPER_DOWNLOAD_DOWNLOAD_HEADER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "helper/download/byte_range.h"

// What the header says of the file besides the range.
struct DownloadedFile {
  std::string mac;       // the capture's device, as the ledger names it
  int64_t started;       // the capture's start, Unix seconds
  uint64_t size;         // bytes of the file when it was opened
  std::string tag;       // its entity tag, quotes included (FileTag)
  std::string modified;  // its modification time (HttpDate); empty for no Last-Modified
};

// The name a browser saves the capture under, "Velorantis-<MAC>-<start>.pcapng":
// the MAC's colons become '-', the start is UTC as 20261208T081455Z. Only
// letters, digits and '-' are kept of the MAC, so no ledger text can break
// out of the header's quotes or lines.
std::string AttachmentName(std::string_view mac, int64_t started);

// The same with `when` (letters, digits, '.' and '-' only) in place of the
// start: a time window's bounds.
std::string AttachmentName(std::string_view mac, std::string_view when);

// `seconds` since the epoch as an HTTP date, "Tue, 08 Dec 2026 08:14:55 GMT".
// Taken apart without time_t, which is 32 bits on the appliance; a time
// before 1970 or after 9999 reads as the nearer of the two ends.
std::string HttpDate(int64_t seconds);

// A strong entity tag for the file's present content: it changes whenever
// the file is replaced, grows or is written (inode, size, modification time
// in nanoseconds), so a resumed download never joins two different files.
std::string FileTag(uint64_t inode, uint64_t size, int64_t modifiedSeconds, int64_t nanoseconds);

// The CGI header of a 200 (kWhole) or 206 (kPart) answer carrying `range`
// of `file`, the empty line after it included. The Status line, when there
// is one, comes first: BusyBox httpd reads it there only.
std::string DownloadHeader(const DownloadedFile& file, const ByteRange& range);

// The CGI header of a download the web server sends itself, from the file
// `serverPath` names in the X-Sendfile field (HandOverPath): the fields of
// DownloadHeader but the status, the length and the range, which the server
// sets from the file and the request, the empty line after it included.
std::string HandOverHeader(const DownloadedFile& file, std::string_view serverPath);

#endif  // VELORANTIS_HELPER_DOWNLOAD_DOWNLOAD_HEADER_H_
