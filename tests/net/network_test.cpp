#include "tests/net/net_fixture.h"

#include "library/core/memory.h"

namespace {

std::string Pattern(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed)) & 0xFF);
  return s;
}

std::string Recv(int handle, int32_t length) {
  std::string out(static_cast<size_t>(length), '\0');
  EXPECT_EQ(NetWorkRecv(handle, out.data(), length), 0);
  return out;
}

TEST_F(NetWorkTest, ConnectAcceptAndReportTheConnectionOnce) {
  uint16_t port = Listen();
  int client = ConnectTo(port);
  ASSERT_GE(client, 0);
  EXPECT_EQ(client & HandleKindBits, HandleKindNetwork);
  // A second connect to the same address and port answers the same handle.
  EXPECT_EQ(OpenNetWorkConnection(LoopbackAddress(), port), client);

  int server = Accepted();
  ASSERT_GE(server, 0);
  EXPECT_NE(server, client);
  EXPECT_EQ(TakeNewAcceptedNetWork(), -1);
  uint32_t address = 0;
  ASSERT_EQ(GetNetWorkPeerIP(server, &address), 0);
  EXPECT_EQ(address, LoopbackAddress());
  ASSERT_EQ(GetNetWorkPeerIP(client, &address), 0);
  EXPECT_EQ(address, LoopbackAddress());
  EXPECT_EQ(GetNetWorkDataLength(client), 0);
  EXPECT_EQ(GetNetWorkDataLength(server), 0);

  // One listening socket at a time.
  EXPECT_EQ(StartNetWorkListen(0), -1);
  EXPECT_EQ(EndNetWorkListen(), 0);
  EXPECT_EQ(EndNetWorkListen(), -1);
  EXPECT_EQ(StartNetWorkListen(0), 0);
}

// An accepted connection that its peer closes before anyone takes it can
// never be taken: the next look for one closes it, and its socket is gone.
TEST_F(NetWorkTest, AConnectionClosedBeforeItIsTakenIsClosed) {
  uint16_t port = Listen();
  SOCKET early = RawConnect(port);
  ASSERT_TRUE(PumpUntil([] { return NetWorkHandleTable.count == 1; }));
  RawClose(early);
  ASSERT_TRUE(PumpUntil([] {
    for (uint32_t slot = 0; slot < NetWorkHandleTable.top; ++slot)
      if (NetWorkHandleTable.records[slot] != nullptr && !NetWorkHandleTable.records[slot]->connected) return true;
    return false;
  }));
  EXPECT_EQ(PlatformOpenSocketCount(), 2);
  EXPECT_EQ(TakeNewAcceptedNetWork(), -1);
  EXPECT_EQ(NetWorkHandleTable.count, 0u);
  EXPECT_EQ(PlatformOpenSocketCount(), 1) << "the listening socket alone";
  EXPECT_TRUE(LogHas("受け取られる前に切断された接続を閉じます"));
  // One still open is taken as before.
  RawConnect(port);
  EXPECT_GE(Accepted(), 0);
}

