// The LAN lobby and its link test against the tests' own peer (lobby_peer.h):
// the records each side sends and takes, a hostile peer's records and
// datagrams, leaving from every step, and two games that meet over loopback.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <new>
#include <sstream>
#include <thread>

#include "game/board/lan_lobby.h"
#include "game/shell/game_main.h"
#include "library/input/key_input.h"
#include "platform/win32/win32_time.h"
#include "platform/win32/win32_window.h"
#include "platform/winsock/winsock_testing.h"
#include "tests/game/harness/game_harness.h"
#include "tests/game/lobby_peer.h"

namespace {

using namespace lobby_peer;

constexpr int kEnterKey = 0x1C;
constexpr uint8_t kNoAddress[4] = {255, 255, 255, 255};

std::string Octets(const uint8_t address[4]) { return std::string(reinterpret_cast<const char*>(address), 4); }
std::string Octets(uint32_t address) { return std::string(reinterpret_cast<const char*>(&address), 4); }

int KeyInputsInUse() {
  return static_cast<int>(std::count_if(std::begin(KeyInputTable), std::end(KeyInputTable),
                                        [](const KeyInputRecord& r) { return r.inUse != 0; }));
}

// The game as the machine 127.0.0.1, started without pictures or fonts.
bool StartLobbyGame(GameHarness& h, uint32_t ownIp = kGameIp) {
  PlatformSetLocalAddress(ownIp);
  return h.StartUpWithoutMedia() == 0;
}

// The lobby entered through its scene number, up to its menu's choice.
bool EnterLobbyMenu(GameHarness& h) {
  SceneState = 12;
  // One frame on the menu with no button held clears the latches that earlier
  // screens left set.
  return h.RunUntil([] { return LanMenuStep == 3; }, 30) && h.Frame();
}

// Types the digits into the active field, then Enter.
void TypeNumber(GameHarness& h, const std::string& digits) {
  h.Type(digits);
  h.Frame();
  h.HoldKey(kEnterKey);
  h.Frame();
  h.Frame();
}

// The menu's entry (0 host, 1 client) chosen with the cursor and A.
bool ChooseEntry(GameHarness& h, int entry) {
  if (!EnterLobbyMenu(h)) return false;
  for (int moves = 0; moves < 3 && LanMenuCursor != entry; ++moves) {
    h.Tap(1, kButtonDown);
    h.Frames(2);
  }
  h.Tap(1, kButtonA);
  return h.RunUntil([entry] { return entry == 0 ? LanHostStep == 2 : LanClientStep == 2; }, 10);
}

bool ChooseHost(GameHarness& h) { return ChooseEntry(h, 0); }
bool ChooseClient(GameHarness& h) { return ChooseEntry(h, 1); }

// The client's address and port typed in.
void TypeServer(GameHarness& h, uint32_t ip, uint16_t port) {
  const auto* octets = reinterpret_cast<const uint8_t*>(&ip);
  for (int k = 0; k < 4; ++k) TypeNumber(h, std::to_string(octets[k]));
  TypeNumber(h, std::to_string(port));
}

// The game hosting on the port with the peer connected from 127.0.0.2, run
// until its link test has made (or failed to make) its socket; the peer's
// connection.
Socket HostWithPeer(GameHarness& h, uint16_t port) {
  if (!ChooseHost(h)) return Socket();
  TypeNumber(h, std::to_string(port));
  if (!h.RunUntil([] { return LanHostStep == 3; }, 5)) return Socket();
  Socket peer = Connect(kPeerIp, kGameIp, port);
  h.RunUntil([] { return LanLobbyStep == 4 && LinkTestStep != 0; }, 100);
  return peer;
}

// The client's failed attempts to reach the peer's address so far.
int ConnectFailures(GameHarness& h) {
  int failures = 0;
  for (const std::string& line : h.LogLines()) failures += line.find("127.0.0.2 への接続に失敗しました") != std::string::npos;
  return failures;
}

bool LeaveWithB(GameHarness& h) {
  h.Tap(1, kButtonB);
  return h.RunUntil([] { return SceneState == 2; }, 60);
}

// A game run (RunGame) in a process of its own, beside the games the test
// runs itself: it starts at once and Finish collects its result. Failures
// inside it are printed by that process and count as one failure here.
class GameBeside {
 public:
  GameBeside(const GameOptions& options, const std::function<void(GameHarness&)>& body) {
    int fds[2];
    if (pipe(fds) != 0) return;
    fflush(stdout);
    fflush(stderr);
    pid_ = fork();
    if (pid_ != 0) {
      close(fds[1]);
      fd_ = fds[0];
      return;
    }
    close(fds[0]);
    GameRunResult result = RunGame(options, body);
    std::string out(1, result.completed && !testing::Test::HasFailure() ? 'y' : 'n');
    for (const std::string& report : result.reports) {
      auto n = static_cast<uint32_t>(report.size());
      out.append(reinterpret_cast<const char*>(&n), 4);
      out += report;
    }
    for (size_t at = 0; at < out.size();) {
      ssize_t n = write(fds[1], out.data() + at, out.size() - at);
      if (n <= 0) break;
      at += static_cast<size_t>(n);
    }
    fflush(stdout);
    fflush(stderr);
    _exit(0);
  }

