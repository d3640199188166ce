#include "platform/winsock/winsock.h"

#include <atomic>
#include <cstring>

#include "platform/winsock/host_sockets.h"
#include "platform/winsock/winsock_testing.h"

namespace {

std::atomic<int> startCount{0};
thread_local int lastError = 0;

int Fail(int error) {
  lastError = error;
  return SOCKET_ERROR;
}

// A host result: the value, or SOCKET_ERROR with the error noted.
int Result(int hostResult) { return hostResult < 0 ? Fail(-hostResult) : hostResult; }

bool Started() {
  if (startCount.load() > 0) return true;
  lastError = WSANOTINITIALISED;
  return false;
}

// The host's descriptor behind a socket value; -1 for values no socket can have.
int HostSocket(SOCKET s) { return s <= 0x7FFFFFFF ? static_cast<int>(s) : -1; }

// An IPv4 address of a call, or false (error noted).
bool ReadAddress(const sockaddr* address, int length, uint32_t* ip, uint16_t* port) {
  if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) {
    lastError = WSAEFAULT;
    return false;
  }
  sockaddr_in in;
  memcpy(&in, address, sizeof in);
  if (in.sin_family != AF_INET) {
    lastError = WSAEAFNOSUPPORT;
    return false;
  }
  *ip = in.sin_addr.s_addr;
  *port = in.sin_port;
  return true;
}

// Writes an address out when the caller gave room for one.
void WriteAddress(sockaddr* address, int* length, uint32_t ip, uint16_t port) {
  if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) return;
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = port;
  out.sin_addr.s_addr = ip;
  memcpy(address, &out, sizeof out);
  *length = sizeof out;
}

}  // namespace

int WSAStartup(WORD versionRequested, WSADATA* data) {
  if (data == nullptr) return WSAEFAULT;
  int major = versionRequested & 0xFF, minor = versionRequested >> 8;
  if (major < 1) return WSAVERNOTSUPPORTED;
  memset(data, 0, sizeof *data);
  data->wVersion = major >= 2 && (major > 2 || minor > 2) ? MAKEWORD(2, 2) : versionRequested;
  data->wHighVersion = MAKEWORD(2, 2);
  strcpy(data->szDescription, "WinSock over host sockets");
  strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 0x7FFF;
  data->iMaxUdpDg = 65467;
  ++startCount;
  return 0;
}

int WSACleanup() {
  if (!Started()) return SOCKET_ERROR;
  --startCount;
  return 0;
}

int WSAGetLastError() { return lastError; }

void WSASetLastError(int error) { lastError = error; }

SOCKET socket(int family, int type, int protocol) {
  if (!Started()) return INVALID_SOCKET;
  if (family != AF_INET) return Fail(WSAEAFNOSUPPORT), INVALID_SOCKET;
  if (type != SOCK_STREAM && type != SOCK_DGRAM) return Fail(WSAESOCKTNOSUPPORT), INVALID_SOCKET;
  int wanted = type == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP;
  if (protocol != 0 && protocol != wanted) return Fail(WSAEPROTONOSUPPORT), INVALID_SOCKET;
  int s = host_sockets::Open(type == SOCK_STREAM);
  return s < 0 ? (Fail(-s), INVALID_SOCKET) : static_cast<SOCKET>(s);
}

int closesocket(SOCKET s) {
  if (!Started()) return SOCKET_ERROR;
  return Result(host_sockets::Close(HostSocket(s)));
}

int bind(SOCKET s, const sockaddr* address, int length) {
  if (!Started()) return SOCKET_ERROR;
  uint32_t ip;
  uint16_t port;
  if (!ReadAddress(address, length, &ip, &port)) return SOCKET_ERROR;
  return Result(host_sockets::Bind(HostSocket(s), ip, port));
}

int listen(SOCKET s, int backlog) {
  if (!Started()) return SOCKET_ERROR;
  return Result(host_sockets::Listen(HostSocket(s), backlog));
}

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
  if (!Started()) return INVALID_SOCKET;
  uint32_t ip = 0;
  uint16_t port = 0;
  int client = host_sockets::Accept(HostSocket(s), &ip, &port);
  if (client < 0) return Fail(-client), INVALID_SOCKET;
  WriteAddress(address, length, ip, port);
  return static_cast<SOCKET>(client);
}

