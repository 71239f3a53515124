// One blocking HTTP transfer (run on a worker thread). The scheme of the URL
// picks plain HTTP or TLS; redirects are followed.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct HttpTransferRequest {
  std::string url;
  std::string method = "GET";
  // Extra header lines, each ending in CR LF (the last one may lack it).
  std::string headers;
  std::vector<uint8_t> body;
  // Sends the body even when it is empty (POST); otherwise an empty body
  // means no body at all.
  bool sendBody = false;
};

struct HttpTransferResult {
  // The final response's status code; 0 when none arrived.
  int32_t status = 0;
  // The final response's header lines as received (status line included).
  std::string rawHeaders;
  std::vector<uint8_t> body;
  // Empty when the transfer completed; else why it did not, one line.
  std::string error;
};

// Once, from the main thread, before the first transfer starts.
void HttpTransfer_GlobalInit();

// Runs the transfer to its end, or until cancel becomes true (checked while it
// runs, at least about once a second while it waits). True when a
// whole response was read.
bool HttpTransfer_Run(const HttpTransferRequest& request, const std::atomic<bool>& cancel, HttpTransferResult* out);
