#include "platform/tls.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>

#include "platform/errors.h"
#include "platform/openssl_library.h"

namespace qx::platform {

struct TlsContext::Native {
  SSL_CTX* ctx = nullptr;
};

struct TlsStream::Native {
  SSL* ssl = nullptr;
};

namespace {

// OpenSSL, once a context has found it loaded: nothing below runs without one.
const OpenSsl& Ssl() { return *LoadOpenSsl(); }

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when
// the peer has gone; this one sends with MSG_NOSIGNAL and leaves the
// original error numbers (10060 on a time-out) as the thread's last error.
int SocketOf(BIO* bio) { return static_cast<int>(reinterpret_cast<intptr_t>(Ssl().BIO_get_data(bio))); }

int BioWrite(BIO* bio, const char* data, int size) {
  Ssl().BIO_clear_flags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
  for (;;) {
    ssize_t sent = ::send(SocketOf(bio), data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<int>(sent);
    if (errno == EINTR) continue;
    SetLastError(errno == EAGAIN || errno == EWOULDBLOCK ? kErrorTimedOut
                                                         : ErrorFromErrno(errno));
    return -1;
  }
}

int BioRead(BIO* bio, char* buffer, int size) {
  Ssl().BIO_clear_flags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
  for (;;) {
    ssize_t received = ::recv(SocketOf(bio), buffer, static_cast<size_t>(size), 0);
    if (received >= 0) return static_cast<int>(received);
    if (errno == EINTR) continue;
    SetLastError(errno == EAGAIN || errno == EWOULDBLOCK ? kErrorTimedOut
                                                         : ErrorFromErrno(errno));
    return -1;
  }
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
  Ssl().BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = Ssl().BIO_meth_new(Ssl().BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "qx socket");
    Ssl().BIO_meth_set_write(m, BioWrite);
    Ssl().BIO_meth_set_read(m, BioRead);
    Ssl().BIO_meth_set_ctrl(m, BioControl);
    Ssl().BIO_meth_set_create(m, BioCreate);
    return m;
  }();
  return method;
}

// The reason of the oldest queued OpenSSL error, or fallback; clears the queue.
std::string OpenSslReason(const char* fallback) {
  unsigned long code = Ssl().ERR_get_error();
  std::string reason = fallback;
  if (code != 0) {
    char text[256];
    Ssl().ERR_error_string_n(code, text, sizeof text);
    reason = text;
  }
  Ssl().ERR_clear_error();
  return reason;
}

SSL_CTX* NewContext(const SSL_METHOD* method) {
  SSL_CTX* ctx = Ssl().SSL_CTX_new(method);
  if (ctx == nullptr) return nullptr;
  Ssl().SSL_CTX_ctrl(ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
  // A peer that drops the connection without TLS's goodbye has closed it,
  // as a plain connection would have.
  Ssl().SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  return ctx;
}

SSL* NewSession(SSL_CTX* ctx, SocketHandle socket) {
  SSL* ssl = Ssl().SSL_new(ctx);
  if (ssl == nullptr) return nullptr;
  BIO* bio = Ssl().BIO_new(SocketMethod());
  if (bio == nullptr) {
    Ssl().SSL_free(ssl);
    return nullptr;
  }
  Ssl().BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(socket)));
  Ssl().SSL_set_bio(ssl, bio, bio);
  return ssl;
}

bool IsIpAddress(const std::string& host) {
  unsigned char address[16];
  return inet_pton(AF_INET, host.c_str(), address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address) == 1;
}

uint32_t VerifyErrorCode(long verify_result) {
  switch (verify_result) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return kErrorTlsWrongPrincipal;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return kErrorTlsCertificateExpired;
    default:
      return kErrorTlsUntrustedRoot;
  }
}

}  // namespace

TlsContext::~TlsContext() {
  Ssl().SSL_CTX_free(native_->ctx);
  delete native_;
}

std::unique_ptr<TlsContext> TlsContext::ForServer(const std::string& certificate_file,
                                                  const std::string& key_file,
                                                  std::string* error) {
  if (LoadOpenSsl() == nullptr) {
    *error = "the TLS library (libssl.so.3) could not be loaded";
    return nullptr;
  }
  Ssl().ERR_clear_error();
  SSL_CTX* ctx = NewContext(Ssl().TLS_server_method());
  if (ctx == nullptr) {
    *error = OpenSslReason("cannot start TLS");
  } else if (Ssl().SSL_CTX_use_certificate_chain_file(ctx, certificate_file.c_str()) != 1) {
    *error = "certificate " + certificate_file + ": " + OpenSslReason("unreadable");
  } else if (Ssl().SSL_CTX_use_PrivateKey_file(ctx, key_file.c_str(), SSL_FILETYPE_PEM) != 1) {
    *error = "key " + key_file + ": " + OpenSslReason("unreadable");
  } else if (Ssl().SSL_CTX_check_private_key(ctx) != 1) {
    *error = "key " + key_file + " does not belong to certificate " + certificate_file;
    Ssl().ERR_clear_error();
  } else {
    return std::unique_ptr<TlsContext>(new TlsContext(new Native{ctx}));
  }
  Ssl().SSL_CTX_free(ctx);
  return nullptr;
}

