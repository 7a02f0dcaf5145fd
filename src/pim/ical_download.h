#pragma once
// Downloads of iCalendar feeds from web addresses, with the limits an
// administrator may set under the library's settings key (read on each
// download; README.md lists them; 0 keeps a number's default):
//   "iCalendar Connect Timeout"   DWORD seconds, default 10
//   "iCalendar Transfer Timeout"  DWORD seconds for the whole download, default 60
//   "iCalendar Size Limit"        DWORD bytes, default 67108864 (64 MB)
//   "iCalendar CA File"           a PEM file of CAs trusted besides the system's

#include <optional>
#include <string>
#include <string_view>

#include "platform/http_get.h"

namespace qx {

// True when `source` begins with "http://" or "https://" (any case).
bool IsFeedAddress(std::string_view source);

// The limits in force now.
platform::HttpGetLimits FeedDownloadLimits();

// The body of a GET of `address`, whatever its status. Nothing, with the
// reason in *error when given, when the address has no '/' after its host
// (as the original client required: "http://host" is not fetched), or when
// the download fails or passes a limit.
std::optional<std::string> DownloadFeed(std::string_view address, std::string* error = nullptr);

}  // namespace qx
