// The network module's records and state, and its steps below the public
// functions.
#pragma once

#include <cstdint>

#include "library/core/text_helpers.h"
#include "library/graphics/object_handle.h"
#include "library/net/network.h"
#include "library/net/ring_buffer.h"
#include "platform/winsock/winsock.h"

// The window message that carries socket events.
constexpr UINT NetWorkSocketMessage = 0x505;
// The longest message a peer may announce; the send ring never holds more,
// so no message of ours is longer either.
constexpr uint32_t NetWorkMessageLimit = RingBufferLimit;

struct NetWorkHandleRecord {
  uint32_t isUdp;
  uint32_t valid;      // 1 while the handle is usable
  uint32_t error;      // 1 after the receive ring could not take a message
  uint32_t connected;  // accepted connections start connected; a close event clears it
  uint32_t taken;      // reported by TakeNewAcceptedNetWork (made by connecting: 1)
  uint32_t accepted;
  uint32_t framed;     // 0: raw mode, bytes go straight through send and recv
  uint32_t checkNumber;
  SOCKET socket;
  int32_t receiveMissing;  // bytes still missing of the message being received
  RingBuffer receiveRing;
  int32_t receiveMessageLength;
  int32_t receiveWaiting;  // bytes of complete messages in the receive ring
  RingBuffer sendRing;
  int32_t sendRemaining;        // bytes still to send of the message being sent
  int32_t sendHeaderRemaining;  // bytes of its header still to send
  uint32_t peerAddress;         // four octets, network order
  uint32_t port;                // network order; UDP: the bound port or 0xFFFFFFFF
  uint32_t udpReadReady;
  uint32_t udpWriteReady;
  HandleListNode node;          // in the list of all network handles, in creation order
  uint32_t connectFailed;       // 1 once the connect event reported an error (the peer refused)
  uint32_t connecting;          // 1 while the connection is being made (no handle yet)
  int32_t connectStart;         // the millisecond count when it started
};

// A record between its creation and its first check number (a connection
// still being made) answers to no handle.
constexpr uint32_t NetWorkNoCheckNumber = 0xFFFFFFFFu;

struct NetWorkState {
  int32_t started;
  uint32_t localAddress;  // the host's first address, 0 when none was found
  HWND window;            // the hidden window that receives the socket events
  int32_t windowDestroyed;
  int32_t connectTimeOut;  // milliseconds; 0: 2000
  int32_t receiving;       // RecvSocket is running
  int32_t sending;         // SendSocket is running
  int32_t rawMode;         // new connections unframed (nothing switches it on)
  NetWorkHandleRecord* listener;
  HandleListNode head;
  HandleListNode tail;
};
extern NetWorkState NetWork;

// One check counter serves connections, UDP sockets and the listening socket.
using NetWorkHandleTableType = HandleTable<NetWorkHandleRecord, HandleKindNetwork, 8192>;
extern NetWorkHandleTableType NetWorkHandleTable;

int InitNetWorkSystem(HWND parent);
int CloseNetWorkConnection(int handle);
// The same close without the drains.
int CloseNetWorkConnectionAtOnce(int handle);
int NetWorkRecvToPeek(int handle, void* buffer, int32_t length);
int AcceptNetWork();
int RecvSocket(int handle);
int SendSocket(int handle);
int WriteNetWorkErrorLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
