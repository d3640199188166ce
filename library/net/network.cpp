#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "library/core/library_state.h"
#include "library/core/lock.h"
#include "library/core/log.h"
#include "library/core/main_window.h"
#include "library/core/memory.h"
#include "library/core/message_pump.h"
#include "library/core/timer.h"
#include "library/net/network_internal.h"
#include "platform/win32/win32_time.h"

NetWorkState NetWork;
NetWorkHandleTableType NetWorkHandleTable;

namespace {

constexpr char kWindowClass[] = "WinSockProc";
constexpr int32_t kDefaultPort = 10001;
constexpr int32_t kDefaultConnectTimeOut = 2000;
constexpr int32_t kCloseDrainTime = 1000;
// A connection being made that nobody has asked about for this long past
// its time-out is given up by the message pump.
constexpr int32_t kAbandonedConnectGrace = 1000;
constexpr uint32_t kUnboundPort = 0xFFFFFFFFu;

// ---------------------------------------------------------------- records

uint16_t PortOf(int32_t port) { return htons(static_cast<uint16_t>(port == -1 ? kDefaultPort : port)); }

int32_t ElapsedSince(int32_t start) { return (GetMillisecondCount(0) - start) & 0x7FFFFFFF; }

// The record of a live handle of the given kind (TCP or UDP), or null.
NetWorkHandleRecord* FindRecord(int handle, bool udp) {
  NetWorkHandleRecord* r = NetWorkHandleTable.Find(handle);
  return r != nullptr && (r->isUdp != 0) == udp ? r : nullptr;
}

int32_t FirstFreeSlot() {
  for (uint32_t slot = 0; slot < NetWorkHandleTableType::capacity; ++slot)
    if (NetWorkHandleTable.records[slot] == nullptr) return static_cast<int32_t>(slot);
  return -1;
}

// A zeroed record, appended to the handle list (and put into the slot when one
// is given); its handle comes with its check number on success.
NetWorkHandleRecord* NewRecord(int32_t slot) {
  auto* r = static_cast<NetWorkHandleRecord*>(TrackedCalloc(sizeof(NetWorkHandleRecord)));
  if (r == nullptr) return nullptr;
  r->valid = 1;
  r->framed = NetWork.rawMode ? 0 : 1;
  r->checkNumber = NetWorkNoCheckNumber;
  r->socket = INVALID_SOCKET;
  AddHandleListNode(NetWork.tail.prev, &r->node, -1, r);
  if (slot >= 0) {
    NetWorkHandleTable.records[slot] = r;
    ++NetWorkHandleTable.count;
    if (static_cast<uint32_t>(slot) >= NetWorkHandleTable.top) NetWorkHandleTable.top = static_cast<uint32_t>(slot) + 1;
  }
  return r;
}

// Gives the record the next check number; the handle for its slot.
int StampRecord(NetWorkHandleRecord* r, int32_t slot) {
  uint32_t check = NetWorkHandleTable.checkCounter;
  NetWorkHandleTable.checkCounter = check >= HandleCheckMax ? 0 : check + 1;
  r->checkNumber = check;
  r->node.handle = slot >= 0 ? MakeObjectHandle(HandleKindNetwork, check, static_cast<uint32_t>(slot)) : -1;
  return r->node.handle;
}

// Closes the record's socket, releases its rings, takes it out of the list
// (and the slot) and frees it.
void FreeRecord(NetWorkHandleRecord* r, int32_t slot) {
  if (r->socket != INVALID_SOCKET) {
    WSAAsyncSelect(r->socket, NetWork.window, 0, 0);
    closesocket(r->socket);
  }
  ReleaseRingBuffer(&r->receiveRing);
  ReleaseRingBuffer(&r->sendRing);
  r->valid = 0;
  r->connected = 0;
  r->taken = 0;
  RemoveHandleListNode(&r->node);
  if (slot >= 0) NetWorkHandleTable.Remove(static_cast<uint32_t>(slot));
  TrackedFree(r);
}

int32_t SlotOf(int handle) { return handle & HandleSlotBits; }

NetWorkHandleRecord* FindBySocket(SOCKET s) {
  for (HandleListNode* n = NetWork.head.next; n != &NetWork.tail; n = n->next) {
    auto* r = static_cast<NetWorkHandleRecord*>(n->record);
    if (r->socket == s) return r;
  }
  return nullptr;
}

// The network starts on the first operation that makes a socket, unless the
// library is ending.
bool EnsureStarted() {
  if (NetWork.started) return true;
  if (LibraryEnding) return false;
  return InitNetWorkSystem(nullptr) == 0;
}

void LogConnectFailure(uint32_t address) {
  const auto* octets = reinterpret_cast<const uint8_t*>(&address);
  char text[128];
  FormatString(text, sizeof text, "%d.%d.%d.%d への接続に失敗しました。\n", octets[0], octets[1], octets[2], octets[3]);
  WriteErrorLog(text);
}

int32_t ConnectTimeOut() { return NetWork.connectTimeOut != 0 ? NetWork.connectTimeOut : kDefaultConnectTimeOut; }

// The slot that holds the record, or -1.
int32_t SlotOfRecord(const NetWorkHandleRecord* r) {
  for (uint32_t slot = 0; slot < NetWorkHandleTable.top; ++slot)
    if (NetWorkHandleTable.records[slot] == r) return static_cast<int32_t>(slot);
  return -1;
}

// A connection being made that will not be: logged, and its socket and record freed.
void GiveUpConnect(NetWorkHandleRecord* r) {
  LogConnectFailure(r->peerAddress);
  FreeRecord(r, SlotOfRecord(r));
}

// Where a connection being made stands: its handle once made, -1 once
// refused or out of time (given up), else NetWorkConnecting.
int CheckConnect(NetWorkHandleRecord* r) {
  if (r->connected) {
    r->connecting = 0;
    return StampRecord(r, SlotOfRecord(r));
  }
  if (r->connectFailed || ElapsedSince(r->connectStart) >= ConnectTimeOut()) {
    GiveUpConnect(r);
    return -1;
  }
  return NetWorkConnecting;
}

LRESULT NetWorkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      NetWork.windowDestroyed = 1;
      break;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case NetWorkSocketMessage:
      return HandleSocketEvent(lParam, wParam);
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The checks that open each data operation on a connection: -1 (logged) for
// a handle no longer valid or in error.
int CheckUsable(const NetWorkHandleRecord* r, const char* where) {
  if (!r->valid) return WriteErrorLogFormat("有効なネットワークハンドルではありません in %s", where);
  if (r->error) return WriteErrorLogFormat("このネットワークハンドルにはエラーが発生しています in %s", where);
  return 0;
}

// ---------------------------------------------------------------- receiving

// Bytes the receive ring can take at its write position before it wraps.
int32_t ContiguousRoom(const RingBuffer& ring) {
  int32_t position = ring.writePosition >= ring.capacity ? 0 : ring.writePosition;
  int32_t free = ring.capacity - ring.dataLength;
  return std::min(free, ring.capacity - position);
}

// Receives up to want bytes at the ring's write position. The bytes received,
// or a negative result when recv failed.
int ReceiveIntoRing(NetWorkHandleRecord* r, int32_t want) {
  RingBuffer& ring = r->receiveRing;
  if (ring.writePosition >= ring.capacity) ring.writePosition = 0;
  int got = recv(r->socket, reinterpret_cast<char*>(ring.data + ring.writePosition), want, 0);
  if (got > 0) {
    ring.writePosition += got;
    ring.dataLength += got;
  }
  return got;
}

// The framed messages waiting in the socket, into the receive ring: each
// message's length, then its bytes as they come. 0, or -1 when a message
// cannot be taken (the handle is then in error).
int ReceiveMessages(NetWorkHandleRecord* r) {
  for (;;) {
    if (r->receiveMissing == 0) {
      uint8_t header[4];
      if (recv(r->socket, reinterpret_cast<char*>(header), 4, MSG_PEEK) != 4) return 0;
      recv(r->socket, reinterpret_cast<char*>(header), 4, 0);
      uint32_t length = header[0] | header[1] << 8 | header[2] << 16 | static_cast<uint32_t>(header[3]) << 24;
      // A length no message of ours can have means a broken or hostile peer.
      if (length > NetWorkMessageLimit) {
        WriteErrorLogFormat("受信したメッセージの長さ %u byte が上限を超えています、接続を閉じます", length);
        r->error = 1;
        return -1;
      }
      if (ReserveRingBuffer(&r->receiveRing, static_cast<int32_t>(length)) != 0) {
        WriteErrorLogFormat("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %d byte)",
                            static_cast<int32_t>(length));
        r->error = 1;
        return -1;
      }
      r->receiveMessageLength = static_cast<int32_t>(length);
      r->receiveMissing = static_cast<int32_t>(length);
    }
    int last = 4;  // a message of length 0 is whole with its header
    if (r->receiveMissing > 0) {
      int32_t room = ContiguousRoom(r->receiveRing);
      int32_t first = std::min(r->receiveMissing, room);
      last = ReceiveIntoRing(r, first);
      int32_t got = last > 0 ? last : 0;
      if (got == first && first < r->receiveMissing) {
        last = ReceiveIntoRing(r, r->receiveMissing - first);
        if (last > 0) got += last;
      }
      r->receiveMissing -= got;
    }
    bool complete = r->receiveMissing == 0;
    if (complete) r->receiveWaiting += r->receiveMessageLength;
    if (PumpNetWorkMessages(0) != 0 || last < 1 || !complete) return 0;
  }
}

// Once the peer has closed, every byte it sent is in the socket: take in what
// completes a message, then drop the message it broke off, which can never end.
void DropCutOffMessage(NetWorkHandleRecord* r) {
  if (ReceiveMessages(r) != 0) return;
  char header[4];
  int pending = r->receiveMissing == 0 ? recv(r->socket, header, 4, MSG_PEEK) : 0;
  if (r->receiveMissing == 0 && pending <= 0) return;
  WriteErrorLog("受信途中のメッセージを残して接続が切断されました\n");
  if (r->receiveMissing > 0) {
    DropRingBufferTail(&r->receiveRing, r->receiveMessageLength - r->receiveMissing);
    r->receiveMissing = 0;
  } else {
    recv(r->socket, header, pending, 0);
  }
}

int RecvSocketOf(NetWorkHandleRecord* r) {
  if (NetWork.receiving) return -1;
  NetWork.receiving = 1;
  PumpNetWorkMessages(0);
  int result = CheckUsable(r, "RecvSocket");
  if (result == 0 && r->framed) {
    result = ReceiveMessages(r);
    if (result == 0 && !r->connected) DropCutOffMessage(r);
  }
  NetWork.receiving = 0;
  return result;
}

// ---------------------------------------------------------------- sending

void EncodeLength(uint8_t out[4], int32_t length) {
  auto value = static_cast<uint32_t>(length);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Sends up to want bytes from the ring's read position; the bytes sent.
int SendFromRing(NetWorkHandleRecord* r, int32_t want) {
  RingBuffer& ring = r->sendRing;
  if (ring.readPosition >= ring.capacity) ring.readPosition = 0;
  int sent = send(r->socket, reinterpret_cast<const char*>(ring.data + ring.readPosition), want, 0);
  if (sent <= 0) return 0;
  ring.readPosition += sent;
  ring.dataLength -= sent;
  r->sendRemaining -= sent;
  return sent;
}

// Everything in the send ring when a message's header goes out is that
// message; the body follows as the socket takes it.
void SendMessages(NetWorkHandleRecord* r) {
  while (r->sendRing.dataLength > 0) {
    uint8_t header[4];
    if (r->sendHeaderRemaining > 0) {
      EncodeLength(header, r->sendRemaining);
      int sent = send(r->socket, reinterpret_cast<const char*>(header + 4 - r->sendHeaderRemaining),
                      r->sendHeaderRemaining, 0);
      if (sent > 0) r->sendHeaderRemaining -= sent;
      if (r->sendHeaderRemaining > 0) return;
    } else if (r->sendRemaining == 0) {
      r->sendRemaining = r->sendRing.dataLength;
      EncodeLength(header, r->sendRemaining);
      int sent = send(r->socket, reinterpret_cast<const char*>(header), 4, 0);
      if (sent == SOCKET_ERROR) {
        r->sendRemaining = 0;
        return;
      }
      if (sent < 4) {
        r->sendHeaderRemaining = 4 - sent;
        return;
      }
    }
    const RingBuffer& ring = r->sendRing;
    int32_t position = ring.readPosition >= ring.capacity ? 0 : ring.readPosition;
    int32_t first = std::min(r->sendRemaining, ring.capacity - position);
    int sent = SendFromRing(r, first);
    if (sent == first && r->sendRemaining > 0) sent += SendFromRing(r, r->sendRemaining);
    if (PumpNetWorkMessages(0) != 0 || sent == 0 || r->sendRemaining > 0) return;
  }
}

int SendSocketOf(NetWorkHandleRecord* r) {
  if (NetWork.sending) return -1;
  NetWork.sending = 1;
  PumpNetWorkMessages(0);
  int result = CheckUsable(r, "SendSocket");
  if (result == 0 && r->framed) SendMessages(r);
  NetWork.sending = 0;
  return result;
}

int ReceiveFramed(int handle, void* buffer, int32_t length, bool peek, const char* where) {
  NetWorkHandleRecord* r = length < 0 ? nullptr : FindRecord(handle, false);
  if (r == nullptr) return -1;
  PumpNetWorkMessages(0);
  if (CheckUsable(r, where) != 0) return -1;
  RecvSocketOf(r);
  if (!r->framed) return recv(r->socket, static_cast<char*>(buffer), length, peek ? MSG_PEEK : 0);
  // Only complete messages are handed out, never the start of one still arriving.
  if (r->receiveWaiting < length) return -1;
  RingBufferRead(&r->receiveRing, buffer, length, peek ? 1 : 0);
  if (peek) return 0;
  r->receiveWaiting -= length;
  RecvSocketOf(r);
  return 0;
}

// The UDP results of a failed send or receive.
int UdpFailure() {
  switch (WSAGetLastError()) {
    case WSAEWOULDBLOCK:
      ProcessWindowMessages_Unlocked();
      return -3;
    case WSAEMSGSIZE:
      return -2;
    default:
      return -1;
  }
}

}  // namespace

// ---------------------------------------------------------------- start and end

int InitNetWorkSystem(HWND parent) {
  WriteErrorLog("ネットワーク関連を初期化します\n");
  PushLogIndent();
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    WriteErrorLog("WinSock.DLLが導入されていません\n");
    PopLogIndent();
    return -1;
  }
  if (data.wVersion != MAKEWORD(1, 1)) {
    WSACleanup();
    WriteErrorLog("Winsock.DLLのバージョンが違います\n");
    PopLogIndent();
    return -1;
  }
  char hostName[256] = {};
  if (gethostname(hostName, sizeof hostName) == 0) {
    hostent* host = gethostbyname(hostName);
    if (host != nullptr && host->h_addr_list[0] != nullptr) memcpy(&NetWork.localAddress, host->h_addr_list[0], 4);
  }
  NetWorkHandleTable.Reset();
  NetWork.started = 1;

  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = NetWorkWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  windowClass.lpszClassName = kWindowClass;
  const char* failure = nullptr;
  if (RegisterClassExA(&windowClass) == 0) {
    failure = "ネットワーク処理用の子ウインドウクラスの登録に失敗しました\n";
  } else {
    NetWork.window = CreateWindowExA(WS_EX_TRANSPARENT, kWindowClass, kWindowClass, WS_CHILD | WS_MINIMIZE, 0, 0, 0,
                                     0, parent != nullptr ? parent : MainHwnd, nullptr, instance, nullptr);
    if (NetWork.window == nullptr) {
      UnregisterClassA(kWindowClass, instance);
      failure = "ネットワーク処理用の子ウインドウの作成に失敗しました\n";
    }
  }
  if (failure != nullptr) {
    // A start that failed leaves nothing behind, so the next operation tries again.
    NetWork.started = 0;
    WSACleanup();
    WriteErrorLog(failure);
    PopLogIndent();
    return -1;
  }
  InitHandleList(&NetWork.head, &NetWork.tail);
  PopLogIndent();
  WriteErrorLog("初期化を完了しました \n");
  return 0;
}

