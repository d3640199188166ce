// Network framing: a peer of the target's own sends bytes over loopback to
// an accepted connection, in chunks, while the target takes whatever the
// library reports waiting, in reads of its own size; then the peer closes.
// What the library hands out must be exactly the bodies of the complete
// messages, whole and in order (a message cut off by the close never shows);
// after a length no message may have (or one the receive ring cannot hold
// beside what waits), the connection may be in error, and what came out
// before is a start of those bodies.
//
// Input: the peer's chunk size (at least a 256th of the wire), the read size, a mode byte, then for mode 0
// the wire bytes as they are; for mode 1 messages the target frames itself:
// each a length byte (bit 7: the length is that times 512, filled with a
// pattern) and its bytes, the last one cut short when bit 1 of the mode is
// set.
#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "fuzz/support/fuzz_support.h"
#include "library/core/message_pump.h"
#include "library/net/network_internal.h"

namespace {

uint16_t ListenPort() {
  static uint16_t port = 0;
  if (port != 0) return port;
  FUZZ_CHECK(StartNetWorkListen(0) == 0 && NetWork.listener != nullptr, "no listening socket");
  sockaddr_in a{};
  int length = sizeof a;
  getsockname(NetWork.listener->socket, reinterpret_cast<sockaddr*>(&a), &length);
  port = ntohs(a.sin_port);
  return port;
}

void PutLength(std::vector<uint8_t>* wire, uint32_t n) {
  for (int i = 0; i < 4; ++i) wire->push_back(static_cast<uint8_t>(n >> (8 * i)));
}

// The wire bytes the input describes.
std::vector<uint8_t> MakeWire(FuzzInput& in, uint8_t mode) {
  if ((mode & 1) == 0) return in.Rest();
  std::vector<uint8_t> wire;
  while (!in.Empty()) {
    const uint8_t head = in.Byte();
    std::vector<uint8_t> body;
    if (head & 0x80) {
      if (wire.size() > (256u << 10)) continue;  // a quarter megabyte on the wire is plenty
      body.resize((head & 0x7F) * 512u);
      for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + head);
    } else {
      body = in.Take(head);
    }
    PutLength(&wire, static_cast<uint32_t>(body.size()));
    wire.insert(wire.end(), body.begin(), body.end());
  }
  if ((mode & 2) && wire.size() > 4) wire.pop_back();
  return wire;
}

// The plain reading of the wire: the bodies of the complete messages, and
// whether a length may put the connection in error: one beyond the limit
// does, and so may one that the receive ring cannot hold beside the bodies
// before it still waiting to be read.
std::vector<uint8_t> CompleteBodies(const std::vector<uint8_t>& wire, bool* error) {
  std::vector<uint8_t> bodies;
  *error = false;
  size_t at = 0;
  while (at + 4 <= wire.size()) {
    const uint32_t n = wire[at] | wire[at + 1] << 8 | wire[at + 2] << 16 | static_cast<uint32_t>(wire[at + 3]) << 24;
    if (static_cast<uint64_t>(n) + bodies.size() > NetWorkMessageLimit) {
      *error = true;
      break;
    }
    if (wire.size() - at - 4 < n) break;
    bodies.insert(bodies.end(), wire.begin() + static_cast<ptrdiff_t>(at + 4),
                  wire.begin() + static_cast<ptrdiff_t>(at + 4 + n));
    at += 4 + n;
  }
  return bodies;
}

