#include "platform/winsock/host_sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/win32/message_source.h"
#include "platform/win32/win32_sync.h"
#include "platform/winsock/winsock_codes.h"

namespace host_sockets {
namespace {

struct Entry {
  bool stream = true;
  bool nonBlocking = false;
  bool listening = false;
  bool connecting = false;
  bool connected = false;  // a stream that connected or was accepted
  // The asynchronous selection.
  HWND window = nullptr;
  UINT message = 0;
  long events = 0;
  DWORD thread = 0;
  // Events posted and not yet re-enabled.
  bool readPosted = false;
  bool acceptPosted = false;
  bool closePosted = false;
  bool writeArmed = false;  // FD_WRITE is due once the socket can send
  // A stream whose last receive was a peek: FD_READ waits for more bytes
  // than the peek left waiting, so a reader that peeks at an incomplete
  // header is not called again and again for the same bytes.
  bool peekHold = false;
  int peekAvailable = 0;
};

// Guards the table. Calls that may block (a blocking accept, connect, send or
// receive) run without it.
std::mutex tableMutex;
std::map<int, Entry> table;

// Tests only: the address that stands for the any-address (0: none).
std::atomic<uint32_t> localAddress{0};

int WsaError(int error) {
  switch (error) {
    case EINTR: return WSAEINTR;
    case EBADF: return WSAEBADF;
    case EACCES:
    case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE:
    case ENFILE: return WSAEMFILE;
    case EAGAIN: return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEWOULDBLOCK;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE: return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
  }
}

int Failed() { return -WsaError(errno); }

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = port;
  a.sin_addr.s_addr = address;
  return a;
}

void ReadAddress(const sockaddr_in& a, uint32_t* address, uint16_t* port) {
  if (address != nullptr) *address = a.sin_addr.s_addr;
  if (port != nullptr) *port = a.sin_port;
}

int PendingError(int fd) {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

int Available(int fd) {
  int bytes = 0;
  return ioctl(fd, FIONREAD, &bytes) == 0 ? bytes : 0;
}

// The entry of a socket made here, or null.
Entry* Find(int fd) {
  auto it = table.find(fd);
  return it == table.end() ? nullptr : &it->second;
}

// The flags of the entry, read under the lock; false when the socket is not one of ours.
bool Snapshot(int fd, Entry* out) {
  std::lock_guard<std::mutex> lock(tableMutex);
  Entry* e = Find(fd);
  if (e == nullptr) return false;
  *out = *e;
  return true;
}

void Post(int fd, const Entry& e, long event, int hostError) {
  PostMessageA(e.window, e.message, static_cast<WPARAM>(fd),
               WSAMAKESELECTREPLY(static_cast<int>(event), hostError != 0 ? WsaError(hostError) : 0));
}

// Posts what happened on one selected socket since the last look.
void Report(int fd, Entry& e, short ready) {
  if (e.connecting) {
    if (!(ready & (POLLOUT | POLLERR | POLLHUP))) return;
    int error = PendingError(fd);
    e.connecting = false;
    e.connected = error == 0;
    if (e.events & FD_CONNECT) Post(fd, e, FD_CONNECT, error);
    if (!e.connected) return;
    e.writeArmed = true;
  }
  if (e.listening) {
    if ((ready & POLLIN) && (e.events & FD_ACCEPT) && !e.acceptPosted) {
      Post(fd, e, FD_ACCEPT, 0);
      e.acceptPosted = true;
    }
    return;
  }
  if (e.stream && !e.connected) return;
  if ((ready & POLLIN) && (e.events & FD_READ) && !e.readPosted) {
    bool fresh = true;
    if (e.stream) {
      int available = Available(fd);
      fresh = available > 0 && (!e.peekHold || available > e.peekAvailable);
    }
    if (fresh) {
      Post(fd, e, FD_READ, 0);
      e.readPosted = true;
    }
  }
  if (e.stream && !e.closePosted && (ready & (POLLRDHUP | POLLHUP | POLLERR))) {
    if (e.events & FD_CLOSE) Post(fd, e, FD_CLOSE, PendingError(fd));
    e.closePosted = true;
  }
  if ((ready & POLLOUT) && (e.events & FD_WRITE) && e.writeArmed) {
    Post(fd, e, FD_WRITE, 0);
    e.writeArmed = false;
  }
}

// The message source: looks at the calling thread's selected sockets.
void PollSelected() {
  thread_local std::vector<pollfd> polled;
  DWORD thread = GetCurrentThreadId();
  std::lock_guard<std::mutex> lock(tableMutex);
  polled.clear();
  for (auto& [fd, e] : table) {
    if (e.window != nullptr && e.events != 0 && e.thread == thread)
      polled.push_back(pollfd{fd, POLLIN | POLLOUT | POLLRDHUP, 0});
  }
  if (polled.empty() || poll(polled.data(), polled.size(), 0) <= 0) return;
  for (const pollfd& p : polled) {
    if (p.revents == 0) continue;
    Entry* e = Find(p.fd);
    if (e != nullptr) Report(p.fd, *e, p.revents);
  }
}

int Register(int fd, const Entry& entry) {
  std::lock_guard<std::mutex> lock(tableMutex);
  table[fd] = entry;
  return fd;
}

}  // namespace

int Open(bool stream) {
  static std::once_flag sourceAdded;
  std::call_once(sourceAdded, [] { AddMessageSource(PollSelected); });
  int fd = socket(AF_INET, (stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
  if (fd < 0) return Failed();
  Entry e;
  e.stream = stream;
  return Register(fd, e);
}

int Close(int fd) {
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    if (table.erase(fd) == 0) return -WSAENOTSOCK;
  }
  close(fd);
  return 0;
}

int Bind(int fd, uint32_t address, uint16_t port) {
  Entry e;
  if (!Snapshot(fd, &e)) return -WSAENOTSOCK;
  // A port whose last connections still linger may be bound again at once.
  int on = 1;
  if (e.stream) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (address == 0) address = localAddress.load();
  sockaddr_in a = MakeAddress(address, port);
  return bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : Failed();
}

int Listen(int fd, int backlog) {
  std::lock_guard<std::mutex> lock(tableMutex);
  Entry* e = Find(fd);
  if (e == nullptr) return -WSAENOTSOCK;
  if (!e->stream) return -WSAEOPNOTSUPP;
  if (listen(fd, backlog) != 0) return Failed();
  e->listening = true;
  return 0;
}

int Accept(int fd, uint32_t* address, uint16_t* port) {
  Entry listener;
  if (!Snapshot(fd, &listener)) return -WSAENOTSOCK;
  if (!listener.listening) return -WSAEINVAL;
  sockaddr_in a{};
  socklen_t size = sizeof a;
  int flags = SOCK_CLOEXEC | (listener.nonBlocking ? SOCK_NONBLOCK : 0);
  int client = accept4(fd, reinterpret_cast<sockaddr*>(&a), &size, flags);
  int error = errno;
  std::lock_guard<std::mutex> lock(tableMutex);
  // accept re-enables FD_ACCEPT, except when it failed for want of resources:
  // the connection then stays pending, and another FD_ACCEPT at once would
  // only fail the same way, again and again.
  bool exhausted = client < 0 && (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM);
  Entry* e = Find(fd);
  if (e != nullptr && !exhausted) e->acceptPosted = false;
  if (client < 0) return -WsaError(error);
  ReadAddress(a, address, port);
  // The new socket has the listening socket's selection.
  Entry accepted;
  accepted.nonBlocking = listener.nonBlocking;
  accepted.connected = true;
  accepted.window = listener.window;
  accepted.message = listener.message;
  accepted.events = listener.events;
  accepted.thread = listener.thread;
  accepted.writeArmed = true;
  table[client] = accepted;
  return client;
}

int Connect(int fd, uint32_t address, uint16_t port) {
  Entry e;
  if (!Snapshot(fd, &e)) return -WSAENOTSOCK;
  if (e.listening) return -WSAEINVAL;
  // A connection leaves from the address that stands for this machine.
  if (uint32_t own = localAddress.load(); own != 0) {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) == 0 && local.sin_port == 0) {
      local = MakeAddress(own, 0);
      if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return Failed();
    }
  }
  sockaddr_in a = MakeAddress(address, port);
  int result = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int error = errno;
  std::lock_guard<std::mutex> lock(tableMutex);
  Entry* entry = Find(fd);
  if (entry == nullptr) return -WSAENOTSOCK;
  if (entry->nonBlocking && entry->stream && (result == 0 || error == EINPROGRESS)) {
    // A selected socket always learns the outcome through FD_CONNECT.
    entry->connecting = true;
    return -WSAEWOULDBLOCK;
  }
  if (result != 0) return -WsaError(error);
  entry->connected = entry->stream;
  return 0;
}

