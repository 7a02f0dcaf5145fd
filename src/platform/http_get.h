#pragma once
// A plain HTTP GET of a web address (libcurl), as the original's internet
// client did for calendar feeds: http:// and https:// only (redirects
// included, so a feed cannot send the request on to a file:// address),
// certificates checked against the system's CAs, proxies from the usual
// environment variables. The status is not judged: a 404 page is a body
// like any other.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

struct HttpGetLimits {
  uint32_t connect_timeout_ms = 10000;
  // The whole transfer, connect included.
  uint32_t transfer_timeout_ms = 60000;
  uint64_t max_body_bytes = 64ull << 20;
  uint32_t max_redirects = 5;
  // A PEM file of CAs trusted besides the system's; empty for none.
  std::string extra_ca_file;
};

struct HttpGetResult {
  bool ok = false;    // the whole body arrived
  long status = 0;    // the final response's status, 0 when none came
  std::string body;   // empty unless ok
  std::string error;  // why not, for diagnostics
};

// Fetches `url`, following at most limits.max_redirects redirects. Fails
// when the body would pass limits.max_body_bytes, when the connection or
// the transfer runs past its time-out, or when the connection ends before
// a body of announced length (or a chunked body) is complete. Safe to call
// from several threads at once.
HttpGetResult HttpGet(std::string_view url, const HttpGetLimits& limits);

}  // namespace qx::platform
