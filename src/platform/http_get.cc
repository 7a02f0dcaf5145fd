#include "platform/http_get.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <memory>
#include <mutex>

#include "platform/library_loader.h"
#include "platform/openssl_library.h"

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
  // libcurl has loaded OpenSSL by now; this finds the same copy.
  const OpenSsl* openssl = LoadOpenSsl();
  if (openssl == nullptr) return CURLE_SSL_CACERT_BADFILE;
  X509_STORE* store = openssl->SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(ssl_context));
  const auto* file = static_cast<const std::string*>(ca_file);
  return openssl->X509_STORE_load_file(store, file->c_str()) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

// libcurl and the thirty libraries it needs are loaded on the first
// download, not with every process of the store: a delivery or a status
// query in a new process would otherwise spend most of its start loading
// them.
struct Libcurl {
  decltype(&curl_global_init) global_init = nullptr;
  decltype(&curl_easy_init) easy_init = nullptr;
  decltype(&curl_easy_setopt) setopt = nullptr;
  decltype(&curl_easy_perform) perform = nullptr;
  decltype(&curl_easy_getinfo) getinfo = nullptr;
  decltype(&curl_easy_strerror) strerror = nullptr;
  decltype(&curl_easy_cleanup) cleanup = nullptr;
};

// The loaded and started library; null when it cannot be loaded.
const Libcurl* StartLibcurl() {
  static Libcurl curl;
  static bool loaded = false;
  static std::once_flag started;
  std::call_once(started, [] {
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    loaded = BindSymbol(library, "curl_global_init", &curl.global_init) &&
             BindSymbol(library, "curl_easy_init", &curl.easy_init) &&
             BindSymbol(library, "curl_easy_setopt", &curl.setopt) &&
             BindSymbol(library, "curl_easy_perform", &curl.perform) &&
             BindSymbol(library, "curl_easy_getinfo", &curl.getinfo) &&
             BindSymbol(library, "curl_easy_strerror", &curl.strerror) &&
             BindSymbol(library, "curl_easy_cleanup", &curl.cleanup) &&
             curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  });
  return loaded ? &curl : nullptr;
}

}  // namespace

HttpGetResult HttpGet(std::string_view url, const HttpGetLimits& limits) {
  HttpGetResult result;
  const Libcurl* library = StartLibcurl();
  if (library == nullptr) {
    result.error = "the HTTP client library (libcurl.so.4) could not be loaded";
    return result;
  }
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(library->easy_init(), library->cleanup);
  if (!curl) {
    result.error = "the HTTP client could not be started";
    return result;
  }
  const std::string address(url);
  Transfer transfer;
  transfer.limit = limits.max_body_bytes;
  char error_text[CURL_ERROR_SIZE] = {};
  CURL* handle = curl.get();
  library->setopt(handle, CURLOPT_URL, address.c_str());
  library->setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  library->setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  library->setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  library->setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(limits.max_redirects));
  library->setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect_timeout_ms));
  library->setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.transfer_timeout_ms));
  library->setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.max_body_bytes));
  library->setopt(handle, CURLOPT_NOSIGNAL, 1L);
  library->setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  library->setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  library->setopt(handle, CURLOPT_WRITEFUNCTION, CollectBody);
  library->setopt(handle, CURLOPT_WRITEDATA, &transfer);
  library->setopt(handle, CURLOPT_ERRORBUFFER, error_text);
  if (!limits.extra_ca_file.empty()) {
    library->setopt(handle, CURLOPT_SSL_CTX_FUNCTION, AddExtraCa);
    library->setopt(handle, CURLOPT_SSL_CTX_DATA, &limits.extra_ca_file);
  }
  const CURLcode code = library->perform(handle);
  library->getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
  if (transfer.over_limit || code == CURLE_FILESIZE_EXCEEDED) {
    result.error = "the body is larger than " + std::to_string(limits.max_body_bytes) + " bytes";
  } else if (code != CURLE_OK) {
    result.error = error_text[0] != '\0' ? error_text : library->strerror(code);
  } else {
    result.ok = true;
    result.body = std::move(transfer.body);
  }
  return result;
}

}  // namespace qx::platform
