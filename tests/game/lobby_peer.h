// The lobby tests' own peer: plain sockets of the host system that play the
// other machine of the LAN lobby, a well-behaved one or a hostile one. The
// game under test stands for 127.0.0.1 (PlatformSetLocalAddress), the peer
// for 127.0.0.2, so both bind the same ports as two machines would.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace lobby_peer {

// Four octets as the library and the stand-in take them (memory order).
inline uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t octets[4] = {a, b, c, d};
  uint32_t address;
  memcpy(&address, octets, 4);
  return address;
}
inline const uint32_t kGameIp = Ip(127, 0, 0, 1);
inline const uint32_t kPeerIp = Ip(127, 0, 0, 2);
inline const uint32_t kStrangerIp = Ip(127, 0, 0, 3);

inline int64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

inline sockaddr_in Address(uint32_t ip, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = ip;
  return a;
}

// A socket that closes itself.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  ~Socket() { Close(); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

inline Socket Bound(int type, uint32_t ip, uint16_t port) {
  Socket s(socket(AF_INET, type | SOCK_CLOEXEC, 0));
  sockaddr_in a = Address(ip, port);
  if (!s.ok() || bind(s.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Socket();
  return s;
}

inline uint16_t LocalPort(const Socket& s) {
  sockaddr_in a{};
  socklen_t size = sizeof a;
  getsockname(s.fd(), reinterpret_cast<sockaddr*>(&a), &size);
  return ntohs(a.sin_port);
}

// A port that is free for TCP and UDP on the game's and the peer's addresses.
inline uint16_t FreePort() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    Socket probe = Bound(SOCK_STREAM, kGameIp, 0);
    if (!probe.ok()) continue;
    uint16_t port = LocalPort(probe);
    if (Bound(SOCK_DGRAM, kGameIp, port).ok() && Bound(SOCK_DGRAM, kPeerIp, port).ok() &&
        Bound(SOCK_STREAM, kPeerIp, port).ok())
      return port;
  }
  return 0;
}

inline bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

// ---------------------------------------------------------------- TCP

inline Socket Listen(uint32_t ip, uint16_t port) {
  Socket s = Bound(SOCK_STREAM, ip, port);
  if (s.ok() && listen(s.fd(), 4) != 0) return Socket();
  return s;
}

inline Socket Accept(const Socket& listener, int timeoutMs) {
  if (!WaitReadable(listener.fd(), timeoutMs)) return Socket();
  return Socket(accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
}

// A connection from the peer's address (the kernel completes it whether or
// not the game has accepted it yet).
inline Socket Connect(uint32_t fromIp, uint32_t toIp, uint16_t port) {
  Socket s = Bound(SOCK_STREAM, fromIp, 0);
  sockaddr_in to = Address(toIp, port);
  if (!s.ok() || connect(s.fd(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return Socket();
  return s;
}

inline bool SendAll(const Socket& s, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    ssize_t n = send(s.fd(), bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n <= 0) return false;
    at += static_cast<size_t>(n);
  }
  return true;
}

// A framed TCP message as the library's connections carry them.
inline std::string Framed(const std::string& body) {
  auto n = static_cast<uint32_t>(body.size());
  std::string out{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                  static_cast<char>(n >> 24)};
  return out + body;
}

inline std::string LobbyBytes(uint8_t player, uint32_t address) {
  std::string out(1, static_cast<char>(player));
  out.append(reinterpret_cast<const char*>(&address), 4);
  return out;
}

// The bodies of the framed messages that arrive, joined, until `want` bytes
// have come, the stream ends or the time is up.
inline std::string ReceiveBodies(const Socket& s, size_t want, int timeoutMs) {
  std::string stream, bodies;
  int64_t end = NowMs() + timeoutMs;
  while (bodies.size() < want && NowMs() < end) {
    if (!WaitReadable(s.fd(), 10)) continue;
    char buffer[256];
    ssize_t n = recv(s.fd(), buffer, sizeof buffer, 0);
    if (n <= 0) break;
    stream.append(buffer, static_cast<size_t>(n));
    while (stream.size() >= 4) {
      uint32_t length;
      memcpy(&length, stream.data(), 4);
      if (stream.size() < 4 + length) break;
      bodies += stream.substr(4, length);
      stream.erase(0, 4 + length);
    }
  }
  return bodies;
}

// True once the other end has closed the connection (nothing more arrives).
inline bool ClosedByGame(const Socket& s, int timeoutMs) {
  int64_t end = NowMs() + timeoutMs;
  while (NowMs() < end) {
    if (!WaitReadable(s.fd(), 10)) continue;
    char buffer[256];
    ssize_t n = recv(s.fd(), buffer, sizeof buffer, 0);
    if (n <= 0) return true;
  }
  return false;
}

// ---------------------------------------------------------------- UDP

// A link record: five little-endian u32.
inline std::string LinkBytes(uint32_t sender, uint32_t destination, uint32_t kind, uint32_t phase,
                             uint32_t buttons) {
  std::string out;
  for (uint32_t v : {sender, destination, kind, phase, buttons})
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
  return out;
}

inline bool SendTo(const Socket& s, uint32_t ip, uint16_t port, const std::string& bytes) {
  sockaddr_in to = Address(ip, port);
  return sendto(s.fd(), bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(bytes.size());
}

// The next datagram within the time, or "" (its source's address when asked).
inline std::string ReceiveFrom(const Socket& s, int timeoutMs, uint32_t* fromIp = nullptr) {
  if (!WaitReadable(s.fd(), timeoutMs)) return "";
  char buffer[2048];
  sockaddr_in from{};
  socklen_t size = sizeof from;
  ssize_t n = recvfrom(s.fd(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
  if (n <= 0) return "";
  if (fromIp != nullptr) *fromIp = from.sin_addr.s_addr;
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace lobby_peer
