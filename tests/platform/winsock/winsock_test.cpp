#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/winsock/winsock.h"

namespace {

constexpr UINT kSocketMessage = WM_USER + 0x105;

struct SocketEvent {
  SOCKET socket;
  int event;
  int error;
  bool operator==(const SocketEvent&) const = default;
};

std::vector<SocketEvent> events;

LRESULT EventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kSocketMessage)
    events.push_back({static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam)});
  return DefWindowProcA(window, message, wParam, lParam);
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = port;
  a.sin_addr.s_addr = htonl(0x7F000001);
  return a;
}

sockaddr* AsAddress(sockaddr_in* a) { return reinterpret_cast<sockaddr*>(a); }

// WinSock started, and a child window of this thread that records the socket
// events it receives.
class WinSockTest : public testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = EventProc;
    wc.lpszClassName = "SocketEvents";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    // A child window: it only receives messages and needs no display.
    window = CreateWindowExA(0, "SocketEvents", "", WS_CHILD, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(PlatformSdlWindowId(window), 0u);
  }
  void TearDown() override {
    for (SOCKET s : opened) closesocket(s);
    DestroyWindow(window);
    UnregisterClassA("SocketEvents", nullptr);
    EXPECT_EQ(PlatformOpenSocketCount(), 0);
    WSACleanup();
  }

  SOCKET Open(int type) {
    SOCKET s = socket(AF_INET, type, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    opened.push_back(s);
    return s;
  }
  void Close(SOCKET s) {
    std::erase(opened, s);
    EXPECT_EQ(closesocket(s), 0);
  }
  // A socket bound to a port of the system's choosing on the loopback address; its port.
  uint16_t BindAny(SOCKET s) {
    sockaddr_in a = Loopback(0);
    EXPECT_EQ(bind(s, AsAddress(&a), sizeof a), 0);
    int length = sizeof a;
    EXPECT_EQ(getsockname(s, AsAddress(&a), &length), 0);
    EXPECT_NE(a.sin_port, 0);
    return a.sin_port;
  }

  // Delivers the window's messages until the predicate holds (true) or a
  // generous bound has passed (false).
  template <typename Predicate>
  bool PumpUntil(Predicate done) {
    for (int i = 0; i < 3000; ++i) {
      MSG m;
      while (PeekMessageA(&m, window, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // Delivers what arrives within a few passes.
  void Settle() {
    for (int i = 0; i < 20; ++i) {
      MSG m;
      while (PeekMessageA(&m, window, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  int Count(SOCKET s, int event) const {
    int n = 0;
    for (const SocketEvent& e : events) n += e.socket == s && e.event == event;
    return n;
  }
  bool Has(SOCKET s, int event) const { return Count(s, event) > 0; }

  HWND window = nullptr;
  std::vector<SOCKET> opened;
};

TEST_F(WinSockTest, ConnectionEventsComeOnceEachAndAreReEnabledByTheCallsThatConsumeThem) {
  SOCKET listener = Open(SOCK_STREAM);
  uint16_t port = BindAny(listener);
  ASSERT_EQ(listen(listener, 5), 0);
  ASSERT_EQ(WSAAsyncSelect(listener, window, kSocketMessage, FD_ACCEPT), 0);

  SOCKET client = Open(SOCK_STREAM);
  ASSERT_EQ(WSAAsyncSelect(client, window, kSocketMessage, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE), 0);
  sockaddr_in to = Loopback(port);
  ASSERT_EQ(connect(client, AsAddress(&to), sizeof to), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  ASSERT_TRUE(PumpUntil([&] { return Has(client, FD_WRITE) && Has(listener, FD_ACCEPT); }));
  Settle();
  // The outcome of the connect, then room to send; the pending connection once.
  std::vector<SocketEvent> clientEvents;
  for (const SocketEvent& e : events)
    if (e.socket == client) clientEvents.push_back(e);
  EXPECT_EQ(clientEvents, (std::vector<SocketEvent>{{client, FD_CONNECT, 0}, {client, FD_WRITE, 0}}));
  EXPECT_EQ(Count(listener, FD_ACCEPT), 1);

  sockaddr_in peer{};
  int peerLength = sizeof peer;
  SOCKET server = accept(listener, AsAddress(&peer), &peerLength);
  ASSERT_NE(server, INVALID_SOCKET);
  opened.push_back(server);
  EXPECT_EQ(peer.sin_addr.s_addr, htonl(0x7F000001));
  ASSERT_EQ(WSAAsyncSelect(server, window, kSocketMessage, FD_READ | FD_WRITE | FD_CLOSE), 0);
  ASSERT_TRUE(PumpUntil([&] { return Has(server, FD_WRITE); }));

  // Data waiting: one FD_READ until a receive re-enables it.
  ASSERT_EQ(send(client, "hello", 5, 0), 5);
  ASSERT_TRUE(PumpUntil([&] { return Has(server, FD_READ); }));
  Settle();
  EXPECT_EQ(Count(server, FD_READ), 1);
  // A peek that leaves the same bytes waiting is not answered by another
  // FD_READ; more bytes are.
  char bytes[16] = {};
  ASSERT_EQ(recv(server, bytes, 2, MSG_PEEK), 2);
  Settle();
  EXPECT_EQ(Count(server, FD_READ), 1);
  ASSERT_EQ(send(client, "!", 1, 0), 1);
  ASSERT_TRUE(PumpUntil([&] { return Count(server, FD_READ) == 2; }));
  // A receive that leaves bytes waiting: FD_READ again.
  ASSERT_EQ(recv(server, bytes, 3, 0), 3);
  ASSERT_TRUE(PumpUntil([&] { return Count(server, FD_READ) == 3; }));
  ASSERT_EQ(recv(server, bytes + 3, sizeof bytes - 3, 0), 3);
  EXPECT_EQ(std::string(bytes, 6), "hello!");
  EXPECT_EQ(recv(server, bytes, sizeof bytes, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

  // The peer closing: FD_CLOSE once, and the stream ends.
  Close(client);
  ASSERT_TRUE(PumpUntil([&] { return Has(server, FD_CLOSE); }));
  Settle();
  EXPECT_EQ(Count(server, FD_CLOSE), 1);
  EXPECT_EQ(recv(server, bytes, sizeof bytes, 0), 0);
}

TEST_F(WinSockTest, ARefusedConnectIsReportedThroughFdConnect) {
  // A port that is bound but does not listen refuses connections.
  SOCKET bound = Open(SOCK_STREAM);
  uint16_t port = BindAny(bound);
  SOCKET client = Open(SOCK_STREAM);
  ASSERT_EQ(WSAAsyncSelect(client, window, kSocketMessage, FD_CONNECT | FD_WRITE), 0);
  sockaddr_in to = Loopback(port);
  ASSERT_EQ(connect(client, AsAddress(&to), sizeof to), SOCKET_ERROR);
  ASSERT_TRUE(PumpUntil([&] { return Has(client, FD_CONNECT); }));
  Settle();
  EXPECT_EQ(events, (std::vector<SocketEvent>{{client, FD_CONNECT, WSAECONNREFUSED}}));
}

TEST_F(WinSockTest, DatagramsLargerThanTheBufferFailWithMessageSize) {
  SOCKET a = Open(SOCK_DGRAM);
  SOCKET b = Open(SOCK_DGRAM);
  uint16_t portA = BindAny(a);
  uint16_t portB = BindAny(b);
  ASSERT_EQ(WSAAsyncSelect(b, window, kSocketMessage, FD_READ), 0);
  std::string datagram(100, 'x');
  datagram[0] = 'A';
  sockaddr_in to = Loopback(portB);
  ASSERT_EQ(sendto(a, datagram.data(), 100, 0, AsAddress(&to), sizeof to), 100);
  ASSERT_TRUE(PumpUntil([&] { return Has(b, FD_READ); }));

  char buffer[128] = {};
  sockaddr_in from{};
  int fromLength = sizeof from;
  // A peek into a small buffer: the error, the first bytes, and the datagram stays.
  EXPECT_EQ(recvfrom(b, buffer, 16, MSG_PEEK, AsAddress(&from), &fromLength), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
  EXPECT_EQ(buffer[0], 'A');
  EXPECT_EQ(recvfrom(b, buffer, sizeof buffer, MSG_PEEK, AsAddress(&from), &fromLength), 100);
  EXPECT_EQ(from.sin_port, portA);
  EXPECT_EQ(from.sin_addr.s_addr, htonl(0x7F000001));
  // Taken into a small buffer, it is gone.
  EXPECT_EQ(recvfrom(b, buffer, 50, 0, nullptr, nullptr), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
  EXPECT_EQ(recvfrom(b, buffer, sizeof buffer, 0, nullptr, nullptr), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

  // Too large for any datagram.
  std::vector<char> huge(70000);
  EXPECT_EQ(sendto(a, huge.data(), static_cast<int>(huge.size()), 0, AsAddress(&to), sizeof to), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
}

TEST_F(WinSockTest, StartVersionsNamesAndForeignSockets) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(3, 0), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
  WSACleanup();
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);

  char name[256];
  ASSERT_EQ(gethostname(name, sizeof name), 0);
  hostent* host = gethostbyname(name);
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->h_addrtype, AF_INET);
  EXPECT_EQ(host->h_length, 4);
  EXPECT_NE(host->h_addr_list[0], nullptr);

  EXPECT_EQ(htons(0x1234), 0x3412);
  EXPECT_EQ(ntohl(htonl(0x01020304)), 0x01020304u);

  // Values that are no socket of ours.
  char byte;
  EXPECT_EQ(recv(0, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(WinSockStart, CallsBeforeStartFail) {
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
}

}  // namespace