  GameRunResult Finish() {
    GameRunResult result;
    if (pid_ <= 0) {
      ADD_FAILURE() << "the game beside could not start";
      return result;
    }
    std::string in;
    char buffer[4096];
    for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) in.append(buffer, static_cast<size_t>(n));
    close(fd_);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    if (in.empty() || in[0] != 'y') ADD_FAILURE() << "the game beside failed (its messages are above)";
    for (size_t at = 1; at + 4 <= in.size();) {
      uint32_t n;
      memcpy(&n, in.data() + at, 4);
      result.reports.push_back(in.substr(at + 4, n));
      at += 4 + n;
    }
    result.completed = !in.empty() && in[0] == 'y';
    return result;
  }
  ~GameBeside() {
    if (pid_ > 0) Finish();
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
};

GameOptions LobbyOptions() {
  GameOptions options;
  options.media = "";
  return options;
}

// The body with a game started as 127.0.0.1 without pictures, and a port
// that is free for TCP and UDP on the game's and the peer's addresses.
void RunLobbyGame(const std::function<void(GameHarness&, uint16_t)>& body) {
  uint16_t port = FreePort();
  ASSERT_NE(port, 0);
  RunGame(LobbyOptions(), [&](GameHarness& h) {
    ASSERT_TRUE(StartLobbyGame(h));
    body(h, port);
  });
}

// ---------------------------------------------------------------- records alone

TEST(LanLobbyRecords, LinkRecordsAreFiveLittleEndianWords) {
  uint8_t bytes[kLinkRecordSize];
  EncodeLinkRecord({1, 2, 6, 1, 0x01020304}, bytes);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), kLinkRecordSize), LinkBytes(1, 2, 6, 1, 0x01020304));
  LinkRecord back = DecodeLinkRecord(reinterpret_cast<const uint8_t*>(LinkBytes(0xFFFFFFFF, 7, 9, 2, 5).data()));
  EXPECT_EQ(back.sender, 0xFFFFFFFFu);
  EXPECT_EQ(back.destination, 7u);
  EXPECT_EQ(back.kind, 9u);
  EXPECT_EQ(back.phase, 2u);
  EXPECT_EQ(back.buttons, 5u);
  EXPECT_EQ(Octets(PackAddress(PeerAddresses[0])), Octets(PeerAddresses[0]));
}

