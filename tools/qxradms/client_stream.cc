#include "client_stream.h"

#include <algorithm>

namespace qx::radms {

ClientStream::ClientStream(platform::SocketHandle socket, uint32_t send_timeout_ms)
    : socket_(socket) {
  platform::SetSendTimeout(socket_, send_timeout_ms);
  // A reply goes out in one piece, or over TLS in one record per 16 KB.
  platform::SetNoDelay(socket_);
}

bool ClientStream::StartTls(const platform::TlsContext& context, uint32_t timeout_ms,
                            std::string* error) {
  platform::SetReceiveTimeout(socket_, std::max<uint32_t>(timeout_ms, 1));
  tls_ = platform::TlsStream::Accept(context, socket_, error);
  return tls_ != nullptr;
}

int64_t ClientStream::Receive(void* buffer, size_t size, uint32_t timeout_ms) {
  // A receive time-out of 0 would mean "wait for ever".
  platform::SetReceiveTimeout(socket_, std::max<uint32_t>(timeout_ms, 1));
  if (tls_) return tls_->Receive(buffer, size);
  return platform::ReceiveBytes(socket_, buffer, size);
}

bool ClientStream::Send(std::string_view bytes) {
  if (bytes.empty()) return true;
  if (tls_) return tls_->Send(bytes.data(), bytes.size()) >= 0;
  return platform::SendBytes(socket_, bytes.data(), bytes.size()) >= 0;
}

}  // namespace qx::radms
