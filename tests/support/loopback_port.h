#pragma once
// A loopback TCP port that was free a moment ago: bound to port 0, read back, released.
// Another process may take it before it is used again. And a plain socket connected to a
// loopback port, for tests that talk to the card server as a raw client would.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

inline int free_loopback_port() {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
  close(sock);
  return ntohs(address.sin_port);
}

// The connected socket, or -1.
inline int connect_to_loopback(int port) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return sock;
  close(sock);
  return -1;
}
