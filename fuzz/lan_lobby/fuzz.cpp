// The LAN lobby's records from the network: the host's TCP records (the
// client's own number, then the address list) and the link test's UDP
// datagrams, as the lobby takes them from its connections.
//
// Input: a script. A byte sets this machine's player number (1 to 4) and a
// bit mask of players with an address; then steps, each a byte choosing one
// of: a lobby record (5 bytes) read as the client's number; one applied as
// an address-list record; a datagram (a length byte, 0 to 63, its source's
// four octets, its bytes); a datagram sent from the sender's own address.
//
// Besides memory safety, against the plain rules: the own number is only
// ever set to 2 to 4, by a record naming one; an address-list record stores
// exactly its address for a player 1 to 4, ends the list for player 0 and
// changes nothing otherwise; a datagram is accepted exactly when it is 20
// bytes from a player 1 to 4 other than this one who has an address, sent
// from that address, to this player, of kind 1 to 8 and phase 0 or 1; a
// link delay is only ever set for an accepted ping reply, to 0 to 312.
//
// The game library is not built for fuzzing (only the library is): the
// lobby is compiled into the target from its source (game_sources.cpp).
#include <cstring>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "game/board/lan_lobby.h"
#include "library/zrlib.h"

FUZZ_TARGET_STARTS_LIBRARY()

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool HasAddress(int32_t n) {
  static const uint8_t kNone[4] = {255, 255, 255, 255};
  return memcmp(PeerAddresses[n], kNone, 4) != 0;
}

void Datagram(FuzzInput& in, bool fromSender) {
  const size_t length = in.Byte() % 64;
  uint8_t source[4];
  for (uint8_t& b : source) b = in.Byte();
  std::vector<uint8_t> bytes = in.Take(length);
  const size_t real = bytes.size();
  bytes.resize(64, 0);
  const uint32_t sender = real >= 4 ? Le32(bytes.data()) : 0;
  if (fromSender && sender >= 1 && sender <= 4) memcpy(source, PeerAddresses[sender], 4);
  bool expected = real == 20 && sender >= 1 && sender <= 4 && static_cast<int32_t>(sender) != OwnPlayerNumber &&
                  HasAddress(static_cast<int32_t>(sender)) && memcmp(source, PeerAddresses[sender], 4) == 0;
  if (expected) {
    const uint32_t destination = Le32(bytes.data() + 4), kind = Le32(bytes.data() + 8), phase = Le32(bytes.data() + 12);
    expected = destination == static_cast<uint32_t>(OwnPlayerNumber) && kind >= 1 && kind <= 8 && phase <= 1;
  }
  int32_t delays[5];
  memcpy(delays, LinkDelayFrames, sizeof delays);
  uint8_t addresses[5][4];
  memcpy(addresses, PeerAddresses, sizeof addresses);
  const bool accepted = AcceptLinkDatagram(bytes.data(), static_cast<int32_t>(real), source);
  FUZZ_CHECK(accepted == expected, "a datagram taken against the rules or refused within them");
  FUZZ_CHECK(memcmp(addresses, PeerAddresses, sizeof addresses) == 0, "a datagram changed an address");
  const LinkRecord r = DecodeLinkRecord(bytes.data());
  for (int32_t n = 0; n < 5; ++n) {
    if (delays[n] == LinkDelayFrames[n]) continue;
    FUZZ_CHECK(accepted && r.kind >= 5 && r.phase == 1 && static_cast<int32_t>(r.sender) == n,
               "a link delay set by other than an accepted ping reply");
    FUZZ_CHECK(LinkDelayFrames[n] >= 0 && LinkDelayFrames[n] <= 312, "a link delay past the longest round trip");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TrimScratchLog();
  FuzzInput in(data, size);
  const uint8_t head = in.Byte();
  OwnPlayerNumber = 1 + head % 4;
  memset(PeerAddresses, 255, sizeof PeerAddresses);
  for (int32_t n = 1; n <= 4; ++n)
    if (head & (8 << n)) {
      const uint8_t octets[4] = {192, 168, 0, static_cast<uint8_t>(n)};
      memcpy(PeerAddresses[n], octets, 4);
    }
  for (int32_t n = 0; n < 5; ++n) {
    LinkDelayFrames[n] = 0;
    PingSentMs[n] = (head & 1) ? GetMillisecondCount(0) - 100 * n : -1;
    PingReplyMs[n] = -1;
  }
  LinkUdpHandle = -1;
  for (int steps = 0; steps < 256 && !in.Empty(); ++steps) {
    const uint8_t op = in.Byte() % 4;
    if (op >= 2) {
      Datagram(in, op == 3);
      continue;
    }
    LobbyRecord record;
    record.player = in.Byte();
    for (uint8_t& b : record.address) b = in.Byte();
    const int32_t own = OwnPlayerNumber;
    uint8_t addresses[5][4];
    memcpy(addresses, PeerAddresses, sizeof addresses);
    if (op == 0) {
      const bool taken = ReadLobbyRecord(record);
      FUZZ_CHECK(taken == (record.player >= 2 && record.player <= 4), "a number taken against the rules");
      FUZZ_CHECK(OwnPlayerNumber == (taken ? record.player : own), "the own number set otherwise");
    } else {
      const int32_t ended = ApplyAddressListRecord(record);
      FUZZ_CHECK(ended == (record.player == 0 ? 1 : 0), "the list ended otherwise than by player 0");
      if (record.player >= 1 && record.player <= 4) memcpy(addresses[record.player], record.address, 4);
      FUZZ_CHECK(OwnPlayerNumber == own, "an address record changed the own number");
    }
    FUZZ_CHECK(memcmp(addresses, PeerAddresses, sizeof addresses) == 0, "addresses other than the records say");
  }
  return 0;
}
