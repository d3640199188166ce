#include <atomic>
#include <thread>

#include "tests/net/net_fixture.h"

namespace {

// Closing a connection first sends what waits in its send ring, while a peer
// on another thread reads the stream to its end.
TEST_F(NetWorkTest, ClosingDrainsTheSendRing) {
  uint16_t port = Listen();
  SOCKET peer = socket(AF_INET, SOCK_STREAM, 0);  // blocking: read on its own thread
  peers.push_back(peer);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = LoopbackAddress();
  ASSERT_EQ(connect(peer, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  int server = Accepted();
  NetWorkHandleRecord* r = Record(server);
  ASSERT_NE(r, nullptr);

  // Queue until the socket takes no more, so the ring holds the rest. Small
  // messages keep what the ring holds small: the close has a second to hand
  // it over, and the reader may start late on a busy machine.
  std::string sent;
  for (int i = 0; i < 1024 && r->sendRing.dataLength == 0; ++i) {
    std::string chunk(1 << 16, static_cast<char>('a' + i % 26));
    ASSERT_EQ(NetWorkSend(server, chunk.data(), static_cast<uint32_t>(chunk.size())), 0);
    sent += chunk;
  }
  ASSERT_GT(r->sendRing.dataLength, 0);

  std::string wire;
  std::thread reader([&] {
    char buffer[65536];
    int got;
    while ((got = recv(peer, buffer, sizeof buffer, 0)) > 0) wire.append(buffer, static_cast<size_t>(got));
  });
  EXPECT_EQ(CloseNetWorkConnection(server), 0);
  reader.join();

  // The stream is whole messages that carry every byte queued, in order.
  std::string bodies;
  size_t at = 0;
  while (at + 4 <= wire.size()) {
    uint32_t length = static_cast<uint8_t>(wire[at]) | static_cast<uint8_t>(wire[at + 1]) << 8 |
                      static_cast<uint8_t>(wire[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(wire[at + 3])) << 24;
    ASSERT_LE(at + 4 + length, wire.size());
    bodies.append(wire, at + 4, length);
    at += 4 + length;
  }
  EXPECT_EQ(at, wire.size());
  EXPECT_TRUE(bodies == sent) << bodies.size() << " of " << sent.size() << " bytes";
}

// A connect that the peer refuses fails at the refusal. One that gets no
// answer goes on over the calls, none of which waits, until 2000 ms of the
// clock have passed since the first; one that nobody asks about again is
// given up by the message pump a second later. None leaves anything behind.
TEST_F(NetWorkTest, AFailedConnectEndsAtTheRefusalOrTheTimeOutAndLeavesNothingBehind) {
  // A port that is bound but does not listen refuses connections.
  SOCKET bound = socket(AF_INET, SOCK_STREAM, 0);
  peers.push_back(bound);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = LoopbackAddress();
  ASSERT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  const char kFailure[] = "127.0.0.1 への接続に失敗しました。";

  EXPECT_EQ(ConnectTo(PortOfSocket(bound)), -1);
  EXPECT_EQ(LogCount(kFailure), 1);
  EXPECT_EQ(NetWorkHandleTable.count, 0u);
  EXPECT_EQ(NetWork.head.next, &NetWork.tail);
  EXPECT_EQ(PlatformOpenSocketCount(), 1);  // the bound socket only

  // A listening socket whose queue is full (one connection made, none
  // accepted) drops the next one unanswered.
  SOCKET full = socket(AF_INET, SOCK_STREAM, 0);
  peers.push_back(full);
  ASSERT_EQ(bind(full, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  ASSERT_EQ(listen(full, 0), 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(PortOfSocket(full));
  to.sin_addr.s_addr = LoopbackAddress();
  SOCKET queued = socket(AF_INET, SOCK_STREAM, 0);
  peers.push_back(queued);
  ASSERT_EQ(connect(queued, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  const uint16_t silent = PortOfSocket(full);

  // Asked again: the time-out counts from the first call.
  EXPECT_EQ(OpenNetWorkConnection(LoopbackAddress(), silent), NetWorkConnecting);
  EXPECT_EQ(PlatformOpenSocketCount(), 4);
  PlatformAdvanceVirtualClock(1900 * 1000);
  PumpAWhile();
  EXPECT_EQ(OpenNetWorkConnection(LoopbackAddress(), silent), NetWorkConnecting);
  PlatformAdvanceVirtualClock(100 * 1000);
  EXPECT_EQ(OpenNetWorkConnection(LoopbackAddress(), silent), -1);
  EXPECT_EQ(LogCount(kFailure), 2);
  EXPECT_EQ(NetWorkHandleTable.count, 0u);
  EXPECT_EQ(NetWork.head.next, &NetWork.tail);
  EXPECT_EQ(PlatformOpenSocketCount(), 3);  // the raw peers only

  // Left behind: the message pump gives it up a second after its time-out.
  EXPECT_EQ(OpenNetWorkConnection(LoopbackAddress(), silent), NetWorkConnecting);
  PlatformAdvanceVirtualClock(2500 * 1000);
  PumpAWhile();
  EXPECT_EQ(PlatformOpenSocketCount(), 4);
  PlatformAdvanceVirtualClock(600 * 1000);
  ProcessWindowMessages();
  EXPECT_EQ(LogCount(kFailure), 3);
  EXPECT_EQ(NetWorkHandleTable.count, 0u);
  EXPECT_EQ(NetWork.head.next, &NetWork.tail);
  EXPECT_EQ(PlatformOpenSocketCount(), 3);
}

}  // namespace