TEST_F(NetWorkTest, MessagesGoBothWaysAndAreTakenByExactLengths) {
  int client = ConnectTo(Listen());
  int server = Accepted();
  ASSERT_GE(client, 0);

  ASSERT_EQ(NetWorkSend(client, "hello", 5), 0);
  std::string reply = Pattern(300, 1);
  ASSERT_EQ(NetWorkSend(server, reply.data(), 300), 0);
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 5 && GetNetWorkDataLength(client) == 300; }));

  // More than is waiting: refused, nothing taken.
  char buffer[8];
  EXPECT_EQ(NetWorkRecv(server, buffer, 6), -1);
  EXPECT_EQ(GetNetWorkDataLength(server), 5);
  EXPECT_EQ(NetWorkRecv(server, buffer, -1), -1);
  EXPECT_EQ(Recv(server, 2), "he");
  EXPECT_EQ(Recv(server, 3), "llo");
  EXPECT_EQ(GetNetWorkDataLength(server), 0);
  EXPECT_EQ(Recv(client, 300), reply);
  // A length beyond what a peer accepts as one message is refused untouched.
  EXPECT_EQ(NetWorkSend(client, buffer, 0xFFFFFFFFu), -1);
  EXPECT_EQ(NetWorkSend(client, buffer, NetWorkMessageLimit + 1), -1);
  EXPECT_EQ(Record(client)->sendRing.dataLength, 0);

  // A message larger than the socket takes at once goes out as room comes.
  std::string large = Pattern(3 * 1024 * 1024 + 17, 5);
  ASSERT_EQ(NetWorkSend(client, large.data(), static_cast<uint32_t>(large.size())), 0);
  ASSERT_EQ(NetWorkSend(client, "tail", 4), 0);
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == static_cast<int>(large.size()) + 4; }));
  EXPECT_EQ(Recv(server, static_cast<int32_t>(large.size())), large);
  EXPECT_EQ(Recv(server, 4), "tail");
}

TEST_F(NetWorkTest, EachSendAThatFindsTheRingEmptyIsOneMessageOnTheWire) {
  SOCKET peer = RawConnect(Listen());
  int server = Accepted();
  std::string ten = Pattern(10, 2), twenty = Pattern(20, 3);
  ASSERT_EQ(NetWorkSend(server, ten.data(), 10), 0);
  ASSERT_EQ(NetWorkSend(server, twenty.data(), 20), 0);
  EXPECT_EQ(RawReceive(peer, 38), Framed(ten) + Framed(twenty));
}

TEST_F(NetWorkTest, BytesArrivingOneAtATimeMakeOneMessage) {
  SOCKET peer = RawConnect(Listen());
  int server = Accepted();
  std::string wire = Framed("0123456789");
  for (size_t i = 0; i + 1 < wire.size(); ++i) {
    RawSend(peer, wire.substr(i, 1));
    PumpAWhile();
    ASSERT_EQ(GetNetWorkDataLength(server), 0) << "after byte " << i;
  }
  RawSend(peer, wire.substr(wire.size() - 1));
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 10; }));
  EXPECT_EQ(Recv(server, 10), "0123456789");
}

TEST_F(NetWorkTest, ReceiveNeverHandsOutPartOfAMessageStillArriving) {
  SOCKET peer = RawConnect(Listen());
  int server = Accepted();
  // A whole message of 5 bytes, then the header and 6 of the 10 bytes of the next.
  RawSend(peer, Framed("AAAAA") + Framed("0123456789").substr(0, 10));
  NetWorkHandleRecord* r = Record(server);
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 5 && r->receiveRing.dataLength == 11; }));
  char buffer[16];
  EXPECT_EQ(NetWorkRecv(server, buffer, 8), -1);
  EXPECT_EQ(Recv(server, 5), "AAAAA");
  EXPECT_EQ(NetWorkRecv(server, buffer, 1), -1);
  RawSend(peer, "6789");
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 10; }));
  EXPECT_EQ(Recv(server, 10), "0123456789");
}

TEST_F(NetWorkTest, APeerCloseClearsTheConnectedStateAndKeepsWhatArrived) {
  SOCKET peer = RawConnect(Listen());
  int server = Accepted();
  RawSend(peer, Framed("bye"));
  RawClose(peer);
  ASSERT_TRUE(PumpUntil([&] { return Record(server)->connected == 0; }));
  EXPECT_EQ(NetWorkSend(server, "x", 1), -1);
  EXPECT_EQ(GetNetWorkDataLength(server), 3);
  EXPECT_EQ(Recv(server, 3), "bye");
  EXPECT_FALSE(LogHas("受信途中のメッセージを残して接続が切断されました"));
}

