#pragma once
// TLS over a connected TCP socket (OpenSSL), for the remote administration
// connection. TLS 1.2 or later. A client checks the host's certificate
// chain against a CA file (or the system's CAs) and that the certificate
// names the host it asked for: its DNS name, or its IP address when it was
// given as one. Bytes go through the socket's own time-outs
// (SetReceiveTimeout, SetSendTimeout): a stalled peer fails with 10060, and
// a peer that has gone away is an error, never a signal.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace qx::platform {

// Last errors of a failed client handshake, in the numbering of the original
// platform's TLS provider.
inline constexpr uint32_t kErrorTlsWrongPrincipal = 0x80090322;  // certificate names another host
inline constexpr uint32_t kErrorTlsUntrustedRoot = 0x80090325;   // chain leads to no trusted CA
inline constexpr uint32_t kErrorTlsIllegalMessage = 0x80090326;  // handshake failed otherwise
inline constexpr uint32_t kErrorTlsCertificateExpired = 0x80090328;

// What a handshake needs from one side: the certificate and key of a
// server, or the trusted CAs of a client. Safe to share between threads.
class TlsContext {
 public:
  // From PEM files: the certificate chain (leaf first) and its private key.
  // nullptr with *error saying which file was wrong and why.
  static std::unique_ptr<TlsContext> ForServer(const std::string& certificate_file,
                                               const std::string& key_file, std::string* error);
  // Trusting the CAs of ca_file (PEM), or the system's CAs when it is empty.
  static std::unique_ptr<TlsContext> ForClient(const std::string& ca_file, std::string* error);

  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  struct Native;

 private:
  explicit TlsContext(Native* native) : native_(native) {}
  Native* native_;
  friend class TlsStream;
};

// One TLS session on a socket the caller owns (and closes after the stream
// is gone).
class TlsStream {
 public:
  // The server's handshake on a newly accepted socket; nullptr with *error
  // (why the peer did not complete it) otherwise.
  static std::unique_ptr<TlsStream> Accept(const TlsContext& context, SocketHandle socket,
                                           std::string* error);
  // The client's handshake, verifying that the certificate names host_name.
  // nullptr with the last error set (kErrorTls*, or the socket's error) and
  // *error saying why.
  static std::unique_ptr<TlsStream> Connect(const TlsContext& context, SocketHandle socket,
                                            std::string_view host_name, std::string* error);

  // Says goodbye to the peer (without waiting for its answer) and frees the
  // session. The socket stays open.
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  // Sends all of data: size, or -1 with the last error set.
  int64_t Send(const void* data, size_t size);
  // What one TLS record holds, up to size bytes: the count, 0 when the peer
  // closed, -1 with the last error set (10060 on a receive time-out).
  int64_t Receive(void* buffer, size_t size);
  // True when received bytes wait inside the session, so a read would not
  // block even though the socket shows nothing.
  bool HasBufferedBytes() const;

  struct Native;

 private:
  explicit TlsStream(Native* native) : native_(native) {}
  Native* native_;
};

}  // namespace qx::platform