// Half the round trip in units of 16 ms, on the 31-bit clock; replies without
// a ping, before it or more than 10 s after it count for nothing.
TEST(LanLobbyRecords, TheDelayIsHalfTheRoundTripOfARecentPing) {
  struct Case {
    int32_t sent, reply, frames;
  } cases[] = {
      {1000, 1064, 2},         {1000, 1000, 0},          {1000, 1031, 0},      {1000, 1032, 1},
      {0x7FFFFFF0, 0x30, 2},   {1000, 11000, 312},       {1000, 11001, -1},    {1000, 999, -1},
      {-1, 1064, -1},          {0x7FFFFFFF, 0x3F, 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ComputeLinkDelay(c.sent, c.reply), c.frames) << c.sent << " -> " << c.reply;
}

// The lobby's globals as they were, back at the end of a test that runs in
// the test process, so that the games it forks later start as programs do.
class LobbyGlobalsKept {
 public:
  LobbyGlobalsKept() : own_(OwnPlayerNumber), refused_(RefusedLobbyRecords) {
    memcpy(addresses_, PeerAddresses, sizeof addresses_);
  }
  ~LobbyGlobalsKept() {
    OwnPlayerNumber = own_;
    RefusedLobbyRecords = refused_;
    memcpy(PeerAddresses, addresses_, sizeof addresses_);
  }

 private:
  int32_t own_;
  uint32_t refused_;
  uint8_t addresses_[5][4];
};

// The client takes its own number 2 to 4 only, and list entries 1 to 4 only:
// a hostile host's player 200 writes nowhere.
TEST(LanLobbyRecords, TheClientTakesOnlyPlayerNumbersItHas) {
  LobbyGlobalsKept kept;
  for (int player : {0, 1, 5, 7, 200, 255}) {
    OwnPlayerNumber = 0;
    EXPECT_FALSE(ReadLobbyRecord({static_cast<uint8_t>(player), {1, 2, 3, 4}})) << player;
    EXPECT_EQ(OwnPlayerNumber, 0) << player;
  }
  for (int player : {2, 3, 4}) {
    EXPECT_TRUE(ReadLobbyRecord({static_cast<uint8_t>(player), {}})) << player;
    EXPECT_EQ(OwnPlayerNumber, player);
  }

  memset(PeerAddresses, 255, sizeof PeerAddresses);
  uint8_t before[5][4];
  memcpy(before, PeerAddresses, sizeof before);
  for (int player : {5, 8, 200, 255}) EXPECT_EQ(ApplyAddressListRecord({static_cast<uint8_t>(player), {9, 9, 9, 9}}), 0);
  EXPECT_EQ(memcmp(before, PeerAddresses, sizeof before), 0);
  EXPECT_EQ(ApplyAddressListRecord({3, {10, 0, 0, 3}}), 0);
  EXPECT_EQ(Octets(PeerAddresses[3]), Octets(Ip(10, 0, 0, 3)));
  EXPECT_EQ(ApplyAddressListRecord({0, {9, 9, 9, 9}}), 1);
  EXPECT_EQ(Octets(PeerAddresses[0]), Octets(kNoAddress));
}

// ---------------------------------------------------------------- the host

// The host refuses ports it cannot use, numbers its client, sends it the
// list, closes a second connection, sends button records on a change only and
// pings every 600 frames; leaving closes the connection. A second visit works
// the same.
TEST(LanLobby, HostNumbersItsClientAndRunsTheLinkTest) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    ASSERT_TRUE(ChooseHost(h));
    EXPECT_EQ(OwnPlayerNumber, 1);

    // A port that is taken shows an error; 0 and ports above 65535 are asked again.
    Socket taken = Listen(kGameIp, 0);
    TypeNumber(h, std::to_string(LocalPort(taken)));
    EXPECT_EQ(LanHostStep, 2);
    EXPECT_NE(LanNotice, nullptr);
    EXPECT_TRUE(h.LogHas("で接続を待てません"));
    for (const char* refused : {"0", "70000", "-80"}) {
      TypeNumber(h, refused);
      EXPECT_EQ(LanHostStep, 2) << refused;
    }
    // Each finished field is deleted before the next is made.
    EXPECT_EQ(KeyInputsInUse(), 1);
    TypeNumber(h, std::to_string(port));
    ASSERT_EQ(LanHostStep, 3);
    EXPECT_EQ(LanPort, port);
    EXPECT_EQ(LanNotice, nullptr);
    EXPECT_EQ(KeyInputsInUse(), 0);

    Socket udp = Bound(SOCK_DGRAM, kPeerIp, port);
    ASSERT_TRUE(udp.ok());
    Socket peer = Connect(kPeerIp, kGameIp, port);
    Socket second = Connect(kStrangerIp, kGameIp, port);
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(h.RunUntil([] { return LinkTestStep == 3; }, 100));
    int linkStart = h.frame();
    EXPECT_EQ(ReceiveBodies(peer, 15, 2000), LobbyBytes(2, 0) + LobbyBytes(2, kPeerIp) + LobbyBytes(0, 0));
    EXPECT_TRUE(ClosedByGame(second, 2000));
    EXPECT_EQ(Octets(PeerAddresses[2]), Octets(kPeerIp));
    EXPECT_EQ(Octets(PeerAddresses[1]), Octets(kNoAddress));

    // A held button is one record, its release another.
    h.HoldButton(1, kButtonA, 5);
    h.Frames(7);
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(1, 2, 1, 0, 0x10));
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(1, 2, 1, 0, 0));
    EXPECT_EQ(ReceiveFrom(udp, 20), "");

    // The first ping on the 600th frame of the test; a reply 4 frames (about
    // 67 ms) later shows 2 frames.
    ASSERT_TRUE(h.RunUntil([] { return PingSentMs[2] != -1; }, 600));
    EXPECT_EQ(h.frame() - linkStart, 600);
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(1, 2, 6, 0, 0));
    h.Frames(3);
    ASSERT_TRUE(SendTo(udp, kGameIp, port, LinkBytes(2, 1, 6, 1, 0)));
    usleep(2000);
    h.Frame();
    EXPECT_NEAR(PingReplyMs[2] - PingSentMs[2], 67, 1);
    EXPECT_EQ(LinkDelayFrames[2], 2);
    // The next ping 600 frames after the first, not before.
    int32_t first = PingSentMs[2];
    h.Frames(595);
    EXPECT_EQ(PingSentMs[2], first);
    EXPECT_EQ(ReceiveFrom(udp, 20), "");
    h.Frame();
    EXPECT_NE(PingSentMs[2], first);
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(1, 2, 6, 0, 0));

    ASSERT_TRUE(LeaveWithB(h));
    EXPECT_TRUE(ClosedByGame(peer, 2000));
    EXPECT_EQ(LinkUdpHandle, -1);
    EXPECT_EQ(PeerHandles[2], 0);

    // A second visit starts every machine afresh.
    uint16_t again = FreePort();
    Socket udpAgain = Bound(SOCK_DGRAM, kPeerIp, again);
    Socket peerAgain = HostWithPeer(h, again);
    ASSERT_TRUE(peerAgain.ok());
    EXPECT_EQ(LinkTestStep, 3);
    EXPECT_NE(LinkUdpHandle, -1);
    EXPECT_EQ(LanPort, again);
    EXPECT_EQ(LinkDelayFrames[2], 0);
    ASSERT_TRUE(LeaveWithB(h));
  });
}

// ---------------------------------------------------------------- the client

