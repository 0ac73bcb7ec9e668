// What the web server's configuration tells the program, and what the
// request's header fields say. A request's own header fields reach a CGI
// program as HTTP_* variables only, so no request can set a server setting.
#ifndef VELORANTIS_HELPER_FRONTEND_SERVER_SETTINGS_H_
#define VELORANTIS_HELPER_FRONTEND_SERVER_SETTINGS_H_

struct ServerSettings {
  // VELORANTIS_ORIGIN_CHECK set and not empty: strict origin checks ("strict"
  // is the documented value; any other text turns them on as well, so that
  // a misspelt setting never weakens the check).
  bool strictOrigin = false;
  // VELORANTIS_X_SENDFILE is "1": the server sends a file the program names
  // in an X-Sendfile header field itself (lighttpd's cgi.x-sendfile).
  bool sendsFiles = false;
};

// The method and the header fields the program reads, each null when the
// request has none.
struct RequestHeaders {
  const char* method = nullptr;         // REQUEST_METHOD
  const char* range = nullptr;          // HTTP_RANGE
  const char* ifRange = nullptr;        // HTTP_IF_RANGE
  const char* secFetchSite = nullptr;   // HTTP_SEC_FETCH_SITE
  const char* origin = nullptr;         // HTTP_ORIGIN
  const char* host = nullptr;           // HTTP_HOST
  const char* requestedWith = nullptr;  // HTTP_X_REQUESTED_WITH
};

#endif  // VELORANTIS_HELPER_FRONTEND_SERVER_SETTINGS_H_
