#include "helper/frontend/origin_check.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace {

bool Absent(const char* header) { return header == nullptr || *header == '\0'; }

// The host and port of an origin, "scheme://host[:port]": what follows the
// scheme, up to a path should a client send one. Empty when there is no
// scheme, as in the opaque origin "null".
std::string_view HostOfOrigin(std::string_view origin) {
  size_t start = origin.find("://");
  if (start == std::string_view::npos) return {};
  std::string_view rest = origin.substr(start + 3);
  return rest.substr(0, rest.find('/'));
}

}  // namespace

bool IsSameOriginRequest(const char* secFetchSite, const char* origin, const char* host) {
  if (!Absent(secFetchSite)) {
    return strcmp(secFetchSite, "same-origin") == 0 || strcmp(secFetchSite, "none") == 0;
  }
  if (Absent(origin)) return true;
  // Browsers leave a scheme's default port out of both, so the texts compare
  // as they stand.
  return !Absent(host) && HostOfOrigin(origin) == host;
}

Message OriginCheckFailure(const OriginHeaders& headers, bool strict) {
  // Strict mode only adds refusals: what the browser marks as another
  // site's is refused in both modes, whatever else the request carries.
  if (!IsSameOriginRequest(headers.secFetchSite, headers.origin, headers.host)) {
    return Message::kCrossOriginRefused;
  }
  if (!strict) return Message::kNone;
  // Past the check above, a Sec-Fetch-Site is "same-origin" or "none" and an
  // Origin names this host: either is proof.
  const bool proven =
      !Absent(headers.secFetchSite) || !Absent(headers.origin) || !Absent(headers.requestedWith);
  return proven ? Message::kNone : Message::kNoRequestedWith;
}

Status OriginCheck(const RequestHeaders& headers, bool strict) {
  const OriginHeaders origin = {headers.secFetchSite, headers.origin, headers.host,
                                headers.requestedWith};
  const Message refusal = OriginCheckFailure(origin, strict);
  if (refusal == Message::kNone) return {};
  std::string cause = strict ? "strict origin check: another site named, or no proof of this one"
                             : "Sec-Fetch-Site or Origin names another site than Host";
  const std::pair<const char*, const char*> shown[] = {
      {"HTTP_SEC_FETCH_SITE", headers.secFetchSite},
      {"HTTP_ORIGIN", headers.origin},
      {"HTTP_HOST", headers.host},
      {"HTTP_X_REQUESTED_WITH", headers.requestedWith},
  };
  for (const auto& [name, value] : shown) {
    cause = cause + "; " + name + "=" + (value != nullptr ? value : "(none)");
  }
  return Failed(refusal, std::move(cause));
}