// The client refuses octets and ports it cannot use, connects, takes its
// number and the list a record at a time, only whole records and only
// numbers it has; in the link test it sends to the host's address and
// answers its pings.
TEST(LanLobby, ClientReadsItsNumberAndTheListFromWholeRecords) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    Socket listener = Listen(kPeerIp, port);
    Socket udp = Bound(SOCK_DGRAM, kPeerIp, port);
    ASSERT_TRUE(listener.ok() && udp.ok());
    ASSERT_TRUE(ChooseClient(h));
    EXPECT_EQ(Octets(ServerAddress), Octets(Ip(192, 168, 0, 2)));

    for (const char* refused : {"256", "999", "-1"}) {
      TypeNumber(h, refused);
      EXPECT_EQ(LanClientField, 0) << refused;
    }
    for (const char* octet : {"127", "0", "0", "2"}) TypeNumber(h, octet);
    EXPECT_EQ(LanClientField, 4);
    EXPECT_EQ(Octets(ServerAddress), Octets(kPeerIp));
    for (const char* refused : {"0", "65536", "70000"}) {
      TypeNumber(h, refused);
      EXPECT_EQ(LanClientStep, 2) << refused;
    }
    EXPECT_EQ(KeyInputsInUse(), 1);
    TypeNumber(h, std::to_string(port));
    ASSERT_TRUE(h.RunUntil([] { return LanClientStep == 6; }, 10));
    EXPECT_EQ(LanPort, port);
    EXPECT_EQ(KeyInputsInUse(), 0);
    Socket host = Accept(listener, 2000);
    ASSERT_TRUE(host.ok());

    // Numbers the client cannot have are dropped.
    ASSERT_TRUE(SendAll(host, Framed(LobbyBytes(1, 0)) + Framed(LobbyBytes(200, 0))));
    h.Frames(4);
    EXPECT_EQ(LanClientStep, 6);
    EXPECT_EQ(OwnPlayerNumber, 0);
    // A record split over two messages, the second arriving in pieces: only
    // the whole record is taken.
    std::string own = LobbyBytes(2, 0);
    ASSERT_TRUE(SendAll(host, Framed(own.substr(0, 3))));
    h.Frames(3);
    EXPECT_EQ(LanClientStep, 6);
    std::string rest = Framed(own.substr(3));
    ASSERT_TRUE(SendAll(host, rest.substr(0, 5)));
    h.Frames(3);
    EXPECT_EQ(LanClientStep, 6);
    ASSERT_TRUE(SendAll(host, rest.substr(5)));
    ASSERT_TRUE(h.RunUntil([] { return LanClientStep == 7; }, 5));
    EXPECT_EQ(OwnPlayerNumber, 2);

    ASSERT_TRUE(SendAll(host, Framed(LobbyBytes(200, Ip(9, 9, 9, 9)) + LobbyBytes(5, Ip(9, 9, 9, 9)) +
                                     LobbyBytes(2, kGameIp) + LobbyBytes(0, 0))));
    ASSERT_TRUE(h.RunUntil([] { return LinkTestStep == 3; }, 100));
    EXPECT_EQ(OwnPlayerNumber, 2);
    EXPECT_EQ(Octets(PeerAddresses[1]), Octets(kPeerIp));
    EXPECT_EQ(Octets(PeerAddresses[2]), Octets(kGameIp));
    EXPECT_EQ(Octets(PeerAddresses[3]), Octets(kNoAddress));
    EXPECT_EQ(Octets(PeerAddresses[4]), Octets(kNoAddress));
    EXPECT_EQ(RefusedLobbyRecords, 4u);
    EXPECT_TRUE(h.LogHas("のプレイヤー番号 1 は使えません"));

    h.HoldButton(1, kButtonC, 2);
    h.Frames(4);
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(2, 1, 2, 0, 0x40));
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(2, 1, 2, 0, 0));
    ASSERT_TRUE(SendTo(udp, kGameIp, port, LinkBytes(1, 2, 6, 0, 0)));
    usleep(2000);
    h.Frame();
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(2, 1, 6, 1, 0));

    ASSERT_TRUE(LeaveWithB(h));
    EXPECT_TRUE(ClosedByGame(host, 2000));
    EXPECT_TRUE(h.LogHas("LANロビー: 捨てた記録 4 個、データグラム 0 個"));
  });
}