// CloseNetWork ends a connection at both ends: what was sent before still
// arrives, then the end of the stream.
TEST_F(NetWorkTest, CloseNetWorkEndsAConnection) {
  SOCKET peer = RawConnect(Listen());
  int server = Accepted();
  ASSERT_EQ(NetWorkSend(server, "last", 4), 0);
  EXPECT_EQ(CloseNetWork(server), 0);
  EXPECT_EQ(GetNetWorkDataLength(server), -1);
  EXPECT_EQ(CloseNetWork(server), -1);
  EXPECT_EQ(CloseNetWork(-1), -1);
  EXPECT_EQ(RawReceive(peer, 8), Framed("last"));
  char byte;
  EXPECT_TRUE(PumpUntil([&] { return recv(peer, &byte, 1, 0) == 0; }));
}

// A connection given up closes at once: it does not wait for the rest of a
// message its peer holds back (here 1 of 100 bytes sent), as a close with
// the drains does, up to its second. Either way the record goes and the peer
// sees the end of the stream.
TEST_F(NetWorkTest, AConnectionGivenUpClosesWithoutTheDrains) {
  uint16_t port = Listen();
  const struct {
    const char* name;
    int (*close)(int);
    int64_t waitedMs;
  } cases[] = {{"at once", CloseNetWorkAtOnce, 0}, {"with the drains", CloseNetWork, 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SOCKET peer = RawConnect(port);
    int server = Accepted();
    RawSend(peer, std::string("\x64\x00\x00\x00", 4) + "x");
    ASSERT_TRUE(PumpUntil([&] { return Record(server)->receiveMissing == 99; }));
    const int64_t start = PlatformCounterMicroseconds();
    EXPECT_EQ(c.close(server), 0);
    EXPECT_EQ((PlatformCounterMicroseconds() - start) / 1000, c.waitedMs);
    EXPECT_EQ(Record(server), nullptr);
    EXPECT_EQ(c.close(server), -1);
    char byte;
    EXPECT_TRUE(PumpUntil([&] { return recv(peer, &byte, 1, 0) == 0; }));
    RawClose(peer);
  }
  EXPECT_EQ(CloseNetWorkAtOnce(-1), -1);
  EXPECT_EQ(NetWorkHandleTable.count, 0u);
  EXPECT_EQ(PlatformOpenSocketCount(), 1) << "the listening socket alone";
}

// A connection still being made is given up at once by its address and port:
// its socket is closed, nothing is logged as a failure, and nothing is left
// for the message pump to give up later. Connections already made, and
// attempts to other ports, are not touched.
TEST_F(NetWorkTest, CancellingAConnectionBeingMadeClosesItAtOnce) {
  // A listening socket whose queue is full (one connection made, none
  // accepted) leaves the next one unanswered.
  SOCKET full = socket(AF_INET, SOCK_STREAM, 0);
  peers.push_back(full);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = LoopbackAddress();
  ASSERT_EQ(bind(full, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  ASSERT_EQ(listen(full, 0), 0);
  const uint16_t silent = PortOfSocket(full);
  RawConnect(silent);
  const int rawSockets = PlatformOpenSocketCount();
  const uint16_t listening = Listen();
  int made = ConnectTo(listening);
  ASSERT_GE(made, 0);
  int server = Accepted();
  ASSERT_GE(server, 0);
  const int before = PlatformOpenSocketCount();

  ASSERT_EQ(OpenNetWorkConnection(LoopbackAddress(), silent), NetWorkConnecting);
  EXPECT_EQ(PlatformOpenSocketCount(), before + 1);
  EXPECT_EQ(CancelNetWorkConnection(LoopbackAddress(), silent + 1), -1);
  EXPECT_EQ(CancelNetWorkConnection(LoopbackAddress(), listening), -1) << "made and answered";
  EXPECT_EQ(PlatformOpenSocketCount(), before + 1);
  EXPECT_EQ(CancelNetWorkConnection(LoopbackAddress(), silent), 0);
  EXPECT_EQ(PlatformOpenSocketCount(), before);
  EXPECT_EQ(CancelNetWorkConnection(LoopbackAddress(), silent), -1);

  PlatformAdvanceVirtualClock(5000 * 1000);
  PumpAWhile();
  EXPECT_FALSE(LogHas("への接続に失敗しました"));
  // The connection made is as it was; a new attempt starts afresh.
  ASSERT_EQ(NetWorkSend(made, "ok", 2), 0);
  EXPECT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 2; }));
  EXPECT_EQ(OpenNetWorkConnection(LoopbackAddress(), silent), NetWorkConnecting);
  EXPECT_EQ(CancelNetWorkConnection(LoopbackAddress(), silent), 0);
  EXPECT_EQ(NetWorkHandleTable.count, 2u);
  EXPECT_EQ(PlatformOpenSocketCount(), rawSockets + 3);
}