std::unique_ptr<TlsContext> TlsContext::ForClient(const std::string& ca_file, std::string* error) {
  if (LoadOpenSsl() == nullptr) {
    *error = "the TLS library (libssl.so.3) could not be loaded";
    return nullptr;
  }
  Ssl().ERR_clear_error();
  SSL_CTX* ctx = NewContext(Ssl().TLS_client_method());
  if (ctx == nullptr) {
    *error = OpenSslReason("cannot start TLS");
    return nullptr;
  }
  Ssl().SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  const bool loaded = ca_file.empty()
                          ? Ssl().SSL_CTX_set_default_verify_paths(ctx) == 1
                          : Ssl().SSL_CTX_load_verify_locations(ctx, ca_file.c_str(), nullptr) == 1;
  if (!loaded) {
    *error = "CA file " + (ca_file.empty() ? std::string("(system)") : ca_file) + ": " +
             OpenSslReason("unreadable");
    Ssl().SSL_CTX_free(ctx);
    return nullptr;
  }
  return std::unique_ptr<TlsContext>(new TlsContext(new Native{ctx}));
}

std::unique_ptr<TlsStream> TlsStream::Accept(const TlsContext& context, SocketHandle socket,
                                             std::string* error) {
  Ssl().ERR_clear_error();
  SSL* ssl = NewSession(context.native_->ctx, socket);
  if (ssl == nullptr) {
    *error = OpenSslReason("cannot start TLS");
    return nullptr;
  }
  if (Ssl().SSL_accept(ssl) != 1) {
    *error = OpenSslReason("the peer closed the connection during the handshake");
    Ssl().SSL_free(ssl);
    return nullptr;
  }
  return std::unique_ptr<TlsStream>(new TlsStream(new Native{ssl}));
}

std::unique_ptr<TlsStream> TlsStream::Connect(const TlsContext& context, SocketHandle socket,
                                              std::string_view host_name, std::string* error) {
  Ssl().ERR_clear_error();
  SSL* ssl = NewSession(context.native_->ctx, socket);
  if (ssl == nullptr) {
    *error = OpenSslReason("cannot start TLS");
    SetLastError(kErrorTlsIllegalMessage);
    return nullptr;
  }
  const std::string host(host_name);
  if (IsIpAddress(host)) {
    Ssl().X509_VERIFY_PARAM_set1_ip_asc(Ssl().SSL_get0_param(ssl), host.c_str());
  } else {
    Ssl().SSL_set1_host(ssl, host.c_str());
    Ssl().SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                   const_cast<char*>(host.c_str()));
  }
  SetLastError(kErrorSuccess);
  if (Ssl().SSL_connect(ssl) == 1) return std::unique_ptr<TlsStream>(new TlsStream(new Native{ssl}));

  const long verify_result = Ssl().SSL_get_verify_result(ssl);
  const uint32_t socket_error = GetLastError();
  if (verify_result != X509_V_OK) {
    *error = std::string("certificate of ") + host + " not accepted: " +
             Ssl().X509_verify_cert_error_string(verify_result);
    SetLastError(VerifyErrorCode(verify_result));
    Ssl().ERR_clear_error();
  } else if (socket_error != kErrorSuccess) {
    *error = "TLS handshake with " + host + " broke off (error " +
             std::to_string(socket_error) + ")";
    Ssl().ERR_clear_error();
  } else {
    *error = "TLS handshake with " + host + " failed: " +
             OpenSslReason("the host closed the connection");
    SetLastError(kErrorTlsIllegalMessage);
  }
  Ssl().SSL_free(ssl);
  return nullptr;
}

TlsStream::~TlsStream() {
  Ssl().SSL_shutdown(native_->ssl);
  Ssl().SSL_free(native_->ssl);
  Ssl().ERR_clear_error();
  delete native_;
}

int64_t TlsStream::Send(const void* data, size_t size) {
  const char* next = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    const int chunk = left > INT_MAX ? INT_MAX : static_cast<int>(left);
    Ssl().ERR_clear_error();
    const int sent = Ssl().SSL_write(native_->ssl, next, chunk);
    if (sent <= 0) {
      if (Ssl().SSL_get_error(native_->ssl, sent) != SSL_ERROR_SYSCALL) {
        SetLastError(ErrorFromErrno(ECONNRESET));
      }
      Ssl().ERR_clear_error();
      return -1;
    }
    next += sent;
    left -= static_cast<size_t>(sent);
  }
  return static_cast<int64_t>(size);
}

int64_t TlsStream::Receive(void* buffer, size_t size) {
  const int chunk = size > INT_MAX ? INT_MAX : static_cast<int>(size);
  Ssl().ERR_clear_error();
  const int received = Ssl().SSL_read(native_->ssl, buffer, chunk);
  if (received > 0) return received;
  const int reason = Ssl().SSL_get_error(native_->ssl, received);
  Ssl().ERR_clear_error();
  if (reason == SSL_ERROR_ZERO_RETURN) return 0;
  // SSL_ERROR_SYSCALL: the socket failed and BioRead left its error.
  if (reason != SSL_ERROR_SYSCALL) SetLastError(ErrorFromErrno(ECONNRESET));
  return -1;
}

bool TlsStream::HasBufferedBytes() const { return Ssl().SSL_pending(native_->ssl) > 0; }

}  // namespace qx::platform