// B leaves the client from every step, and a lost connection returns to the
// menu; a refused connection is tried again a second later, B read between.
TEST(LanLobby, TheClientCanAlwaysLeave) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    auto reachesMainMenu = [&h] { return h.RunUntil([] { return SceneState == 2; }, 60); };

    // While typing.
    ASSERT_TRUE(ChooseClient(h));
    TypeNumber(h, "127");
    EXPECT_TRUE(LeaveWithB(h));
    EXPECT_EQ(KeyInputsInUse(), 0);

    // While connecting to a port nobody listens on: each attempt ends at its
    // refusal, and the next starts a second later.
    {
      ASSERT_TRUE(ChooseClient(h));
      TypeServer(h, kPeerIp, port);
      EXPECT_EQ(LanClientStep, 3);
      h.Frames(130);
      EXPECT_EQ(ConnectFailures(h), 3);
      EXPECT_EQ(LanClientStep, 3);
      EXPECT_TRUE(LeaveWithB(h));
    }

    // While waiting for its number, while reading the list, and when the host
    // drops the connection before its number and in the middle of the list.
    Socket listener = Listen(kPeerIp, port);
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE(round);
      ASSERT_TRUE(ChooseClient(h));
      TypeServer(h, kPeerIp, port);
      ASSERT_TRUE(h.RunUntil([] { return LanClientStep == 6; }, 10));
      Socket host = Accept(listener, 2000);
      ASSERT_TRUE(host.ok());
      if (round == 1 || round == 3) {
        ASSERT_TRUE(SendAll(host, Framed(LobbyBytes(2, 0) + LobbyBytes(1, kPeerIp))));
        ASSERT_TRUE(h.RunUntil([] { return LanClientStep == 7; }, 10));
      }
      if (round < 2) {
        h.Frames(10);
        h.Tap(1, kButtonB);
      } else {
        host.Close();
      }
      EXPECT_TRUE(reachesMainMenu());
      EXPECT_EQ(PeerHandles[1], 0);
      if (round >= 2) {
        EXPECT_TRUE(h.LogHas("ホストとの接続が切れました"));
      } else {
        EXPECT_TRUE(ClosedByGame(host, 2000));
      }
    }
  });
}

// A connect to an address where nobody answers (on loopback: a listening
// socket that never accepts and whose backlog is full drops further
// requests) waits across frames: every frame ends, B is read in the next,
// and the attempt fails once its 2-second time-out has passed over the
// frames; B gives up the attempt in progress in the frame it is taken.
TEST(LanLobby, AConnectWithoutAnswerLetsTheFramesGoOn) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    Socket full = Bound(SOCK_STREAM, kPeerIp, port);
    ASSERT_TRUE(full.ok());
    ASSERT_EQ(listen(full.fd(), 0), 0);
    Socket queued = Connect(kStrangerIp, kPeerIp, port);
    ASSERT_TRUE(queued.ok());

    ASSERT_TRUE(ChooseClient(h));
    TypeServer(h, kPeerIp, port);
    ASSERT_EQ(LanClientStep, 3);
    const int start = h.frame();
    ASSERT_TRUE(h.RunUntil([&h] { return ConnectFailures(h) == 1; }, 400));
    // About 2000 ms of frames at 60 a second passed, each one ending.
    EXPECT_GE(h.frame() - start, 100);
    EXPECT_EQ(LanClientStep, 3);
    EXPECT_EQ(PlatformOpenSocketCount(), 0) << "the failed attempt's socket is closed";

    // The next attempt waits as well; B is taken in the frame after it is
    // pressed, and the attempt's socket is closed in that frame, not left to
    // its time-out. A given-up attempt is no failure.
    ASSERT_TRUE(h.RunUntil([] { return PlatformOpenSocketCount() == 1; }, 100));
    h.Frames(30);
    EXPECT_EQ(ConnectFailures(h), 1);
    h.Tap(1, kButtonB);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(LanClientStep, 1);
    EXPECT_EQ(LanMenuStep, 6);
    EXPECT_EQ(PlatformOpenSocketCount(), 0);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2; }, 60));
    h.Frames(200);  // past the attempt's time-out
    EXPECT_EQ(ConnectFailures(h), 1);
    EXPECT_EQ(h.stall(), "");
  });
}

// Connections that close before the waiting host takes one are dropped as it
// waits (they would stay open for the program's life); one that is still
// open when the host leaves is closed with the lobby.
TEST(LanLobby, TheHostDropsConnectionsClosedBeforeItTakesThem) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    ASSERT_TRUE(ChooseHost(h));
    TypeNumber(h, std::to_string(port));
    ASSERT_EQ(LanHostStep, 3);
    ASSERT_EQ(PlatformOpenSocketCount(), 1);
    // Twenty, five at a time (the listening socket's backlog).
    for (int batch = 0; batch < 4; ++batch) {
      for (int i = 0; i < 5; ++i) {
        Socket gone = Connect(kPeerIp, kGameIp, port);
        ASSERT_TRUE(gone.ok());
      }
      h.Frames(3);
    }
    EXPECT_EQ(LanHostStep, 3) << "no closed connection is taken";
    EXPECT_EQ(PeerHandles[2], 0);
    EXPECT_EQ(PlatformOpenSocketCount(), 1) << "the listening socket alone";
    EXPECT_TRUE(h.LogHas("受け取られる前に切断された接続を閉じます"));

    // One that comes in as B is pressed: the host never takes it.
    Socket late = Connect(kPeerIp, kGameIp, port);
    ASSERT_TRUE(late.ok());
    h.Tap(1, kButtonB);
    ASSERT_TRUE(h.Frame());
    EXPECT_EQ(PeerHandles[2], 0);
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2; }, 60));
    EXPECT_TRUE(ClosedByGame(late, 2000));
    EXPECT_EQ(PlatformOpenSocketCount(), 0);
  });
}

