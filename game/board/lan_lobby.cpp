// The LAN lobby and its link test.
#include "game/board/lan_lobby.h"

#include <cstring>

#include "game/shell/game_main.h"
#include "game/shell/input_mapping.h"
#include "game/shell/message_text.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

int32_t PeerHandles[5] = {};
uint8_t PeerAddresses[5][4] = {};
int32_t OwnPlayerNumber = 0;
uint8_t ServerAddress[4] = {};
int32_t LanPort = 0;
int32_t LinkUdpHandle = -1;
int32_t LinkDelayFrames[5] = {};
int32_t PingSentMs[5] = {-1, -1, -1, -1, -1};
int32_t PingReplyMs[5] = {-1, -1, -1, -1, -1};
int32_t PingFrameCounters[5] = {};

int32_t LanLobbyStep = 0;
int32_t LanMenuStep = 0;
int32_t LanMenuCursor = 0;
int32_t LanMenuCancelled = 0;
int32_t LanHostStep = 1;
int32_t LanClientStep = 0;
int32_t LinkTestStep = 0;
int32_t LanClientSlot = 2;
int32_t LanClientField = 0;
int32_t LanKeyInput = -1;
int32_t LanConnectWait = 0;
uint32_t LastSentButtons = 0;
int32_t LinkErrorFrames = 0;
const char* LanNotice = nullptr;
uint32_t RefusedLobbyRecords = 0;
uint32_t RefusedLinkDatagrams = 0;