// A broken or hostile peer: lengths no message can have and bytes that are no
// messages close the connection; a message cut off by the peer's close is
// dropped, and the whole ones before it stay readable.
TEST_F(NetWorkTest, BrokenPeersCannotHurtTheProcess) {
  uint16_t port = Listen();
  struct Case {
    const char* name;
    std::string bytes;
    bool closes;  // the peer closes after sending
    const char* logged;
  };
  const std::string overLimit("\x01\x00\x00\x01", 4);  // 0x01000001: one byte past the limit
  const Case cases[] = {
      {"length 0xFFFFFFFF", Framed("ok") + "\xFF\xFF\xFF\xFF" + "xyz", false, "上限を超えています"},
      {"length beyond the limit", Framed("ok") + overLimit + "xyz", false, "上限を超えています"},
      {"text", Framed("ok") + "GET / HTTP/1.1\r\nHost: zr\r\n\r\n", false, "上限を超えています"},
      {"close inside a header", Framed("ok") + std::string("\x0A\x00", 2), true, "受信途中のメッセージ"},
      {"close inside a body", Framed("ok") + Framed("0123456789").substr(0, 8), true, "受信途中のメッセージ"},
  };
  static_assert(NetWorkMessageLimit == 0x01000000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SOCKET peer = RawConnect(port);
    int server = Accepted();
    NetWorkHandleRecord* r = Record(server);
    ASSERT_NE(r, nullptr);
    int logged = LogCount(c.logged);
    RawSend(peer, c.bytes);
    if (c.closes) {
      RawClose(peer);
      ASSERT_TRUE(PumpUntil([&] { return r->connected == 0 && LogCount(c.logged) == logged + 1; }));
      EXPECT_EQ(r->receiveMissing, 0);
      EXPECT_EQ(GetNetWorkDataLength(server), 2);
      EXPECT_EQ(Recv(server, 2), "ok");
      EXPECT_EQ(r->receiveRing.dataLength, 0);
      EXPECT_EQ(CloseNetWorkConnection(server), 0);
    } else {
      // The pump closes the handle in error.
      ASSERT_TRUE(PumpUntil([&] { return NetWorkHandleTable.Find(server) == nullptr; }));
      EXPECT_EQ(LogCount(c.logged), logged + 1);
      EXPECT_EQ(GetNetWorkDataLength(server), -1);
      // The peer sees the connection end (reset, as bytes were left unread).
      char byte;
      EXPECT_TRUE(PumpUntil([&] {
        int got = recv(peer, &byte, 1, 0);
        return got == 0 || (got == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK);
      }));
      RawClose(peer);
    }
  }
  EXPECT_EQ(NetWorkHandleTable.count, 0u);
}