// Connections the host gives up are closed at once, however much of a
// message their peers still owe: here each of three peers announces 100
// bytes and sends 1. Whether the host leaves before taking any (B as they
// come in) or takes one and closes the others beside it, no frame waits for
// them (the virtual clock moves at the frames' pace), leaving takes the
// frames of its fade-out and the steps around it, and every peer sees its
// connection end.
TEST(LanLobby, ConnectionsTheHostGivesUpCloseAtOnce) {
  RunLobbyGame([](GameHarness& h, uint16_t) {
    const struct {
      const char* name;
      bool takesOne;  // else B is pressed as they come in
    } cases[] = {{"B as they come in", false}, {"one taken, the others closed beside it", true}};
    const std::string owing = std::string("\x64\x00\x00\x00", 4) + "x";  // 1 of 100 bytes
    constexpr int kFadeFrames = 255 / 15;
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const uint16_t port = FreePort();
      ASSERT_NE(port, 0);
      ASSERT_TRUE(ChooseHost(h));
      TypeNumber(h, std::to_string(port));
      ASSERT_EQ(LanHostStep, 3);
      if (!c.takesOne) h.Tap(1, kButtonB);
      Socket peers[3];
      for (Socket& peer : peers) {
        peer = Connect(kPeerIp, kGameIp, port);
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(SendAll(peer, owing));
      }
      // The longest frame on the virtual clock, until the main menu.
      int64_t longestUs = 0;
      auto frame = [&h, &longestUs] {
        const int64_t start = PlatformCounterMicroseconds();
        const bool running = h.Frame();
        longestUs = std::max(longestUs, PlatformCounterMicroseconds() - start);
        return running;
      };
      int leaveStart = h.frame();
      if (c.takesOne) {
        for (int i = 0; i < 100 && LinkTestStep != 3; ++i) ASSERT_TRUE(frame());
        ASSERT_EQ(LinkTestStep, 3);
        EXPECT_NE(PeerHandles[2], 0);
        EXPECT_TRUE(h.LogHas("二つ目の接続を閉じます"));
        h.Tap(1, kButtonB);
        leaveStart = h.frame();
      } else {
        ASSERT_TRUE(frame());
        EXPECT_EQ(LanHostStep, 1);
        EXPECT_EQ(PlatformOpenSocketCount(), 3) << "accepted, not taken";
      }
      for (int i = 0; i < 60 && SceneState != 2; ++i) ASSERT_TRUE(frame());
      ASSERT_EQ(SceneState, 2);
      EXPECT_LT(longestUs, 100 * 1000);
      EXPECT_LE(h.frame() - leaveStart, kFadeFrames + 6);
      EXPECT_EQ(PlatformOpenSocketCount(), 0);
      for (const Socket& peer : peers) EXPECT_TRUE(ClosedByGame(peer, 2000));
    }
  });
}

// ---------------------------------------------------------------- a hostile peer

// Datagrams are handled only when they are whole records of the peer, sent
// from its address, to this player, of a known kind and phase: nothing else
// gets an answer, so the game reflects nothing to a forged address.
TEST(LanLobby, OnlyThePeersRecordsAreHandled) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    Socket udp = Bound(SOCK_DGRAM, kPeerIp, port);
    Socket stranger = Bound(SOCK_DGRAM, kStrangerIp, port);
    Socket peer = HostWithPeer(h, port);
    ASSERT_TRUE(peer.ok() && udp.ok() && stranger.ok());
    ASSERT_EQ(LinkTestStep, 3);

    std::string ping = LinkBytes(2, 1, 5, 0, 0);
    const std::string refused[] = {
        ping.substr(0, 3),                     // 3 bytes
        ping + "x",                            // 21 bytes
        std::string(100, 'x'),                 // longer than any buffer of the lobby
        "",                                    // empty
        LinkBytes(7, 1, 5, 0, 0),              // no such player
        LinkBytes(0xFFFFFFFF, 1, 5, 0, 0),
        LinkBytes(0, 1, 5, 0, 0),
        LinkBytes(1, 1, 5, 0, 0),              // this player itself
        LinkBytes(3, 1, 5, 0, 0),              // a player without an address
        LinkBytes(2, 3, 5, 0, 0),              // to another player
        LinkBytes(2, 1, 0, 0, 0),              // kind 0
        LinkBytes(2, 1, 9, 0, 0),              // kind 9
        LinkBytes(2, 1, 5, 2, 0),              // phase 2
    };
    for (const std::string& datagram : refused) ASSERT_TRUE(SendTo(udp, kGameIp, port, datagram));
    // The peer's number, but from another address.
    ASSERT_TRUE(SendTo(stranger, kGameIp, port, ping));
    usleep(2000);
    h.Frames(3);
    EXPECT_EQ(RefusedLinkDatagrams, std::size(refused) + 1);
    EXPECT_EQ(ReceiveFrom(udp, 20), "");
    EXPECT_EQ(ReceiveFrom(stranger, 20), "");
    EXPECT_TRUE(h.LogHas("リンクテスト: データグラムを捨てます (長さ 3)"));

    // A reply to no ping changes nothing; a button record is taken without effect.
    ASSERT_TRUE(SendTo(udp, kGameIp, port, LinkBytes(2, 1, 6, 1, 0)));
    ASSERT_TRUE(SendTo(udp, kGameIp, port, LinkBytes(2, 1, 2, 0, 0xFF)));
    usleep(2000);
    h.Frames(2);
    EXPECT_EQ(PingReplyMs[2], -1);
    EXPECT_EQ(LinkDelayFrames[2], 0);
    EXPECT_EQ(RefusedLinkDatagrams, std::size(refused) + 1);

    // The peer's own ping is answered, to the peer.
    ASSERT_TRUE(SendTo(udp, kGameIp, port, ping));
    usleep(2000);
    h.Frame();
    uint32_t from = 0;
    EXPECT_EQ(ReceiveFrom(udp, 1000, &from), LinkBytes(1, 2, 5, 1, 0));
    EXPECT_EQ(from, kGameIp);
    ASSERT_TRUE(LeaveWithB(h));
  });
}