int EndNetWorkSystem() {
  if (!NetWork.started) return 0;
  WriteErrorLog("ネットワーク関連の終了処理を行います \n");
  // The listening socket goes first, so nothing is accepted while the
  // connections drain.
  if (NetWork.listener != nullptr) EndNetWorkListen_Unlocked();
  for (uint32_t slot = 0; slot < NetWorkHandleTable.top; ++slot) {
    NetWorkHandleRecord* r = NetWorkHandleTable.records[slot];
    if (r == nullptr) continue;
    if (r->connecting) {  // no handle yet: nothing to drain
      FreeRecord(r, static_cast<int32_t>(slot));
      continue;
    }
    int handle = NetWorkHandleTable.HandleAt(slot);
    if (r->isUdp)
      DeleteUdpNetWork_Unlocked(handle);
    else
      CloseNetWorkConnection(handle);
  }
  PostMessageA(NetWork.window, WM_CLOSE, 0, 0);
  PumpNetWorkMessages(0);
  // The class goes with the window, so a later start can register it again.
  if (NetWork.windowDestroyed) UnregisterClassA(kWindowClass, GetModuleHandleA(nullptr));
  NetWork = NetWorkState{};
  NetWorkHandleTable.Reset();
  NetWorkHandleTable.checkCounter = 0;
  WSACleanup();
  WriteErrorLog("ネットワーク関連の終了処理は完了しました\n");
  return 0;
}

