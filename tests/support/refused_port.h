// A port of 127.0.0.1 held bound and not listening, so that a connection to it is refused whatever
// else runs on this machine.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace catpub::testing {

class RefusedPort {
 public:
  // Binds the port. SO_REUSEADDR lets it bind over connections of earlier tests that linger in
  // TIME_WAIT, SO_REUSEPORT lets several tests hold it at once; anything listening there makes the
  // bind fail (bound() is then false).
  explicit RefusedPort(uint16_t port) : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    int on = 1;
    ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(socket_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bound_ =
        socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RefusedPort() {
    if (socket_ >= 0) ::close(socket_);
  }
  RefusedPort(const RefusedPort&) = delete;
  RefusedPort& operator=(const RefusedPort&) = delete;
  bool bound() const { return bound_; }

 private:
  int socket_;
  bool bound_ = false;
};

}  // namespace catpub::testing
