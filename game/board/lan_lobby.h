// The LAN lobby (scene 12): two machines on a local network meet here. One
// hosts: it waits on a TCP port, numbers the player that connects and sends
// it the address list. The other connects to the host's address and port and
// reads its number and the list. Then both run a link test over UDP on the
// same port: each sends its buttons to the other whenever they change and
// pings it every 600 frames, showing half the round trip in frames.
//
// Every byte that arrives from the network is a stranger's: a record is
// taken only whole, and only when it makes sense for this lobby; the others
// are dropped (the first of each kind with a log line, and their count when
// the lobby is left).
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- records

// The TCP record, 5 bytes: a player number and that player's IPv4 address,
// first octet first. The player number 0 ends the address list.
struct LobbyRecord {
  uint8_t player;
  uint8_t address[4];
};
static_assert(sizeof(LobbyRecord) == 5);
constexpr int32_t kLobbyRecordSize = 5;

// The UDP record, five little-endian u32 in this order on the wire.
//   kind 1 to 4: the buttons (device bits of input record 1) of player kind,
//   the sender; phase 0.
//   kind 5 to 8: a ping for player kind - 4; phase 0 the request, 1 the
//   reply; buttons 0.
struct LinkRecord {
  uint32_t sender;
  uint32_t destination;
  uint32_t kind;
  uint32_t phase;
  uint32_t buttons;
};
constexpr int32_t kLinkRecordSize = 20;

LinkRecord DecodeLinkRecord(const uint8_t bytes[kLinkRecordSize]);
void EncodeLinkRecord(const LinkRecord& record, uint8_t bytes[kLinkRecordSize]);

// ---------------------------------------------------------------- state

// Network handles by player number (0 = none; entry 0 is unused).
extern int32_t PeerHandles[5];
// IPv4 addresses by player number, first octet first; all bytes 255 = none.
extern uint8_t PeerAddresses[5][4];
// 1 on the host, 2 to 4 on a client once the host has numbered it, else 0.
extern int32_t OwnPlayerNumber;
// The octets typed on the client; 192.168.0.2 before the first entry.
extern uint8_t ServerAddress[4];
// The TCP port of the lobby, and the UDP port of the link test on both sides.
extern int32_t LanPort;
extern int32_t LinkUdpHandle;  // -1: none
// Half the last measured round trip to each player, in units of 16 ms.
extern int32_t LinkDelayFrames[5];
// Per player: the millisecond count of the last ping sent (-1: none), of its
// last accepted reply (-1: none), and the frames since the last ping.
extern int32_t PingSentMs[5];
extern int32_t PingReplyMs[5];
extern int32_t PingFrameCounters[5];

// The steps of the scene's state machines.
extern int32_t LanLobbyStep;   // 0 to 2 one frame each, 3 menu, 4 link test, 6 leave
extern int32_t LanMenuStep;    // rests at 2 between uses
extern int32_t LanMenuCursor;  // 0 host, 1 client, 2 back
extern int32_t LanMenuCancelled;
extern int32_t LanHostStep;    // rests at 1
extern int32_t LanClientStep;  // 0 once, then rests at 1
extern int32_t LinkTestStep;   // rests at 0
// The client slot the host gives its one client (2).
extern int32_t LanClientSlot;
// The client's address field being typed: 0 to 3 the octets, 4 the port.
extern int32_t LanClientField;
// The key-input handle being typed into (-1: none).
extern int32_t LanKeyInput;
// Frames until the client's next connection attempt (0: this frame).
extern int32_t LanConnectWait;
// The device bits last sent in a button record.
extern uint32_t LastSentButtons;
// Frames the link test's error has been shown.
extern int32_t LinkErrorFrames;
// An error shown under the lobby's prompts (null: none).
extern const char* LanNotice;
// Records and datagrams dropped since the lobby was entered.
extern uint32_t RefusedLobbyRecords;
extern uint32_t RefusedLinkDatagrams;

// ---------------------------------------------------------------- the scene

// Scene 12: 0 running, 1 finished (back to the main menu). Leaving closes
// every connection of the lobby at once.
int RunLanLobbyScene();
// Host, client or back: 0 running, 1 host or client set-up done, -1 left.
int RunLanMenu();
// 0 running, 1 done, -1 cancelled (B) or failed.
int RunLanHost();
// 0 running, 1 done, -1 cancelled (B, in every step; a connection still
// being made is given up then) or the connection lost.
int RunLanClient();
// 0 running, 1 finished.
int RunLinkTest();

// ---------------------------------------------------------------- TCP records

// The u32 the library takes for an address: the four octets in memory order.
uint32_t PackAddress(const uint8_t octets[4]);
// The client's own number from the host's first record: a number 2 to 4
// becomes OwnPlayerNumber (true); 0 leaves it unset; others are refused.
bool ReadLobbyRecord(const LobbyRecord& record);
void LobbyRecordAddress(const LobbyRecord& record, uint8_t out[4]);
// A record of the host's address list on the client: 1 for the end of the
// list (player 0); a player 1 to 4 has its address stored; others are
// refused. 0 unless the list has ended.
int32_t ApplyAddressListRecord(const LobbyRecord& record);
// One whole record from the connection when at least 5 bytes wait.
bool TakeLobbyRecord(int32_t handle, LobbyRecord* out);

// ---------------------------------------------------------------- UDP records

// UdpNetWorkSend of the record to the destination's address and LanPort;
// nothing for a destination outside 1..4 or without an address.
void SendLinkRecord(int32_t destination, uint32_t kind, uint32_t sender, uint32_t phase, uint32_t buttons);
// The effect of an accepted record: a ping request is answered, a ping reply
// sets the delay to its sender; button records do nothing.
void HandleLinkRecord(const LinkRecord& record);
// A datagram from source (four octets): handled when it is exactly 20 bytes
// from a player 1 to 4 other than this one who has an address, sent from
// that address, to this player, of kind 1 to 8 and phase 0 or 1. True when
// handled.
bool AcceptLinkDatagram(const uint8_t* bytes, int32_t length, const uint8_t source[4]);
// The frame's datagrams: at most 32, ending at the first failed receive. The
// number handled.
int32_t ReceiveLinkDatagrams();
// Half the round trip from a ping sent at sentMs to its reply at replyMs
// (the 31-bit clock, taken modulo 2^31) in units of 16 ms; -1 when no ping
// was sent or the reply is more than 10 s after it.
int32_t ComputeLinkDelay(int32_t sentMs, int32_t replyMs);
