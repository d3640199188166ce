// The WinSock 1.1 stand-in: IPv4 TCP and UDP sockets over the host's
// sockets, with asynchronous selection to a window.
//
// A socket is blocking until WSAAsyncSelect gives it a window; from then on it
// is non-blocking and its events arrive as the chosen window message, wParam
// the socket and lParam WSAMAKESELECTREPLY(event, error). The events are found
// by polling: every PeekMessageA on the window's thread looks at the selected
// sockets of that thread and posts what has happened since. As with WinSock,
// each event is posted once and re-enabled by the call that consumes it:
// FD_READ by recv/recvfrom (a peek that leaves the same bytes waiting re-enables
// it only when more arrive), FD_ACCEPT by accept, FD_WRITE by a send that
// would block or went out only in part; FD_CONNECT and FD_CLOSE come once.
//
// These names are those of the host's socket interface as well, so this
// header and the host's socket headers never meet in one source file.
#pragma once

#include "platform/win32/win32_types.h"
#include "platform/win32/win32_window.h"
#include "platform/winsock/winsock_codes.h"
// The tests' settings and counts, which name no socket type.
#include "platform/winsock/winsock_testing.h"

typedef uintptr_t SOCKET;

constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int IPPROTO_TCP = 6;
constexpr int IPPROTO_UDP = 17;
constexpr uint32_t INADDR_ANY = 0;
constexpr int MSG_PEEK = 0x2;
constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

struct in_addr {
  uint32_t s_addr;  // network byte order
};

struct sockaddr {
  uint16_t sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  uint16_t sin_port;  // network byte order
  in_addr sin_addr;
  char sin_zero[8];
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;  // each entry h_length bytes, network order; null-terminated
};

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};

inline constexpr WORD MAKEWORD(int low, int high) {
  return static_cast<WORD>((low & 0xFF) | ((high & 0xFF) << 8));
}

// Versions 1.0 to 2.2 are offered; the version agreed is the one asked for,
// at most 2.2. Every WSAStartup needs its WSACleanup; sockets are refused
// (WSANOTINITIALISED) while no start is outstanding.
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
// The calling thread's error of the last failed call.
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* length);
// On a selected socket: SOCKET_ERROR with WSAEWOULDBLOCK at once, then
// FD_CONNECT with the outcome (followed by FD_WRITE when it succeeded).
int connect(SOCKET s, const sockaddr* address, int length);
int shutdown(SOCKET s, int how);
int getsockname(SOCKET s, sockaddr* address, int* length);
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength);
// A datagram larger than the buffer: the buffer is filled, the call fails with
// WSAEMSGSIZE (and without MSG_PEEK the datagram is gone).
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
// window null or events 0: cancels the selection (the socket stays non-blocking).
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events);

int gethostname(char* name, int length);
// The own host name answers the addresses of the machine's IPv4 interfaces
// (loopback last); other names are looked up. The record belongs to the
// calling thread until its next call.
hostent* gethostbyname(const char* name);

uint16_t htons(uint16_t value);
uint16_t ntohs(uint16_t value);
uint32_t htonl(uint32_t value);
uint32_t ntohl(uint32_t value);
