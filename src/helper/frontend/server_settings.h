// What the web server's configuration tells the program, and what the
// request's header fields say: the environment is read here, in the front
// end, and nowhere below it. A request's own header fields reach a CGI
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

// The settings of this request's server, read by ReadServerSettings.
inline ServerSettings server_settings;

// Reads them from the environment; ServeRequest does, before a command runs.
void ReadServerSettings();

// The header fields and method a download reads, each null when the request
// has none.
struct RequestHeaders {
  const char* method;   // REQUEST_METHOD
  const char* range;    // HTTP_RANGE
  const char* ifRange;  // HTTP_IF_RANGE
};

RequestHeaders ReadRequestHeaders();

#endif  // VELORANTIS_HELPER_FRONTEND_SERVER_SETTINGS_H_
