// Owns one socket of the platform layer and closes it on every path out.
#pragma once

#include <utility>

#include "module/platform.h"

namespace ms {

class ScopedSocket {
 public:
  ScopedSocket(Platform& platform, SocketHandle socket)
      : platform_(platform), socket_(socket) {}
  ~ScopedSocket() { Close(); }
  ScopedSocket(const ScopedSocket&) = delete;
  ScopedSocket& operator=(const ScopedSocket&) = delete;

  SocketHandle get() const { return socket_; }
  bool valid() const { return socket_ != kInvalidSocket; }

  void Close() {
    if (valid()) platform_.Close(std::exchange(socket_, kInvalidSocket));
  }

 private:
  Platform& platform_;
  SocketHandle socket_;
};

}  // namespace ms