// A flood of 10,000 datagrams while the link test runs: each frame takes at
// most 32, the frames stay short, and the peer is answered once it ends.
TEST(LanLobby, AFloodOfDatagramsKeepsTheFramesBounded) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    Socket udp = Bound(SOCK_DGRAM, kPeerIp, port);
    Socket peer = HostWithPeer(h, port);
    ASSERT_TRUE(peer.ok() && udp.ok());
    ASSERT_EQ(LinkTestStep, 3);

    // A backlog of 100 waiting datagrams: one frame takes exactly 32 of them.
    {
      Socket fromPeer = Bound(SOCK_DGRAM, kPeerIp, 0);
      for (int i = 0; i < 100; ++i) ASSERT_TRUE(SendTo(fromPeer, kGameIp, port, LinkBytes(7, 1, 5, 0, 0)));
      usleep(20000);  // loopback delivery
      uint32_t before = RefusedLinkDatagrams;
      ASSERT_TRUE(h.Frame());
      EXPECT_EQ(RefusedLinkDatagrams - before, 32u);
      for (int i = 0; i < 3; ++i) ASSERT_TRUE(h.Frame());
      EXPECT_EQ(RefusedLinkDatagrams - before, 100u);
    }

    std::atomic<bool> flooding{true};
    std::thread flood([port, &flooding] {
      Socket fromPeer = Bound(SOCK_DGRAM, kPeerIp, 0);
      Socket fromStranger = Bound(SOCK_DGRAM, kStrangerIp, 0);
      const std::string kinds[] = {LinkBytes(7, 1, 5, 0, 0), LinkBytes(0xFFFFFFFF, 1, 5, 0, 0),
                                   LinkBytes(2, 1, 5, 0, 0).substr(0, 3), LinkBytes(2, 1, 5, 0, 0) + "x"};
      for (int i = 0; i < 10000; ++i) {
        if (i % 10 == 9)
          SendTo(fromStranger, kGameIp, port, LinkBytes(2, 1, 5, 0, 0));
        else
          SendTo(fromPeer, kGameIp, port, kinds[i % 4]);
      }
      flooding = false;
    });
    int64_t longest = 0;
    uint32_t mostInAFrame = 0;
    int quiet = 0;
    for (int frame = 0; frame < 2000 && (flooding.load() || quiet < 5); ++frame) {
      uint32_t before = RefusedLinkDatagrams;
      int64_t start = NowMs();
      if (!h.Frame()) break;
      longest = std::max(longest, NowMs() - start);
      uint32_t taken = RefusedLinkDatagrams - before;
      mostInAFrame = std::max(mostInAFrame, taken);
      quiet = taken == 0 ? quiet + 1 : 0;
    }
    flood.join();
    EXPECT_FALSE(flooding.load());
    // How many wait in a frame depends on the flooding thread's pace; never more than 32 are taken.
    EXPECT_LE(mostInAFrame, 32u);
    EXPECT_LT(longest, 1000);
    EXPECT_EQ(h.stall(), "");
    EXPECT_EQ(ReceiveFrom(udp, 20), "");  // nothing was answered

    ASSERT_TRUE(SendTo(udp, kGameIp, port, LinkBytes(2, 1, 5, 0, 0)));
    usleep(2000);
    h.Frame();
    EXPECT_EQ(ReceiveFrom(udp, 1000), LinkBytes(1, 2, 5, 1, 0));
    ASSERT_TRUE(LeaveWithB(h));
    EXPECT_TRUE(h.LogHas("LANロビー: 捨てた記録 0 個、データグラム"));
  });
}

