// Where a request comes from, as the browser tells it: the check that keeps
// other web sites from changing the device's state through the browser of
// someone who may use this one.
#ifndef VELORANTIS_HELPER_FRONTEND_ORIGIN_CHECK_H_
#define VELORANTIS_HELPER_FRONTEND_ORIGIN_CHECK_H_

#include "helper/frontend/server_settings.h"
#include "shared/status.h"

// Whether a request with these headers may change the device's state; each
// argument is the header's text, or null when the request has none (an
// empty header counts as none). Browsers send Sec-Fetch-Site with every
// request and Origin with cross-origin ones; the rules, in order:
//   Sec-Fetch-Site "same-origin" or "none" (typed in, a bookmark): allowed;
//   any other Sec-Fetch-Site ("same-site", "cross-site"): refused;
//   neither header (curl, scripts, a browser too old to send them): allowed;
//   Origin whose host and port equal `host` (the Host header): allowed;
//   any other Origin ("null" included): refused.
bool IsSameOriginRequest(const char* secFetchSite, const char* origin, const char* host);

// The headers the check reads, each null when the request has none.
struct OriginHeaders {
  const char* secFetchSite;
  const char* origin;
  const char* host;
  const char* requestedWith;  // X-Requested-With
};

// kNone when a request with `headers` may change the device's state, else
// the message it is refused with: kCrossOriginRefused for a request that
// IsSameOriginRequest refuses, kNoRequestedWith for one that carries no
// proof in strict mode. Outside strict mode that is IsSameOriginRequest
// alone. In strict mode, where browsers send neither Sec-Fetch-Site nor
// Origin (plain HTTP to a LAN name or address, for images, frames and
// no-cors fetches), a request must also prove that no other site's page made
// it: a Sec-Fetch-Site, which IsSameOriginRequest has found to be
// "same-origin" or "none"; an Origin, found equal to the host; or an
// X-Requested-With header of any value, which a page can send to another
// origin only after a CORS preflight that this program never grants.
Message OriginCheckFailure(const OriginHeaders& headers, bool strict);

// OriginCheckFailure on a request's header fields, strict or not as the
// server is set; a refusal carries its cause, with those headers, for the
// failure log.
Status OriginCheck(const RequestHeaders& headers, bool strict);

#endif  // VELORANTIS_HELPER_FRONTEND_ORIGIN_CHECK_H_
