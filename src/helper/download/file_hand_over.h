// Handing a capture file to the web server to send itself (lighttpd's
// cgi.x-sendfile) instead of copying it through the program's output, which
// the server would copy twice more.
#ifndef VELORANTIS_HELPER_DOWNLOAD_FILE_HAND_OVER_H_
#define VELORANTIS_HELPER_DOWNLOAD_FILE_HAND_OVER_H_

#include <string>

// The X-Sendfile value naming `path`, the file open as `fd`, for a server
// that percent-decodes it; empty when the program must send the file itself:
// `path` holds a byte outside printable ASCII, is not the file's canonical
// path (relative, "..", a symbolic link in any component), or no longer names
// the regular file open as `fd` (lstat, just before the answer). The server
// opens the path anew, not following links (lighttpd-conf.sh), so a link
// that takes the file's place after this check is refused there.
std::string HandOverPath(const std::string& path, int fd);

#endif  // VELORANTIS_HELPER_DOWNLOAD_FILE_HAND_OVER_H_