TEST_F(NetWorkTest, HandleChecksRefuseForeignStaleAndOutOfRangeHandles) {
  int client = ConnectTo(Listen());
  int server = Accepted();
  int udp = CreateUdpNetWork(-1);
  ASSERT_GE(udp, 0);
  ASSERT_EQ(CloseNetWorkConnection(server), 0);
  int check = (client & HandleCheckBits);
  const struct {
    const char* name;
    int handle;
  } tcpCases[] = {
      {"none", -1},
      {"a graph handle", (client & ~HandleKindBits) | HandleKindGraph},
      {"slot equal to the table size", HandleKindNetwork | check | 8192},
      {"the last slot a handle can name", HandleKindNetwork | check | 0xFFFF},
      {"closed", server},
      {"stale check number", client ^ 0x00010000},
      {"a UDP handle", udp},
  };
  char buffer[4] = {};
  uint32_t address;
  for (const auto& c : tcpCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GetNetWorkDataLength(c.handle), -1);
    EXPECT_EQ(NetWorkRecv(c.handle, buffer, 0), -1);
    EXPECT_EQ(NetWorkSend(c.handle, buffer, 1), -1);
    EXPECT_EQ(GetNetWorkPeerIP(c.handle, &address), -1);
    EXPECT_EQ(CloseNetWorkConnection(c.handle), -1);
  }
  for (int handle : {client, HandleKindNetwork | (udp & HandleCheckBits) | 8192}) {
    EXPECT_EQ(UdpNetWorkCheckRecv(handle), -1);
    EXPECT_EQ(UdpNetWorkSend(handle, LoopbackAddress(), 1, buffer, 1), -1);
    EXPECT_EQ(UdpNetWorkRecv(handle, nullptr, nullptr, buffer, 4, 0), -1);
    EXPECT_EQ(DeleteUdpNetWork(handle), -1);
  }
  EXPECT_EQ(GetNetWorkDataLength(client), 0);
  EXPECT_EQ(UdpNetWorkCheckRecv(udp), 0);
}

TEST_F(NetWorkTest, HandlesTakeTheSharedCheckCounterWhichWraps) {
  int first = CreateUdpNetWork(-1);
  EXPECT_EQ(first, 0x30000000);  // check 0, slot 0
  EXPECT_EQ(CreateUdpNetWork(-1), 0x30010001);
  NetWorkHandleTable.checkCounter = 2047;
  EXPECT_EQ(CreateUdpNetWork(-1), 0x37FF0002);
  Listen();  // the listening socket takes check number 0
  EXPECT_EQ(CreateUdpNetWork(-1), 0x30010003);
  // A freed slot below the top is taken first.
  ASSERT_EQ(DeleteUdpNetWork(first), 0);
  EXPECT_EQ(CreateUdpNetWork(-1), 0x30020000);
}

TEST_F(NetWorkTest, UdpSendReceivePeekAndCheck) {
  int a = CreateUdpNetWork(0);
  int b = CreateUdpNetWork(0);
  int unbound = CreateUdpNetWork(-1);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  ASSERT_GE(unbound, 0);
  uint16_t portA = PortOfSocket(Record(a)->socket);
  uint16_t portB = PortOfSocket(Record(b)->socket);

  EXPECT_EQ(UdpNetWorkCheckRecv(b), 0);
  ASSERT_EQ(UdpNetWorkSend(a, LoopbackAddress(), portB, "ping", 4), 4);
  ASSERT_TRUE(PumpUntil([&] { return UdpNetWorkCheckRecv(b) == 1; }));
  char buffer[64] = {};
  uint8_t from[4] = {};
  uint32_t fromPort = 0;
  EXPECT_EQ(UdpNetWorkRecv(b, from, &fromPort, buffer, sizeof buffer, 1), 4);
  EXPECT_EQ(UdpNetWorkRecv(b, from, &fromPort, buffer, sizeof buffer, 0), 4);
  EXPECT_EQ(std::string(buffer, 4), "ping");
  EXPECT_EQ(from[0], 127);
  EXPECT_EQ(from[3], 1);
  EXPECT_EQ(fromPort, portA);
  EXPECT_EQ(UdpNetWorkCheckRecv(b), 0);
  EXPECT_EQ(UdpNetWorkRecv(b, nullptr, nullptr, buffer, sizeof buffer, 0), -3);

  // An unbound socket sends to a given port, but has no port of its own.
  ASSERT_EQ(UdpNetWorkSend(unbound, LoopbackAddress(), portB, "hi", 2), 2);
  EXPECT_EQ(UdpNetWorkSend(unbound, LoopbackAddress(), -1, "hi", 2), -1);
  ASSERT_TRUE(PumpUntil([&] { return UdpNetWorkCheckRecv(b) == 1; }));
  EXPECT_EQ(UdpNetWorkRecv(b, nullptr, nullptr, buffer, sizeof buffer, 0), 2);

  // Too large for the buffer, too large for a datagram.
  std::string hundred = Pattern(100, 4);
  ASSERT_EQ(UdpNetWorkSend(a, LoopbackAddress(), portB, hundred.data(), 100), 100);
  ASSERT_TRUE(PumpUntil([&] { return UdpNetWorkCheckRecv(b) == 1; }));
  EXPECT_EQ(UdpNetWorkRecv(b, nullptr, nullptr, buffer, 16, 0), -2);
  std::string huge(70000, 'x');
  EXPECT_EQ(UdpNetWorkSend(a, LoopbackAddress(), portB, huge.data(), static_cast<int32_t>(huge.size())), -2);

  EXPECT_EQ(DeleteUdpNetWork(a), 0);
  EXPECT_EQ(DeleteUdpNetWork(a), -1);
}

