// A started library for the network tests, with helpers for loopback
// connections and for raw peers: sockets of the test's own that write and
// read the wire bytes directly.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "library/net/network_internal.h"
#include "tests/core/library_fixture.h"
#include "platform/win32/win32_time.h"
#include "tests/support/test_support.h"

// 127.0.0.1 as the library takes addresses: the octets in memory order.
inline uint32_t LoopbackAddress() {
  const uint8_t octets[4] = {127, 0, 0, 1};
  uint32_t address;
  memcpy(&address, octets, 4);
  return address;
}

class NetWorkTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ASSERT_EQ(InitLibrary(), 0);
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);  // the raw peers' own
  }
  void TearDown() override {
    for (SOCKET s : peers) closesocket(s);
    LibraryTest::TearDown();
    WSACleanup();
  }

  // Runs the library's message pump until the predicate holds (true) or a
  // generous bound has passed (false).
  template <typename Predicate>
  static bool PumpUntil(Predicate done) {
    for (int i = 0; i < 5000; ++i) {
      ProcessWindowMessages();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // A few pump passes, for what may arrive meanwhile.
  static void PumpAWhile() {
    for (int i = 0; i < 5; ++i) {
      ProcessWindowMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  static uint16_t PortOfSocket(SOCKET s) {
    sockaddr_in a{};
    int length = sizeof a;
    EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&a), &length), 0);
    return ntohs(a.sin_port);
  }
  // Starts listening on a port of the system's choosing; the port.
  static uint16_t Listen() {
    EXPECT_EQ(StartNetWorkListen(0), 0);
    return NetWork.listener != nullptr ? PortOfSocket(NetWork.listener->socket) : 0;
  }
  // The library's connection to the port on loopback, pumped until it is
  // made (its handle) or has failed (-1).
  static int ConnectTo(uint16_t port) {
    int handle = NetWorkConnecting;
    PumpUntil([&] { return (handle = OpenNetWorkConnection(LoopbackAddress(), port)) != NetWorkConnecting; });
    return handle;
  }
  // The next accepted connection.
  static int Accepted() {
    int handle = -1;
    EXPECT_TRUE(PumpUntil([&] { return (handle = TakeNewAcceptedNetWork()) != -1; }));
    return handle;
  }
  static NetWorkHandleRecord* Record(int handle) { return NetWorkHandleTable.Find(handle); }

  // A raw peer connected to the port, non-blocking from then on.
  SOCKET RawConnect(uint16_t port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET);
    peers.push_back(s);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = LoopbackAddress();
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    WSAAsyncSelect(s, nullptr, 0, 0);
    return s;
  }
  void RawClose(SOCKET s) {
    std::erase(peers, s);
    closesocket(s);
  }
  static void RawSend(SOCKET s, const std::string& bytes) {
    ASSERT_EQ(send(s, bytes.data(), static_cast<int>(bytes.size()), 0), static_cast<int>(bytes.size()));
  }
  // Exactly n bytes from a raw peer, pumping the library meanwhile.
  static std::string RawReceive(SOCKET s, size_t n) {
    std::string got;
    PumpUntil([&] {
      char buffer[4096];
      int r = recv(s, buffer, static_cast<int>(std::min(sizeof buffer, n - got.size())), 0);
      if (r > 0) got.append(buffer, static_cast<size_t>(r));
      return got.size() == n;
    });
    return got;
  }

  // Lines of the log that hold the text.
  static int LogCount(const std::string& text) {
    int n = 0;
    for (const std::string& line : ReadLogLines("Log.txt")) n += line.find(text) != std::string::npos;
    return n;
  }
  static bool LogHas(const std::string& text) { return LogCount(text) > 0; }

  std::vector<SOCKET> peers;
};

// A framed message as it travels: the little-endian length, then the bytes.
inline std::string Framed(const std::string& body) {
  auto n = static_cast<uint32_t>(body.size());
  std::string out{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                  static_cast<char>(n >> 24)};
  return out + body;
}
