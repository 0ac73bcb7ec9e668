// Where a request comes from, as the browser tells it: the check that keeps
// other web sites from changing the device's state through the browser of
// someone who may use this one.
#ifndef VELORANTIS_HELPER_FRONTEND_ORIGIN_CHECK_H_
#define VELORANTIS_HELPER_FRONTEND_ORIGIN_CHECK_H_

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

// IsSameOriginRequest on the CGI variables HTTP_SEC_FETCH_SITE, HTTP_ORIGIN
// and HTTP_HOST.
bool RequestIsSameOrigin();

#endif  // VELORANTIS_HELPER_FRONTEND_ORIGIN_CHECK_H_
