// HTTP requests from tests, made with the curl program of this machine (a
// cross build has no client library for its target; the program runs
// natively beside an emulated test).
#ifndef VELORANTIS_TESTS_HTTP_HTTP_GET_H_
#define VELORANTIS_TESTS_HTTP_HTTP_GET_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct HttpResponse {
  int status = 0;  // 0 when no HTTP answer came
  // Header fields in order, names in lower case, values without the
  // surrounding blanks.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

// GETs `url`, sending its bytes as they are (no globbing, no clean-up of the
// path or the query); POSTs `postBody` to it instead when given one.
// Requests here and in HttpGetAll carry X-Requested-With, as the page's do.
// `curlOptions` are added to curl's command line (e.g. a header).
HttpResponse HttpGet(const std::string& url,
                     const std::optional<std::string>& postBody = std::nullopt,
                     const std::vector<std::string>& curlOptions = {});

// GETs every URL of `urls`, `connections` at a time, each connection kept
// open for the next request. The answers come in the order of `urls`; of
// their headers only content-type is filled in. `scratchDir` holds the
// bodies meanwhile.
std::vector<HttpResponse> HttpGetAll(const std::vector<std::string>& urls, int connections,
                                     const std::string& scratchDir);

// The value of the first header field named `name` (lower case).
std::optional<std::string> HeaderValue(const HttpResponse& response, std::string_view name);

#endif  // VELORANTIS_TESTS_HTTP_HTTP_GET_H_