int Shutdown(int fd, int how) {
  Entry e;
  if (!Snapshot(fd, &e)) return -WSAENOTSOCK;
  int host = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
  return shutdown(fd, host) == 0 ? 0 : Failed();
}

int LocalName(int fd, uint32_t* address, uint16_t* port) {
  Entry e;
  if (!Snapshot(fd, &e)) return -WSAENOTSOCK;
  sockaddr_in a{};
  socklen_t size = sizeof a;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) return Failed();
  ReadAddress(a, address, port);
  return 0;
}

int Send(int fd, const void* bytes, int length, const uint32_t* toAddress, const uint16_t* toPort) {
  Entry e;
  if (!Snapshot(fd, &e)) return -WSAENOTSOCK;
  if (length < 0) return -WSAEINVAL;
  int flags = MSG_NOSIGNAL | (e.nonBlocking ? MSG_DONTWAIT : 0);
  ssize_t sent;
  if (toAddress != nullptr && !e.stream) {
    sockaddr_in a = MakeAddress(*toAddress, *toPort);
    sent = sendto(fd, bytes, static_cast<size_t>(length), flags, reinterpret_cast<sockaddr*>(&a), sizeof a);
  } else {
    sent = send(fd, bytes, static_cast<size_t>(length), flags);
  }
  int error = errno;
  std::lock_guard<std::mutex> lock(tableMutex);
  Entry* entry = Find(fd);
  // FD_WRITE comes again once there is room for what did not go.
  if (entry != nullptr && ((sent < 0 && error == EAGAIN) || (sent >= 0 && sent < length)))
    entry->writeArmed = true;
  return sent < 0 ? -WsaError(error) : static_cast<int>(sent);
}