namespace {

// The address the client offers before any octet is typed: a private LAN
// address next to the usual router address.
constexpr uint8_t kDefaultServerAddress[4] = {192, 168, 0, 2};
constexpr int32_t kPingIntervalFrames = 600;
constexpr int32_t kMaxDatagramsPerFrame = 32;
// A connection refused or not made in time is tried again a second later.
constexpr int32_t kConnectRetryFrames = 60;
// The link test's error stays this long unless B is pressed.
constexpr int32_t kLinkErrorFrames = 120;
// Replies later than this belong to no ping of ours.
constexpr int32_t kLongestRoundTripMs = 10000;

uint32_t White() { return MakeScreenColor(255, 255, 255); }

void DrawLobbyText(int32_t x, int32_t y, const char* text, int32_t size) {
  DrawTextToHandle(x, y, text, White(), FontHandlesBySize[size - 1], 0, 0);
}

bool IsOtherPlayerWithHandle(int32_t n) { return n != OwnPlayerNumber && PeerHandles[n] != 0; }

bool HasPeerAddress(int32_t n) {
  static const uint8_t kNone[4] = {255, 255, 255, 255};
  return memcmp(PeerAddresses[n], kNone, 4) != 0;
}

void ClearPeerAddresses() { memset(PeerAddresses, 255, sizeof PeerAddresses); }

// A numbers-only field of the given length, made active.
int32_t NewNumberInput(int32_t length) {
  int32_t handle = CreateKeyInputHandle(length, 0, 0, 1);
  ActivateKeyInputHandle(handle);
  return handle;
}

// The field's typed value; the field itself is deleted.
int32_t EndNumberInput() {
  int32_t value = GetKeyInputValue(LanKeyInput);
  DeleteKeyInputHandle(LanKeyInput);
  LanKeyInput = -1;
  return value;
}

void DropNumberInput() {
  DeleteAllKeyInputHandles();
  LanKeyInput = -1;
}

// The first refusal of each kind is logged with its reason; the count when
// the lobby is left.
void NoteRefusedLobbyRecord(const LobbyRecord& record, const char* where) {
  if (RefusedLobbyRecords++ == 0)
    WriteErrorLogFormat("LANロビー: %s のプレイヤー番号 %d は使えません 記録を捨てます", where, record.player);
}

void NoteRefusedDatagram(const char* reason, uint32_t value) {
  if (RefusedLinkDatagrams++ == 0)
    WriteErrorLogFormat("リンクテスト: データグラムを捨てます (%s %u)", reason, value);
}

// A zero-length send fails once the peer has closed or the handle is gone,
// and puts nothing on the wire otherwise.
bool ConnectionLost(int32_t handle) {
  const char none = 0;
  return NetWorkSend(handle, &none, 0) != 0;
}

// Closes what the lobby opened: its connections, a listening socket, the
// connections it accepted and never took, and any key-input field. Nothing
// more is said over the connections, so they are closed at once: no frame
// waits for a peer that holds back the rest of a message.
void LeaveLanLobby() {
  for (int32_t n = 1; n <= 4; ++n) {
    if (PeerHandles[n] != 0) CloseNetWorkAtOnce(PeerHandles[n]);
    PeerHandles[n] = 0;
  }
  EndNetWorkListen();
  for (int32_t extra; (extra = TakeNewAcceptedNetWork()) != -1;) CloseNetWorkAtOnce(extra);
  DropNumberInput();
  if (RefusedLobbyRecords + RefusedLinkDatagrams > 0)
    WriteErrorLogFormat("LANロビー: 捨てた記録 %u 個、データグラム %u 個", RefusedLobbyRecords, RefusedLinkDatagrams);
  RefusedLobbyRecords = 0;
  RefusedLinkDatagrams = 0;
  LanNotice = nullptr;
}

uint32_t ReadU32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

// ---------------------------------------------------------------- records

LinkRecord DecodeLinkRecord(const uint8_t bytes[kLinkRecordSize]) {
  return {ReadU32(bytes), ReadU32(bytes + 4), ReadU32(bytes + 8), ReadU32(bytes + 12), ReadU32(bytes + 16)};
}

void EncodeLinkRecord(const LinkRecord& record, uint8_t bytes[kLinkRecordSize]) {
  WriteU32(bytes, record.sender);
  WriteU32(bytes + 4, record.destination);
  WriteU32(bytes + 8, record.kind);
  WriteU32(bytes + 12, record.phase);
  WriteU32(bytes + 16, record.buttons);
}

uint32_t PackAddress(const uint8_t octets[4]) {
  uint32_t address;
  memcpy(&address, octets, 4);
  return address;
}

bool ReadLobbyRecord(const LobbyRecord& record) {
  if (record.player == 0) return false;
  if (record.player < 2 || record.player > 4) {
    NoteRefusedLobbyRecord(record, "自分の番号");
    return false;
  }
  OwnPlayerNumber = record.player;
  return true;
}

void LobbyRecordAddress(const LobbyRecord& record, uint8_t out[4]) { memcpy(out, record.address, 4); }

int32_t ApplyAddressListRecord(const LobbyRecord& record) {
  if (record.player == 0) return 1;
  if (record.player > 4) {
    NoteRefusedLobbyRecord(record, "アドレス一覧");
    return 0;
  }
  LobbyRecordAddress(record, PeerAddresses[record.player]);
  return 0;
}

bool TakeLobbyRecord(int32_t handle, LobbyRecord* out) {
  if (GetNetWorkDataLength(handle) < kLobbyRecordSize) return false;
  uint8_t bytes[kLobbyRecordSize];
  if (NetWorkRecv(handle, bytes, kLobbyRecordSize) != 0) return false;
  out->player = bytes[0];
  memcpy(out->address, bytes + 1, 4);
  return true;
}

void SendLinkRecord(int32_t destination, uint32_t kind, uint32_t sender, uint32_t phase, uint32_t buttons) {
  if (destination < 1 || destination > 4 || !HasPeerAddress(destination)) return;
  uint8_t bytes[kLinkRecordSize];
  EncodeLinkRecord({sender, static_cast<uint32_t>(destination), kind, phase, buttons}, bytes);
  UdpNetWorkSend(LinkUdpHandle, PackAddress(PeerAddresses[destination]), LanPort, bytes, kLinkRecordSize);
}

int32_t ComputeLinkDelay(int32_t sentMs, int32_t replyMs) {
  if (sentMs < 0) return -1;
  int32_t roundTrip = static_cast<int32_t>((static_cast<uint32_t>(replyMs) - static_cast<uint32_t>(sentMs)) & 0x7FFFFFFFu);
  if (roundTrip > kLongestRoundTripMs) return -1;
  return roundTrip / 2 / 16;
}

void HandleLinkRecord(const LinkRecord& record) {
  if (record.kind < 5 || record.kind > 8 || record.sender < 1 || record.sender > 4) return;
  if (record.phase == 0) {
    SendLinkRecord(static_cast<int32_t>(record.sender), record.kind, record.destination, 1, 0);
    return;
  }
  int32_t now = GetMillisecondCount(0);
  int32_t delay = ComputeLinkDelay(PingSentMs[record.sender], now);
  if (delay < 0) return;
  PingReplyMs[record.sender] = now;
  LinkDelayFrames[record.sender] = delay;
}

bool AcceptLinkDatagram(const uint8_t* bytes, int32_t length, const uint8_t source[4]) {
  if (length != kLinkRecordSize) {
    NoteRefusedDatagram("長さ", static_cast<uint32_t>(length));
    return false;
  }
  LinkRecord record = DecodeLinkRecord(bytes);
  uint32_t s = record.sender;
  if (s < 1 || s > 4 || static_cast<int32_t>(s) == OwnPlayerNumber || !HasPeerAddress(static_cast<int32_t>(s))) {
    NoteRefusedDatagram("送信者", s);
    return false;
  }
  if (memcmp(source, PeerAddresses[s], 4) != 0) {
    NoteRefusedDatagram("送信元が送信者と違います 送信者", s);
    return false;
  }
  if (record.destination != static_cast<uint32_t>(OwnPlayerNumber)) {
    NoteRefusedDatagram("宛先", record.destination);
    return false;
  }
  if (record.kind < 1 || record.kind > 8 || record.phase > 1) {
    NoteRefusedDatagram("種類", record.kind);
    return false;
  }
  HandleLinkRecord(record);
  return true;
}

int32_t ReceiveLinkDatagrams() {
  int32_t handled = 0;
  for (int32_t taken = 0; taken < kMaxDatagramsPerFrame && UdpNetWorkCheckRecv(LinkUdpHandle) == 1; ++taken) {
    // Room for more than a record, so that a longer datagram shows its length.
    uint8_t bytes[64];
    uint8_t source[4] = {};
    uint32_t port = 0;
    int got = UdpNetWorkRecv(LinkUdpHandle, source, &port, bytes, sizeof bytes, 0);
    if (got == -2) {  // longer than the buffer: taken out of the socket all the same
      NoteRefusedDatagram("長さ", sizeof bytes + 1);
      continue;
    }
    if (got < 0) break;
    if (AcceptLinkDatagram(bytes, got, source)) ++handled;
  }
  return handled;
}

// ---------------------------------------------------------------- the scene

int RunLanLobbyScene() {
  switch (LanLobbyStep) {
    case 0:
    case 1:
    case 2:
      ++LanLobbyStep;
      break;
    case 3: {
      int result = RunLanMenu();
      if (result == -1) LanLobbyStep = 6;
      if (result == 1) LanLobbyStep = 4;
      break;
    }
    case 4:
      if (RunLinkTest() == 1) LanLobbyStep = 6;
      break;
    case 6:
      LeaveLanLobby();
      LanLobbyStep = 2;
      return 1;
    default:
      break;
  }
  return 0;
}

int RunLanMenu() {
  if (UpdateFade() == 1) LanMenuStep = 7;
  DrawLobbyText(100, 50, "ホストになる", 20);
  DrawLobbyText(100, 100, "クライアントになる", 20);
  DrawLobbyText(100, 150, "戻る", 20);
  switch (LanMenuStep) {
    case 0:
      LanMenuCursor = 0;
      LanMenuStep = 2;
      break;
    case 2:
      for (int32_t& handle : PeerHandles) handle = 0;
      LanMenuCancelled = 0;
      LanMenuStep = 3;
      break;
    case 3:
      if (IsNewButtonPress(1, kButtonUp)) LanMenuCursor = (LanMenuCursor + 2) % 3;
      if (IsNewButtonPress(1, kButtonDown)) LanMenuCursor = (LanMenuCursor + 1) % 3;
      if (IsNewButtonPress(1, kButtonA)) {
        if (LanMenuCursor == 0) LanMenuStep = 4;
        if (LanMenuCursor == 1) LanMenuStep = 5;
        if (LanMenuCursor == 2) {
          LanMenuCancelled = 1;
          LanMenuStep = 6;
        }
      } else if (IsNewButtonPress(1, kButtonB)) {
        LanMenuCancelled = 1;
        LanMenuStep = 6;
      }
      SetDrawBlend(1, 128);
      DrawRectangleShape(80, 50 + 50 * LanMenuCursor, 350, 70 + 50 * LanMenuCursor, MakeScreenColor(255, 255, 0), 1);
      SetDrawBlend(0, 255);
      break;
    case 4:
    case 5: {
      int result = LanMenuStep == 4 ? RunLanHost() : RunLanClient();
      if (result == -1) LanMenuCancelled = 1;
      if (result != 0) LanMenuStep = 6;
      break;
    }
    case 6:
      FadeOutRequest = 1;
      break;
    case 7:
      LanMenuStep = 2;
      return LanMenuCancelled ? -1 : 1;
    default:
      break;
  }
  return 0;
}

int RunLanHost() {
  switch (LanHostStep) {
    case 1:
      LanKeyInput = NewNumberInput(5);
      LanClientSlot = 2;
      OwnPlayerNumber = 1;
      LanNotice = nullptr;
      LanHostStep = 2;
      break;
    case 2: {
      if (IsNewButtonPress(1, kButtonB)) {
        DropNumberInput();
        LanHostStep = 1;
        return -1;
      }
      DrawKeyInputText(300, 50, LanKeyInput);
      if (LanNotice != nullptr) DrawLobbyText(100, 350, LanNotice, 20);
      if (GetKeyInputStatus(LanKeyInput) != 1) break;
      int32_t port = EndNumberInput();
      if (port < 1 || port > 65535) {
        LanKeyInput = NewNumberInput(5);
        break;
      }
      if (StartNetWorkListen(port) != 0) {
        WriteErrorLogFormat("LANロビー: ポート %d で接続を待てません", port);
        LanNotice = "このポートでは待機できません";
        LanKeyInput = NewNumberInput(5);
        break;
      }
      LanPort = port;
      LanNotice = nullptr;
      LanHostStep = 3;
      break;
    }
    case 3: {
      DrawWindowFrame(100, 200, 400, 300);
      DrawLobbyText(150, 230, "待機しています！", 20);
      if (IsNewButtonPress(1, kButtonB)) {
        EndNetWorkListen();
        LanHostStep = 1;
        return -1;
      }
      int32_t handle = TakeNewAcceptedNetWork();
      if (handle == -1) break;
      PeerHandles[LanClientSlot] = handle;
      EndNetWorkListen();
      // Only one client is taken: connections that came in beside it are closed.
      for (int32_t extra; (extra = TakeNewAcceptedNetWork()) != -1;) {
        WriteErrorLog("LANロビー: 二つ目の接続を閉じます\n");
        CloseNetWorkAtOnce(extra);
      }
      LanHostStep = 4;
      break;
    }
    case 4:
      ClearPeerAddresses();
      LanHostStep = 5;
      break;
    case 5:
      for (int32_t n = 2; n <= 4; ++n) {
        uint32_t address;
        if (PeerHandles[n] != 0 && GetNetWorkPeerIP(PeerHandles[n], &address) == 0)
          memcpy(PeerAddresses[n], &address, 4);
      }
      LanHostStep = 6;
      break;
    case 6:
    case 7: {
      bool sent = true;
      for (int32_t n = 2; n <= 4; ++n) {
        if (PeerHandles[n] == 0) continue;
        if (LanHostStep == 6) {
          LobbyRecord own{static_cast<uint8_t>(n), {0, 0, 0, 0}};
          sent &= NetWorkSend(PeerHandles[n], &own, kLobbyRecordSize) == 0;
          continue;
        }
        for (int32_t m = 1; m <= 4; ++m) {
          if (PeerHandles[m] == 0) continue;
          LobbyRecord entry{static_cast<uint8_t>(m), {}};
          memcpy(entry.address, PeerAddresses[m], 4);
          sent &= NetWorkSend(PeerHandles[n], &entry, kLobbyRecordSize) == 0;
        }
        LobbyRecord end{0, {0, 0, 0, 0}};
        sent &= NetWorkSend(PeerHandles[n], &end, kLobbyRecordSize) == 0;
      }
      if (!sent) {
        WriteErrorLog("LANロビー: クライアントへの送信に失敗しました\n");
        LanHostStep = 1;
        return -1;
      }
      ++LanHostStep;
      break;
    }
    case 8:
      LanHostStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}

int RunLanClient() {
  if (LanClientStep >= 2 && IsNewButtonPress(1, kButtonB)) {
    // A connection still being made is given up with the step.
    if (LanClientStep == 3) CancelNetWorkConnection(PackAddress(ServerAddress), LanPort);
    DropNumberInput();
    LanClientStep = 1;
    return -1;
  }
  switch (LanClientStep) {
    case 0:
      memcpy(ServerAddress, kDefaultServerAddress, 4);
      LanClientStep = 1;
      break;
    case 1:
      LanClientField = 0;
      OwnPlayerNumber = 0;
      LanKeyInput = NewNumberInput(3);
      LanClientStep = 2;
      break;
    case 2: {
      DrawKeyInputText((LanClientField + 4) * 50, 300, LanKeyInput);
      DrawLobbyText(100, 250, LanClientField < 4 ? "IPを入力してください" : "ポート番号を入力してください", 20);
      for (int32_t k = 0; k < LanClientField && k < 3; ++k)
        DrawFormatTextToHandle(200 + 50 * k, 300, White(), FontHandlesBySize[19], "%3d:", ServerAddress[k]);
      if (LanClientField == 4)
        DrawFormatTextToHandle(350, 300, White(), FontHandlesBySize[19], "%3d", ServerAddress[3]);
      if (GetKeyInputStatus(LanKeyInput) != 1) break;
      int32_t value = EndNumberInput();
      if (LanClientField < 4) {
        if (value >= 0 && value <= 255) ServerAddress[LanClientField++] = static_cast<uint8_t>(value);
        LanKeyInput = NewNumberInput(LanClientField < 4 ? 3 : 5);
        break;
      }
      if (value < 1 || value > 65535) {
        LanKeyInput = NewNumberInput(5);
        break;
      }
      LanPort = value;
      LanConnectWait = 0;
      LanClientStep = 3;
      break;
    }
    case 3: {
      DrawFormatTextToHandle(200, 300, White(), FontHandlesBySize[19], "%3d:%3d:%3d:%3d %5d", ServerAddress[0],
                             ServerAddress[1], ServerAddress[2], ServerAddress[3], LanPort);
      if (LanConnectWait > 0) --LanConnectWait;
      if (LanConnectWait > 0) break;
      // The library makes the connection while the frames go on: each frame
      // asks once, without waiting.
      int32_t handle = OpenNetWorkConnection(PackAddress(ServerAddress), LanPort);
      if (handle == NetWorkConnecting) break;
      if (handle < 0) {
        LanConnectWait = kConnectRetryFrames;
        break;
      }
      PeerHandles[1] = handle;
      LanClientStep = 4;
      break;
    }
    case 4:
      DropNumberInput();
      LanClientStep = 5;
      break;
    case 5: {
      ClearPeerAddresses();
      OwnPlayerNumber = 0;
      uint32_t address;
      if (GetNetWorkPeerIP(PeerHandles[1], &address) == 0) memcpy(PeerAddresses[1], &address, 4);
      LanClientStep = 6;
      break;
    }
    case 6:
    case 7: {
      LobbyRecord record;
      if (!TakeLobbyRecord(PeerHandles[1], &record)) {
        if (!ConnectionLost(PeerHandles[1])) break;
        WriteErrorLog("LANロビー: ホストとの接続が切れました\n");
        LanClientStep = 1;
        return -1;
      }
      if (LanClientStep == 6) {
        if (ReadLobbyRecord(record)) LanClientStep = 7;
      } else if (ApplyAddressListRecord(record) == 1) {
        LanClientStep = 9;
      }
      break;
    }
    case 9:
      LanClientStep = 10;
      break;
    case 10:
      LanClientStep = 1;
      return 1;
    default:
      break;
  }
  return 0;
}

int RunLinkTest() {
  if (UpdateFade() == 1) LinkTestStep = 5;
  switch (LinkTestStep) {
    case 0:
      for (int32_t n = 0; n < 5; ++n) {
        PingSentMs[n] = -1;
        PingReplyMs[n] = -1;
        PingFrameCounters[n] = 0;
        LinkDelayFrames[n] = 0;
      }
      LastSentButtons = 0;
      LinkUdpHandle = CreateUdpNetWork(LanPort);
      if (LinkUdpHandle == -1) {
        WriteErrorLogFormat("リンクテスト: ポート %d のUDPソケットを作れません", LanPort);
        LinkErrorFrames = 0;
        LinkTestStep = 6;
        break;
      }
      LinkTestStep = 3;
      break;
    case 3: {
      uint32_t bits = GetDeviceButtons(KeyConfigTable[1].device);
      if (bits != LastSentButtons) {
        LastSentButtons = bits;
        for (int32_t n = 1; n <= 4; ++n)
          if (IsOtherPlayerWithHandle(n))
            SendLinkRecord(n, static_cast<uint32_t>(OwnPlayerNumber), static_cast<uint32_t>(OwnPlayerNumber), 0, bits);
      }
      if (IsNewButtonPress(1, kButtonB)) LinkTestStep = 4;
      for (int32_t n = 1; n <= 4; ++n) {
        if (!IsOtherPlayerWithHandle(n) || ++PingFrameCounters[n] % kPingIntervalFrames != 0) continue;
        PingFrameCounters[n] = 0;
        PingSentMs[n] = GetMillisecondCount(0);
        SendLinkRecord(n, static_cast<uint32_t>(n + 4), static_cast<uint32_t>(OwnPlayerNumber), 0, 0);
        DrawLobbyText(10, 384, "送信！", 16);
      }
      if (ReceiveLinkDatagrams() > 0) DrawLobbyText(10, 416, "受信！", 16);
      for (int32_t n = 1; n <= 4; ++n)
        if (IsOtherPlayerWithHandle(n))
          DrawFormatTextToHandle(10, 42 + 32 * (n - 1), White(), FontHandlesBySize[15], "delaytime%dP:%d[F]", n,
                                 LinkDelayFrames[n]);
      DrawLobbyText(10, 448, "終了する場合はBを押してね", 16);
      break;
    }
    case 4:
      FadeOutRequest = 1;
      break;
    case 5:
      if (LinkUdpHandle != -1) DeleteUdpNetWork(LinkUdpHandle);
      LinkUdpHandle = -1;
      LinkTestStep = 0;
      return 1;
    case 6:
      DrawLobbyText(10, 42, "UDPソケットを作成できませんでした", 20);
      if (IsNewButtonPress(1, kButtonB) || ++LinkErrorFrames >= kLinkErrorFrames) LinkTestStep = 4;
      break;
    default:
      break;
  }
  return 0;
}
