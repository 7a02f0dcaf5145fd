#pragma once
// The library's one event-log report.

namespace qx {

// Reports text to the event log under the source "Talmera" as an
// information event (identifier 0x40000001) with two strings: "Talmera
// Store Provider error: <the thread's last error>" and text. The last error
// is captured before anything else runs. An event source that cannot be
// opened drops the event silently.
void ReportStoreError(const char* text);

}  // namespace qx
