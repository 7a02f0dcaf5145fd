#include "platform/http_get.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <mutex>

namespace qx::platform {

namespace {

struct Transfer {
  std::string body;
  uint64_t limit = 0;
  bool over_limit = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (transfer->body.size() + bytes > transfer->limit) {
    transfer->over_limit = true;
    return 0;  // libcurl ends the transfer with a write error
  }
  transfer->body.append(data, bytes);
  return bytes;
}

// Adds the extra CA file to the CAs libcurl has loaded from the system's
// store, rather than replacing them as CURLOPT_CAINFO would.
CURLcode AddExtraCa(CURL*, void* ssl_context, void* ca_file) {
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(ssl_context));
  const auto* file = static_cast<const std::string*>(ca_file);
  return X509_STORE_load_file(store, file->c_str()) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

void StartLibcurl() {
  static std::once_flag started;
  std::call_once(started, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

HttpGetResult HttpGet(std::string_view url, const HttpGetLimits& limits) {
  StartLibcurl();
  HttpGetResult result;
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    result.error = "the HTTP client could not be started";
    return result;
  }
  const std::string address(url);
  Transfer transfer;
  transfer.limit = limits.max_body_bytes;
  char error_text[CURL_ERROR_SIZE] = {};
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(limits.max_redirects));
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect_timeout_ms));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.transfer_timeout_ms));
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.max_body_bytes));
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error_text);
  if (!limits.extra_ca_file.empty()) {
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, AddExtraCa);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &limits.extra_ca_file);
  }
  const CURLcode code = curl_easy_perform(handle);
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
  if (transfer.over_limit || code == CURLE_FILESIZE_EXCEEDED) {
    result.error = "the body is larger than " + std::to_string(limits.max_body_bytes) + " bytes";
  } else if (code != CURLE_OK) {
    result.error = error_text[0] != '\0' ? error_text : curl_easy_strerror(code);
  } else {
    result.ok = true;
    result.body = std::move(transfer.body);
  }
  return result;
}

}  // namespace qx::platform
