#include "platform/http_transfer.h"

#include <curl/curl.h>

#include <strings.h>

#include <cstring>
#include <mutex>

namespace {

// A response larger than this is refused rather than cut.
constexpr size_t kMaxBody = size_t(1) << 30;

struct Sink {
  HttpTransferResult* out;
  const std::atomic<bool>* cancel;
  bool tooLarge = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  if (sink->out->body.size() + n > kMaxBody) {
    sink->tooLarge = true;
    return 0;
  }
  sink->out->body.insert(sink->out->body.end(), data, data + n);
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  // Each response of a redirect chain starts with its status line: only the
  // last one's headers are kept.
  if (n >= 5 && std::memcmp(data, "HTTP/", 5) == 0) sink->out->rawHeaders.clear();
  sink->out->rawHeaders.append(data, n);
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Sink*>(user)->cancel->load(std::memory_order_relaxed) ? 1 : 0;
}

// Header lines of the text, without their line ends.
curl_slist* HeaderList(const std::string& text, bool hasBody) {
  curl_slist* list = nullptr;
  bool contentType = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) {
      std::string line = text.substr(start, end - start);
      if (line.size() >= 13 && strncasecmp(line.c_str(), "Content-Type:", 13) == 0) contentType = true;
      list = curl_slist_append(list, line.c_str());
    }
    start = end + 1;
  }
  // A large body would otherwise wait for "100 Continue" first.
  if (hasBody) list = curl_slist_append(list, "Expect:");
  // Only the caller's header lines: curl's own form type stays off.
  if (hasBody && !contentType) list = curl_slist_append(list, "Content-Type:");
  return list;
}

}  // namespace

void HttpTransfer_GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool HttpTransfer_Run(const HttpTransferRequest& request, const std::atomic<bool>& cancel, HttpTransferResult* out) {
  *out = HttpTransferResult{};
  CURL* curl = curl_easy_init();
  if (!curl) {
    out->error = "Cannot start a transfer";
    return false;
  }
  Sink sink{out, &cancel};
  char errorText[CURL_ERROR_SIZE] = "";
  const bool isGet = request.method == "GET";
  const bool isPost = request.method == "POST";
  const bool hasBody = request.sendBody || !request.body.empty();
  curl_slist* headers = HeaderList(request.headers, hasBody);

  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Tarnwicke HTTP");
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
  if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  if (hasBody) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.empty() ? "" : (const char*)request.body.data());
    if (!isPost) curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  } else if (!isGet) {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }

  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  out->status = int32_t(status);
  if (code != CURLE_OK) {
    if (sink.tooLarge)
      out->error = "The response is larger than " + std::to_string(kMaxBody) + " bytes";
    else if (code == CURLE_ABORTED_BY_CALLBACK)
      out->error = "Cancelled";
    else
      out->error = std::string(curl_easy_strerror(code)) + (errorText[0] ? std::string(": ") + errorText : "");
    while (!out->error.empty() && (out->error.back() == '\n' || out->error.back() == '\r')) out->error.pop_back();
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return code == CURLE_OK;
}
