#pragma once
// A loopback TCP port that was free a moment ago: bound to port 0, read back, released.
// Another process may take it before it is used again. A plain socket connected to a
// loopback port, for tests that talk to the card server as a raw client would. And the
// card server's health check on a loopback port.
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

// A socket bound to a free loopback port, which port is set to.
inline int bound_loopback_socket(int& port) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return sock;
}

inline int free_loopback_port() {
  int port = 0;
  close(bound_loopback_socket(port));
  return port;
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

inline bool answers_health(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(0, 300000);
  const auto answer = client.Get("/health");
  return answer && answer->status == 200;
}

// Waits up to five seconds for a server starting on the port to answer its health check.
inline bool comes_up(int port) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!answers_health(port)) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}
