// A TCP port on 127.0.0.1 that this process holds bound and never listens on: a connection to it is
// refused at once, whatever else runs on this machine, for as long as the object lives. A port
// merely found free and closed again could be taken by anyone before the test connects.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace catpub::testing {

class RefusedPort {
 public:
  // Port 0 takes any free port. Tests running at once may all hold one port (SO_REUSEPORT), also
  // while connections of earlier tests linger in TIME_WAIT (SO_REUSEADDR); a port that another
  // program listens on cannot be held, and held() then says so.
  explicit RefusedPort(uint16_t port = 0)
      : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (socket_ < 0) return;
    int on = 1;
    ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(socket_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~RefusedPort() {
    if (socket_ >= 0) ::close(socket_);
  }
  RefusedPort(const RefusedPort&) = delete;
  RefusedPort& operator=(const RefusedPort&) = delete;

  bool held() const { return port_ != 0; }
  uint16_t port() const { return port_; }

 private:
  int socket_;
  uint16_t port_ = 0;
};

}  // namespace catpub::testing