int Receive(int fd, void* bytes, int length, bool peek, uint32_t* fromAddress, uint16_t* fromPort) {
  Entry e;
  if (!Snapshot(fd, &e)) return -WSAENOTSOCK;
  if (length < 0) return -WSAEINVAL;
  int flags = (peek ? MSG_PEEK : 0) | (e.nonBlocking ? MSG_DONTWAIT : 0);
  // A datagram's own size comes back even when the buffer is smaller.
  if (!e.stream) flags |= MSG_TRUNC;
  sockaddr_in a{};
  socklen_t size = sizeof a;
  ssize_t got = recvfrom(fd, bytes, static_cast<size_t>(length), flags, reinterpret_cast<sockaddr*>(&a), &size);
  int error = errno;
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    Entry* entry = Find(fd);
    if (entry != nullptr) {
      entry->readPosted = false;
      entry->peekHold = entry->stream && peek;
      if (entry->peekHold) entry->peekAvailable = Available(fd);
    }
  }
  if (got < 0) return -WsaError(error);
  if (!e.stream) ReadAddress(a, fromAddress, fromPort);
  if (got > length) return -WSAEMSGSIZE;
  return static_cast<int>(got);
}

int Select(int fd, HWND window, UINT message, long events) {
  DWORD thread = 0;
  if (window != nullptr && events != 0) {
    thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == 0) return -WSAEINVAL;
  }
  std::lock_guard<std::mutex> lock(tableMutex);
  Entry* e = Find(fd);
  if (e == nullptr) return -WSAENOTSOCK;
  if (!e->nonBlocking) {
    int mode = fcntl(fd, F_GETFL);
    if (mode < 0 || fcntl(fd, F_SETFL, mode | O_NONBLOCK) != 0) return Failed();
    e->nonBlocking = true;
  }
  e->window = thread != 0 ? window : nullptr;
  e->message = message;
  e->events = thread != 0 ? events : 0;
  e->thread = thread;
  // A new selection reports again whatever holds already.
  e->readPosted = false;
  e->acceptPosted = false;
  e->closePosted = false;
  e->peekHold = false;
  e->writeArmed = !e->stream || e->connected;
  return 0;
}

int HostName(char* name, int length) {
  if (name == nullptr || length <= 0) return -WSAEFAULT;
  if (gethostname(name, static_cast<size_t>(length)) != 0 || memchr(name, 0, static_cast<size_t>(length)) == nullptr)
    return -WSAEFAULT;
  return 0;
}

int Lookup(const char* name, uint32_t* out, int max) {
  if (name == nullptr || out == nullptr || max <= 0) return -WSAEFAULT;
  int count = 0;
  auto add = [&](uint32_t address) {
    for (int i = 0; i < count; ++i)
      if (out[i] == address) return;
    if (count < max) out[count++] = address;
  };
  char own[256] = {};
  if (gethostname(own, sizeof own - 1) == 0 && strcasecmp(own, name) == 0) {
    // The machine's own name stands for its interfaces, loopback last.
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
      for (int pass = 0; pass < 2; ++pass) {
        for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
          if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
          bool loopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
          if (loopback == (pass == 0)) continue;
          add(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        }
      }
      freeifaddrs(list);
    }
    return count > 0 ? count : -WSAHOST_NOT_FOUND;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0) return -WSAHOST_NOT_FOUND;
  for (addrinfo* i = found; i != nullptr; i = i->ai_next)
    add(reinterpret_cast<const sockaddr_in*>(i->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return count > 0 ? count : -WSAHOST_NOT_FOUND;
}

void SetLocalAddress(uint32_t address) { localAddress.store(address); }

int OpenCount() {
  std::lock_guard<std::mutex> lock(tableMutex);
  return static_cast<int>(table.size());
}

}  // namespace host_sockets