TEST_F(NetWorkTest, UnframedConnectionsPassBytesStraightThrough) {
  NetWork.rawMode = 1;
  SOCKET peer = RawConnect(Listen());
  int server = Accepted();
  EXPECT_EQ(NetWorkSend(server, "abc", 3), 3);
  EXPECT_EQ(RawReceive(peer, 3), "abc");
  RawSend(peer, "xy");
  ASSERT_TRUE(PumpUntil([&] { return GetNetWorkDataLength(server) == 1; }));
  char buffer[8];
  EXPECT_EQ(NetWorkRecv(server, buffer, sizeof buffer), 2);
  EXPECT_EQ(std::string(buffer, 2), "xy");
}

TEST_F(NetWorkTest, AStartThatFailsLeavesNothingAndIsTriedAgain) {
  // The window class taken already: the start fails at registration.
  WNDCLASSEXA taken{};
  taken.cbSize = sizeof taken;
  taken.lpfnWndProc = DefWindowProcA;
  taken.lpszClassName = "WinSockProc";
  ASSERT_NE(RegisterClassExA(&taken), 0);
  EXPECT_EQ(StartNetWorkListen(0), -1);
  EXPECT_EQ(CreateUdpNetWork(-1), -1);
  EXPECT_EQ(NetWork.started, 0);
  EXPECT_EQ(LogCount("ネットワーク処理用の子ウインドウクラスの登録に失敗しました"), 2);
  ASSERT_TRUE(UnregisterClassA("WinSockProc", nullptr));
  EXPECT_EQ(StartNetWorkListen(0), 0);
}

TEST_F(NetWorkTest, ShutDownClosesEverySocketAndFreesEverything) {
  uint16_t port = Listen();
  int client = ConnectTo(port);
  int server = Accepted();
  ASSERT_GE(CreateUdpNetWork(0), 0);
  ASSERT_EQ(NetWorkSend(client, "queued", 6), 0);
  ASSERT_GE(server, 0);
  SOCKET peer = RawConnect(port);  // waits unaccepted
  ASSERT_EQ(PlatformOpenSocketCount(), 5);
  RawClose(peer);

  EndLibrary();
  EXPECT_EQ(PlatformOpenSocketCount(), 0);
  EXPECT_EQ(TrackedBlockCount(), 0);
  EXPECT_TRUE(LogHas("ネットワーク関連の終了処理は完了しました"));

  // The next start makes its window anew.
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(StartNetWorkListen(0), 0);
  EXPECT_GE(CreateUdpNetWork(-1), 0);
}

}  // namespace