// A UDP port that cannot be had shows an error, and the scene is left.
TEST(LanLobby, AFailedUdpSocketShowsAnErrorAndLeaves) {
  RunLobbyGame([](GameHarness& h, uint16_t port) {
    Socket taken = Bound(SOCK_DGRAM, kGameIp, port);
    ASSERT_TRUE(taken.ok());
    Socket peer = HostWithPeer(h, port);
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(h.RunUntil([] { return LinkTestStep == 6; }, 10));
    EXPECT_EQ(LinkUdpHandle, -1);
    EXPECT_TRUE(h.LogHas("のUDPソケットを作れません"));
    ASSERT_TRUE(h.RunUntil([] { return SceneState == 2; }, 160));
    EXPECT_GE(h.frame(), 120);
    EXPECT_TRUE(ClosedByGame(peer, 2000));
  });
}

// ---------------------------------------------------------------- two games

// Two games meet over loopback, one as 127.0.0.1 hosting, the other as
// 127.0.0.2 joining: they exchange numbers and the list, and each measures
// its delay to the other with the pings of the link test.
TEST(LanLobby, TwoGamesJoinAndMeasureTheirLink) {
  uint16_t port = FreePort();
  ASSERT_NE(port, 0);
  struct Shared {
    std::atomic<int> hostListening, hostMeasured, clientMeasured;
  };
  void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  auto* shared = new (memory) Shared{};

  // Frames while the condition does not hold, for at most the real time.
  auto runWhile = [](GameHarness& h, const std::function<bool()>& waiting, int realMs) {
    int64_t end = NowMs() + realMs;
    while (waiting() && NowMs() < end)
      if (!h.Frame()) return false;
    return !waiting();
  };
  auto quietWatchdog = [](GameHarness& h) {
    for (const char* machine : {"RunLanLobbyScene", "RunLanMenu", "RunLanHost", "RunLanClient", "RunLinkTest"})
      h.SetStallLimit(machine, 0);
  };
  auto measureThenWait = [&runWhile](GameHarness& h, int peer, std::atomic<int>& mine, std::atomic<int>& theirs) {
    EXPECT_TRUE(runWhile(h, [peer] { return PingReplyMs[peer] == -1; }, 60000)) << "no reply from " << peer;
    mine = 1;
    EXPECT_TRUE(runWhile(h, [&theirs] { return theirs.load() == 0; }, 60000));
    std::ostringstream out;
    out << OwnPlayerNumber << " " << LinkDelayFrames[peer] << " " << Octets(PeerAddresses[peer]);
    h.Report(out.str());
    EXPECT_TRUE(LeaveWithB(h));
  };

  // The client game runs beside the host's; both are forked from this
  // thread alone.
  GameBeside clientGame(LobbyOptions(), [&](GameHarness& h) {
    // A machine of its own: the other game's window does not make this one a
    // second start.
    PlatformSetWindowScope(("lobby-client" + std::to_string(getpid())).c_str());
    ASSERT_TRUE(StartLobbyGame(h, kPeerIp));
    quietWatchdog(h);
    ASSERT_TRUE(ChooseClient(h));
    // The port goes in once the host listens (a refused attempt would be
    // tried again only a second later).
    for (int k = 0; k < 4; ++k) TypeNumber(h, std::to_string(reinterpret_cast<const uint8_t*>(&kGameIp)[k]));
    ASSERT_TRUE(runWhile(h, [shared] { return shared->hostListening.load() == 0; }, 60000));
    TypeNumber(h, std::to_string(port));
    ASSERT_TRUE(runWhile(h, [] { return LinkTestStep != 3; }, 60000));
    measureThenWait(h, 1, shared->clientMeasured, shared->hostMeasured);
  });
  GameRunResult host = RunGame(LobbyOptions(), [&](GameHarness& h) {
    ASSERT_TRUE(StartLobbyGame(h, kGameIp));
    quietWatchdog(h);
    ASSERT_TRUE(ChooseHost(h));
    TypeNumber(h, std::to_string(port));
    ASSERT_EQ(LanHostStep, 3);
    shared->hostListening = 1;
    ASSERT_TRUE(runWhile(h, [] { return LinkTestStep != 3; }, 60000));
    measureThenWait(h, 2, shared->hostMeasured, shared->clientMeasured);
  });
  GameRunResult client = clientGame.Finish();
  munmap(memory, sizeof(Shared));

  ASSERT_EQ(host.reports.size(), 1u);
  ASSERT_EQ(client.reports.size(), 1u);
  std::istringstream hostReport(host.reports[0]), clientReport(client.reports[0]);
  int hostNumber = 0, hostDelay = -1, clientNumber = 0, clientDelay = -1;
  hostReport >> hostNumber >> hostDelay;
  clientReport >> clientNumber >> clientDelay;
  EXPECT_EQ(hostNumber, 1);
  EXPECT_EQ(clientNumber, 2);
  // Each side's delay is the other's reply time on its own clock: a few
  // frames, at most the 10 s a reply may take.
  EXPECT_GE(hostDelay, 0);
  EXPECT_LE(hostDelay, 312);
  EXPECT_GE(clientDelay, 0);
  EXPECT_LE(clientDelay, 312);
  EXPECT_EQ(host.reports[0].substr(host.reports[0].size() - 4), Octets(kPeerIp));
  EXPECT_EQ(client.reports[0].substr(client.reports[0].size() - 4), Octets(kGameIp));
}

}  // namespace