// Takes what the library reports waiting, in reads of up to readSize bytes.
void TakeWaiting(int handle, uint32_t readSize, std::vector<uint8_t>* got) {
  for (;;) {
    const int waiting = GetNetWorkDataLength(handle);
    if (waiting <= 0) return;
    // Reads of the input's size, but no more than some sixteen for what waits.
    const int n = std::min<int>(waiting, std::max<int>(static_cast<int>(readSize), waiting / 16));
    std::vector<uint8_t> buffer(static_cast<size_t>(n));
    FUZZ_CHECK(NetWorkRecv(handle, buffer.data(), n) == 0, "bytes reported waiting could not be read");
    got->insert(got->end(), buffer.begin(), buffer.end());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartLibraryForFuzzing();
  WSADATA data;
  WSAStartup(MAKEWORD(1, 1), &data);  // the peer's own
  ListenPort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  size_t chunk = 1 + in.Byte() * 16u;
  const uint32_t readSize = 1 + in.U16();
  const uint8_t mode = in.Byte();
  const std::vector<uint8_t> wire = MakeWire(in, mode);
  chunk = std::max(chunk, wire.size() / 256 + 1);  // at most some 256 sends an input

  const int socketsBefore = PlatformOpenSocketCount();
  SOCKET peer = socket(AF_INET, SOCK_STREAM, 0);
  FUZZ_CHECK(peer != INVALID_SOCKET, "no socket for the peer");
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(ListenPort());
  const uint8_t loopback[4] = {127, 0, 0, 1};
  std::memcpy(&to.sin_addr.s_addr, loopback, 4);
  FUZZ_CHECK(connect(peer, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0, "the peer did not connect");
  int handle = -1;
  for (int i = 0; i < 20000 && handle == -1; ++i) {
    ProcessWindowMessages();
    handle = TakeNewAcceptedNetWork();
    if (handle == -1 && i > 100) std::this_thread::yield();
  }
  FUZZ_CHECK(handle != -1, "the connection was not accepted");
  WSAAsyncSelect(peer, nullptr, 0, 0);  // non-blocking from here on

  std::vector<uint8_t> got;
  bool refused = false;  // the library closed the connection (a length in error)
  for (size_t at = 0; at < wire.size() && !refused; at += chunk) {
    const size_t n = std::min(chunk, wire.size() - at);
    size_t sent = 0;
    for (int stalled = 0; sent < n; ++stalled) {
      const int r = send(peer, reinterpret_cast<const char*>(wire.data() + at + sent), static_cast<int>(n - sent), 0);
      if (r > 0) {
        sent += static_cast<size_t>(r);
        stalled = 0;
      } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
        refused = true;
        break;
      }
      FUZZ_CHECK(stalled < 100000, "the peer could not send for long: " + std::to_string(at + sent) + " of " +
                                       std::to_string(wire.size()) + " bytes sent");
      // The library drains while the peer's buffer is full.
      ProcessWindowMessages();
      TakeWaiting(handle, readSize, &got);
      if (r <= 0) std::this_thread::yield();
    }
  }
  closesocket(peer);
  // Until the library has seen the close, everything sent may still come.
  // (The pump closes a connection in error: the record is looked up anew.)
  auto open = [handle] {
    const NetWorkHandleRecord* r = NetWorkHandleTable.Find(handle);
    return r != nullptr && r->valid && r->connected && !r->error;
  };
  for (int i = 0; i < 200000 && open(); ++i) {
    ProcessWindowMessages();
    TakeWaiting(handle, readSize, &got);
    if (i > 100) std::this_thread::yield();
  }
  FUZZ_CHECK(!open(), "the peer's close was never seen");
  TakeWaiting(handle, readSize, &got);

  bool error = false;
  const std::vector<uint8_t> expected = CompleteBodies(wire, &error);
  FUZZ_CHECK(!refused || error, "the connection went down without a length in error");
  if (error) {
    FUZZ_CHECK(got.size() <= expected.size() && std::equal(got.begin(), got.end(), expected.begin()),
               "before the error, bytes other than the messages' came out");
  } else {
    FUZZ_CHECK(got == expected, "the messages came out otherwise: " + std::to_string(got.size()) + " bytes, " +
                                    std::to_string(expected.size()) + " expected");
  }
  CloseNetWorkConnection(handle);
  FUZZ_CHECK(PlatformOpenSocketCount() == socketsBefore, "sockets left open");
  return 0;
}