// ---------------------------------------------------------------- events

int PumpNetWorkMessages(int autoClose) {
  if (!NetWork.started) return 0;
  if (autoClose) {
    for (uint32_t slot = 0; slot < NetWorkHandleTable.top; ++slot) {
      NetWorkHandleRecord* r = NetWorkHandleTable.records[slot];
      if (r == nullptr) continue;
      if (!r->isUdp && r->valid && r->error && r->checkNumber <= HandleCheckMax) {
        CloseNetWorkConnection(NetWorkHandleTable.HandleAt(slot));
      } else if (r->connecting && ElapsedSince(r->connectStart) >= ConnectTimeOut() + kAbandonedConnectGrace) {
        GiveUpConnect(r);  // a connection being made that nobody asks about any more
      }
    }
  }
  MSG msg;
  while (NetWork.window != nullptr && PeekMessageA(&msg, NetWork.window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  return 0;
}

int HandleSocketEvent(intptr_t event, uintptr_t socket) {
  NetWorkHandleRecord* r = FindBySocket(static_cast<SOCKET>(socket));
  if (r == nullptr) {
    WriteErrorLog("通信エラー No.1\n");
    return 0;
  }
  long what = WSAGETSELECTEVENT(event);
  int error = WSAGETSELECTERROR(event);
  if (r->isUdp) {
    if (what == FD_READ) r->udpReadReady = 1;
    if (what == FD_WRITE) r->udpWriteReady = 1;
    return 1;
  }
  switch (what) {
    case FD_READ:
      RecvSocketOf(r);
      break;
    case FD_WRITE:
      SendSocketOf(r);
      break;
    case FD_ACCEPT:
      return AcceptNetWork();
    case FD_CONNECT:
      if (error == 0) r->connected = 1;
      else r->connectFailed = 1;
      break;
    case FD_CLOSE:
      r->connected = 0;
      // What the peer sent before it closed is taken in now.
      if (!r->error) RecvSocketOf(r);
      break;
    default:
      break;
  }
  return 1;
}

int AcceptNetWork() {
  if (!NetWork.started || NetWork.listener == nullptr) return -1;
  PumpNetWorkMessages(0);
  int32_t slot = FirstFreeSlot();
  if (slot < 0) return WriteErrorLog("空きソケットデータがなかったので accept を拒否しました \n");
  NetWorkHandleRecord* r = NewRecord(slot);
  if (r == nullptr) return WriteErrorLog("ソケット用のメモリの確保に失敗しました\n");
  r->connected = 1;
  r->accepted = 1;
  sockaddr_in peer{};
  int length = sizeof peer;
  r->socket = accept(NetWork.listener->socket, reinterpret_cast<sockaddr*>(&peer), &length);
  int result = 0;
  if (r->socket == INVALID_SOCKET) {
    result = WriteNetWorkErrorLog("acceptに失敗しました");
  } else {
    r->peerAddress = peer.sin_addr.s_addr;
    r->port = peer.sin_port;
    if (WSAAsyncSelect(r->socket, NetWork.window, NetWorkSocketMessage, FD_READ | FD_WRITE | FD_CLOSE) != 0)
      result = WriteNetWorkErrorLog("WSAAsyncSelectのエラー in AcceptNetWork");
  }
  if (result != 0) {
    FreeRecord(r, slot);
    return -1;
  }
  StampRecord(r, slot);
  return 1;
}

// ---------------------------------------------------------------- TCP

int OpenNetWorkConnection_Unlocked(uint32_t address, int32_t port) {
  if (!EnsureStarted()) return -1;
  PumpNetWorkMessages(0);
  uint32_t networkPort = PortOf(port);
  for (HandleListNode* n = NetWork.head.next; n != &NetWork.tail; n = n->next) {
    auto* open = static_cast<NetWorkHandleRecord*>(n->record);
    if (open->isUdp || !open->valid || open->peerAddress != address || open->port != networkPort) continue;
    if (open->connecting) return CheckConnect(open);
    if (open->connected && n->handle >= 0) return n->handle;
  }
  int32_t slot = FirstFreeSlot();
  if (slot < 0) return WriteErrorLog("ソケットに空きがありません\n");
  NetWorkHandleRecord* r = NewRecord(slot);
  if (r == nullptr) return WriteErrorLog("ソケット用のメモリの確保に失敗しました\n");
  r->taken = 1;
  r->peerAddress = address;
  r->port = networkPort;

  bool started = false;
  r->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (r->socket == INVALID_SOCKET) {
    WriteNetWorkErrorLog("WINSOCK.DLLが動作していません、ソケットの作成に失敗しました_2");
  } else if (WSAAsyncSelect(r->socket, NetWork.window, NetWorkSocketMessage,
                            FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0) {
    WriteNetWorkErrorLog("WSAAsyncSelectでエラーが発生しました");
  } else {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = static_cast<uint16_t>(networkPort);
    to.sin_addr.s_addr = address;
    if (connect(r->socket, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
      LogConnectFailure(address);
    } else {
      started = true;
    }
  }
  if (!started) {
    FreeRecord(r, slot);
    return -1;
  }
  // The connect event comes through the pumps; nobody waits for it here.
  r->connecting = 1;
  r->connectStart = GetMillisecondCount(0);
  PumpNetWorkMessages(0);
  return CheckConnect(r);
}

int CancelNetWorkConnection_Unlocked(uint32_t address, int32_t port) {
  if (!NetWork.started) return -1;
  const uint32_t networkPort = PortOf(port);
  for (HandleListNode* n = NetWork.head.next; n != &NetWork.tail; n = n->next) {
    auto* r = static_cast<NetWorkHandleRecord*>(n->record);
    if (!r->connecting || r->peerAddress != address || r->port != networkPort) continue;
    FreeRecord(r, SlotOfRecord(r));
    return 0;
  }
  return -1;
}

int StartNetWorkListen_Unlocked(int32_t port) {
  if (!EnsureStarted() || NetWork.listener != nullptr) return -1;
  NetWorkHandleRecord* r = NewRecord(-1);
  if (r == nullptr) return WriteNetWorkErrorLog("接続待ちソケット用のメモリの確保に失敗しました");
  bool ok = false;
  r->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (r->socket == INVALID_SOCKET) {
    WriteNetWorkErrorLog("ソケットの作成に失敗しました。WINSOCK.DLLが作動していません");
  } else if (WSAAsyncSelect(r->socket, NetWork.window, NetWorkSocketMessage,
                            FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE) != 0) {
    WriteNetWorkErrorLog("WSAsyncSelectでエラーが発生しました");
  } else {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = PortOf(port);
    local.sin_addr.s_addr = INADDR_ANY;
    if (bind(r->socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
      WriteNetWorkErrorLog("bind出来ません");
    } else if (listen(r->socket, 5) != 0) {
      WriteNetWorkErrorLog("listenを失敗しました");
    } else {
      ok = true;
    }
  }
  if (!ok) {
    FreeRecord(r, -1);
    return -1;
  }
  StampRecord(r, -1);
  NetWork.listener = r;
  return 0;
}

int EndNetWorkListen_Unlocked() {
  NetWorkHandleRecord* r = NetWork.listener;
  if (r == nullptr) return -1;
  NetWork.listener = nullptr;
  shutdown(r->socket, SD_BOTH);
  FreeRecord(r, -1);
  return 0;
}

int CloseNetWorkConnectionAtOnce(int handle) {
  if (!NetWork.started) return -1;
  NetWorkHandleRecord* r = FindRecord(handle, false);
  if (r == nullptr || !r->valid) return -1;
  FreeRecord(r, SlotOf(handle));
  return 0;
}

int CloseNetWorkConnection(int handle) {
  if (!NetWork.started) return -1;
  NetWorkHandleRecord* r = FindRecord(handle, false);
  if (r == nullptr || !r->valid) return -1;
  PumpNetWorkMessages(0);
  // Each drain ends early once the main window is closed, or when nothing more
  // can move: the peer has gone or the handle is in error.
  auto drainable = [r] { return r->connected && !r->error && !MainWindowClosed; };
  // A pass that moved nothing sleeps a millisecond, so that each drain ends
  // on any clock (the tests' virtual clock only moves while the program
  // sleeps).
  int32_t start = GetMillisecondCount(0);
  while (r->receiveMissing > 0 && drainable() && ElapsedSince(start) < kCloseDrainTime) {
    const int32_t missing = r->receiveMissing;
    PumpNetWorkMessages(0);
    RecvSocketOf(r);
    if (r->receiveMissing == missing) Sleep(1);
  }
  start = GetMillisecondCount(0);
  while (r->sendRing.dataLength > 0 && drainable() && ElapsedSince(start) < kCloseDrainTime) {
    const auto waiting = r->sendRing.dataLength;
    PumpNetWorkMessages(0);
    SendSocketOf(r);
    if (r->sendRing.dataLength == waiting) Sleep(1);
  }
  FreeRecord(r, SlotOf(handle));
  return 0;
}

int RecvSocket(int handle) {
  NetWorkHandleRecord* r = FindRecord(handle, false);
  if (r == nullptr) {
    if (NetWork.receiving) return -1;
    PumpNetWorkMessages(0);
    return WriteErrorLog("有効なネットワークハンドルではありません in RecvSocket\n");
  }
  return RecvSocketOf(r);
}

int SendSocket(int handle) {
  NetWorkHandleRecord* r = FindRecord(handle, false);
  if (r == nullptr) {
    if (NetWork.sending) return -1;
    PumpNetWorkMessages(0);
    return WriteErrorLog("有効なネットワークハンドルではありません in SendSocket\n");
  }
  return SendSocketOf(r);
}

int NetWorkRecv_Unlocked(int handle, void* buffer, int32_t length) {
  return ReceiveFramed(handle, buffer, length, false, "NetWorkRecv");
}

int NetWorkRecvToPeek(int handle, void* buffer, int32_t length) {
  return ReceiveFramed(handle, buffer, length, true, "NetWorkRecvToPeek");
}

int NetWorkSend_Unlocked(int handle, const void* buffer, uint32_t length) {
  if (!NetWork.started) return -1;
  NetWorkHandleRecord* r = FindRecord(handle, false);
  if (r == nullptr) return -1;
  PumpNetWorkMessages(0);
  if (CheckUsable(r, "NetWorkSend") != 0 || !r->connected) return -1;
  SendSocketOf(r);
  if (!r->framed) return send(r->socket, static_cast<const char*>(buffer), static_cast<int>(length), 0);
  // The send ring holds no more than a peer accepts as one message.
  if (length > NetWorkMessageLimit - static_cast<uint32_t>(r->sendRing.dataLength) ||
      RingBufferWrite(&r->sendRing, buffer, static_cast<int32_t>(length)) != 0)
    return WriteErrorLogFormat("送信データ %u byte の追加に失敗しました in NewWorkSend", length);
  SendSocketOf(r);
  return 0;
}

int GetNetWorkDataLength_Unlocked(int handle) {
  if (!NetWork.started) return -1;
  PumpNetWorkMessages(0);
  NetWorkHandleRecord* r = FindRecord(handle, false);
  if (r == nullptr) return -1;
  RecvSocketOf(r);
  SendSocketOf(r);
  if (CheckUsable(r, "GetNetWorkDataLength") != 0) return -1;
  if (r->framed) return r->receiveWaiting;
  char byte;
  int got = recv(r->socket, &byte, 1, MSG_PEEK);
  if (got == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
  return got;
}

int TakeNewAcceptedNetWork_Unlocked() {
  if (!NetWork.started) return -1;
  PumpNetWorkMessages(0);
  for (HandleListNode* n = NetWork.head.next; n != &NetWork.tail;) {
    auto* r = static_cast<NetWorkHandleRecord*>(n->record);
    HandleListNode* next = n->next;
    if (r->valid && !r->taken && n->handle >= 0) {
      if (r->connected) {
        r->taken = 1;
        return n->handle;
      }
      // Closed by its peer before anyone took it: nobody ever will.
      if (r->accepted) {
        WriteErrorLog("受け取られる前に切断された接続を閉じます\n");
        CloseNetWorkConnection(n->handle);
      }
    }
    n = next;
  }
  return -1;
}

int GetNetWorkPeerIP_Unlocked(int handle, uint32_t* address) {
  NetWorkHandleRecord* r = FindRecord(handle, false);
  if (r == nullptr || !r->valid || address == nullptr) return -1;
  *address = r->peerAddress;
  return 0;
}

// ---------------------------------------------------------------- UDP

int CreateUdpNetWork_Unlocked(int32_t port) {
  if (!EnsureStarted()) return -1;
  int32_t slot = FirstFreeSlot();
  if (slot < 0) return WriteErrorLog("ソケットに空きがありません\n");
  NetWorkHandleRecord* r = NewRecord(slot);
  if (r == nullptr) return WriteErrorLog("ソケット用のメモリの確保に失敗しました\n");
  r->isUdp = 1;
  r->port = port == -1 ? kUnboundPort : PortOf(port);
  r->udpWriteReady = 1;
  bool ok = false;
  r->socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (r->socket == INVALID_SOCKET) {
    WriteNetWorkErrorLog("WINSOCK.DLLが動作していません、ソケットの作成に失敗しました_1");
  } else {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = static_cast<uint16_t>(r->port);
    local.sin_addr.s_addr = INADDR_ANY;
    if (port != -1 && bind(r->socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
      WriteNetWorkErrorLog("bind出来ません");
    } else if (WSAAsyncSelect(r->socket, NetWork.window, NetWorkSocketMessage, FD_READ | FD_WRITE) != 0) {
      WriteNetWorkErrorLog("WSAAsyncSelectでエラーが発生しました");
    } else {
      ok = true;
    }
  }
  if (!ok) {
    FreeRecord(r, slot);
    return -1;
  }
  return StampRecord(r, slot);
}

int DeleteUdpNetWork_Unlocked(int handle) {
  NetWorkHandleRecord* r = FindRecord(handle, true);
  if (r == nullptr || !r->valid) return -1;
  FreeRecord(r, SlotOf(handle));
  return 0;
}

int UdpNetWorkSend_Unlocked(int handle, uint32_t address, int32_t port, const void* buffer, int32_t length) {
  NetWorkHandleRecord* r = FindRecord(handle, true);
  if (r == nullptr || !r->valid) return -1;
  if (port == -1 && r->port == kUnboundPort) return -1;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = port == -1 ? static_cast<uint16_t>(r->port) : PortOf(port);
  to.sin_addr.s_addr = address;
  int sent = sendto(r->socket, static_cast<const char*>(buffer), length, 0, reinterpret_cast<sockaddr*>(&to),
                    sizeof to);
  if (sent == SOCKET_ERROR) return UdpFailure();
  r->udpWriteReady = 0;
  return sent;
}

int UdpNetWorkRecv_Unlocked(int handle, uint8_t address[4], uint32_t* port, void* buffer, int32_t length,
                            int32_t peek) {
  NetWorkHandleRecord* r = FindRecord(handle, true);
  if (r == nullptr || !r->valid) return -1;
  sockaddr_in from{};
  int fromLength = sizeof from;
  int got = recvfrom(r->socket, static_cast<char*>(buffer), length, peek ? MSG_PEEK : 0,
                     reinterpret_cast<sockaddr*>(&from), &fromLength);
  r->udpReadReady = 0;
  if (got == SOCKET_ERROR) return UdpFailure();
  if (address != nullptr) memcpy(address, &from.sin_addr.s_addr, 4);
  if (port != nullptr) *port = ntohs(from.sin_port);
  return got;
}

int UdpNetWorkCheckRecv_Unlocked(int handle) {
  NetWorkHandleRecord* r = FindRecord(handle, true);
  if (r == nullptr || !r->valid) return -1;
  if (r->udpReadReady) {
    r->udpReadReady = 0;
    return 1;
  }
  char probe[16];
  sockaddr_in from{};
  int fromLength = sizeof from;
  if (recvfrom(r->socket, probe, sizeof probe, MSG_PEEK, reinterpret_cast<sockaddr*>(&from), &fromLength) !=
          SOCKET_ERROR ||
      WSAGetLastError() == WSAEMSGSIZE)
    return 1;
  ProcessWindowMessages_Unlocked();
  return 0;
}

// ---------------------------------------------------------------- log

int WriteNetWorkErrorLog(const char* format, ...) {
  int error = WSAGetLastError();
  char text[1024];
  va_list args;
  va_start(args, format);
  FormatStringV(text, sizeof text, format, args);
  va_end(args);
  return WriteErrorLogFormat("ネットワークログ。%s[%d]", text, error);
}

// ---------------------------------------------------------------- public entries

namespace {

template <typename Body, typename... Args>
int Locked(Body body, Args... args) {
  EnterLibraryLock();
  int result = body(args...);
  LeaveLibraryLock();
  return result;
}

}  // namespace

int OpenNetWorkConnection(uint32_t address, int32_t port) { return Locked(OpenNetWorkConnection_Unlocked, address, port); }
int StartNetWorkListen(int32_t port) { return Locked(StartNetWorkListen_Unlocked, port); }
int EndNetWorkListen() { return Locked(EndNetWorkListen_Unlocked); }
int GetNetWorkDataLength(int handle) { return Locked(GetNetWorkDataLength_Unlocked, handle); }
int TakeNewAcceptedNetWork() { return Locked(TakeNewAcceptedNetWork_Unlocked); }
int GetNetWorkPeerIP(int handle, uint32_t* address) { return Locked(GetNetWorkPeerIP_Unlocked, handle, address); }
int NetWorkRecv(int handle, void* buffer, int32_t length) { return Locked(NetWorkRecv_Unlocked, handle, buffer, length); }
int NetWorkSend(int handle, const void* buffer, uint32_t length) {
  return Locked(NetWorkSend_Unlocked, handle, buffer, length);
}
int CloseNetWork(int handle) { return Locked(CloseNetWorkConnection, handle); }
int CloseNetWorkAtOnce(int handle) { return Locked(CloseNetWorkConnectionAtOnce, handle); }
int CancelNetWorkConnection(uint32_t address, int32_t port) {
  return Locked(CancelNetWorkConnection_Unlocked, address, port);
}
int CreateUdpNetWork(int32_t port) { return Locked(CreateUdpNetWork_Unlocked, port); }
int DeleteUdpNetWork(int handle) { return Locked(DeleteUdpNetWork_Unlocked, handle); }
int UdpNetWorkSend(int handle, uint32_t address, int32_t port, const void* buffer, int32_t length) {
  return Locked(UdpNetWorkSend_Unlocked, handle, address, port, buffer, length);
}
int UdpNetWorkRecv(int handle, uint8_t address[4], uint32_t* port, void* buffer, int32_t length, int32_t peek) {
  return Locked(UdpNetWorkRecv_Unlocked, handle, address, port, buffer, length, peek);
}
int UdpNetWorkCheckRecv(int handle) { return Locked(UdpNetWorkCheckRecv_Unlocked, handle); }
