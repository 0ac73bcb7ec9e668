// Handing a capture file to the web server to send itself (lighttpd's
// cgi.x-sendfile) instead of copying it through the program's output, which
// the server would copy twice more.
#ifndef VELORANTIS_HELPER_DOWNLOAD_FILE_HAND_OVER_H_
#define VELORANTIS_HELPER_DOWNLOAD_FILE_HAND_OVER_H_

#include <string>

// Whether the web server's configuration says that it sends the files the
// program names in an X-Sendfile header field: VELORANTIS_X_SENDFILE is "1".
// Only the server's configuration sets it (a request's header fields reach
// the program as HTTP_* only); a server that does not honour the field would
// pass it, and an empty body, on to the client.
bool ServerSendsFiles();

// The X-Sendfile value naming `path`, the file open as `fd`, for a server
// that percent-decodes it; empty when the program must send the file itself:
// `path` holds a byte outside printable ASCII, is not the file's canonical
// path (relative, "..", a symbolic link in any component), or no longer names
// the regular file open as `fd` (lstat, just before the answer). The server
// opens the path anew, not following links (lighttpd-conf.sh), so a link
// that takes the file's place after this check is refused there.
std::string HandOverPath(const std::string& path, int fd);

#endif  // VELORANTIS_HELPER_DOWNLOAD_FILE_HAND_OVER_H_