int connect(SOCKET s, const sockaddr* address, int length) {
  if (!Started()) return SOCKET_ERROR;
  uint32_t ip;
  uint16_t port;
  if (!ReadAddress(address, length, &ip, &port)) return SOCKET_ERROR;
  return Result(host_sockets::Connect(HostSocket(s), ip, port));
}

int shutdown(SOCKET s, int how) {
  if (!Started()) return SOCKET_ERROR;
  if (how < SD_RECEIVE || how > SD_BOTH) return Fail(WSAEINVAL);
  return Result(host_sockets::Shutdown(HostSocket(s), how));
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
  if (!Started()) return SOCKET_ERROR;
  if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in)))
    return Fail(WSAEFAULT);
  uint32_t ip = 0;
  uint16_t port = 0;
  int result = host_sockets::LocalName(HostSocket(s), &ip, &port);
  if (result < 0) return Fail(-result);
  WriteAddress(address, length, ip, port);
  return 0;
}

int send(SOCKET s, const char* buffer, int length, int) {
  if (!Started()) return SOCKET_ERROR;
  if (buffer == nullptr && length > 0) return Fail(WSAEFAULT);
  return Result(host_sockets::Send(HostSocket(s), buffer, length, nullptr, nullptr));
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  if (!Started()) return SOCKET_ERROR;
  if (buffer == nullptr && length > 0) return Fail(WSAEFAULT);
  return Result(host_sockets::Receive(HostSocket(s), buffer, length, (flags & MSG_PEEK) != 0, nullptr, nullptr));
}

int sendto(SOCKET s, const char* buffer, int length, int, const sockaddr* to, int toLength) {
  if (!Started()) return SOCKET_ERROR;
  if (buffer == nullptr && length > 0) return Fail(WSAEFAULT);
  uint32_t ip;
  uint16_t port;
  if (!ReadAddress(to, toLength, &ip, &port)) return SOCKET_ERROR;
  return Result(host_sockets::Send(HostSocket(s), buffer, length, &ip, &port));
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength) {
  if (!Started()) return SOCKET_ERROR;
  if (buffer == nullptr && length > 0) return Fail(WSAEFAULT);
  uint32_t ip = 0;
  uint16_t port = 0;
  int result = host_sockets::Receive(HostSocket(s), buffer, length, (flags & MSG_PEEK) != 0, &ip, &port);
  if (result >= 0 || result == -WSAEMSGSIZE) WriteAddress(from, fromLength, ip, port);
  return Result(result);
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events) {
  if (!Started()) return SOCKET_ERROR;
  return Result(host_sockets::Select(HostSocket(s), window, message, events));
}

int gethostname(char* name, int length) {
  if (!Started()) return SOCKET_ERROR;
  return Result(host_sockets::HostName(name, length));
}

hostent* gethostbyname(const char* name) {
  if (!Started()) return nullptr;
  constexpr int kMaxAddresses = 16;
  struct Record {
    hostent entry;
    char name[256];
    uint32_t addresses[kMaxAddresses];
    char* list[kMaxAddresses + 1];
    char* aliases[1];
  };
  thread_local Record record;
  if (name == nullptr) return Fail(WSAEFAULT), nullptr;
  int count = host_sockets::Lookup(name, record.addresses, kMaxAddresses);
  if (count < 0) return Fail(-count), nullptr;
  memset(record.name, 0, sizeof record.name);
  strncpy(record.name, name, sizeof record.name - 1);
  for (int i = 0; i < count; ++i) record.list[i] = reinterpret_cast<char*>(&record.addresses[i]);
  record.list[count] = nullptr;
  record.aliases[0] = nullptr;
  record.entry = hostent{record.name, record.aliases, AF_INET, 4, record.list};
  return &record.entry;
}

uint16_t htons(uint16_t value) { return __builtin_bswap16(value); }
uint16_t ntohs(uint16_t value) { return htons(value); }
uint32_t htonl(uint32_t value) { return __builtin_bswap32(value); }
uint32_t ntohl(uint32_t value) { return htonl(value); }

int PlatformOpenSocketCount() { return host_sockets::OpenCount(); }

void PlatformSetLocalAddress(uint32_t address) { host_sockets::SetLocalAddress(address); }
