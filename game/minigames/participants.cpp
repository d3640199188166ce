// The participant table, the CPU work records, the team queries and the
// participants' shared rules.
#include "game/minigames/participants.h"

#include <cstring>

#include "game/shell/input_mapping.h"
#include "game/shell/player_table.h"
#include "game/shell/shared_media.h"
#include "library/zrlib.h"

ParticipantRecord ParticipantTable[kParticipantRecords] = {};
CpuWorkRecord CpuWorkTable[kParticipantRecords] = {};

void ResetParticipants() {
  for (ParticipantRecord& r : ParticipantTable) {
    r.character = 0;
    r.award = 0;
    r.spare = 0;
    r.team = 0;
    r.cpuLevel = 0;
    r.won = 0;
    r.x = -100.0f;
    r.y = -100.0f;
    for (float& real : r.reals) real = 0.0f;
    memset(r.ints, 0, sizeof r.ints);
    memset(r.bytes, 0, sizeof r.bytes);
    for (MinigameWord& w : r.words) w.i = 0;
  }
  for (CpuWorkRecord& w : CpuWorkTable) {
    w.counter = w.value1 = w.value2 = 0;
    w.flag = 0;
    w.value3 = 1;
  }
  for (int32_t p = 1; p <= 4; ++p) {
    const PlayerRecord& player = PlayerTable[p - 1];
    ParticipantTable[p].character = player.character;
    ParticipantTable[p].cpuLevel = player.cpuLevel;
    ParticipantTable[p].team = player.team;
  }
  // Each team's members get 1, 2, ... in the order the draw picks them. A
  // team outside 0..3 (a damaged saved party) counts on a counter of its own.
  int32_t counters[5] = {1, 1, 1, 1, 1};
  bool drawn[5] = {};
  for (int32_t k = 0; k < 4; ++k) {
    int32_t r;
    do {
      r = GetRandomNumber(3) + 1;
    } while (drawn[r]);
    drawn[r] = true;
    int32_t team = ParticipantTable[r].team;
    int32_t& counter = counters[team >= 0 && team <= 3 ? team : 4];
    ParticipantTable[r].teamIndex = counter++;
  }
}

ParticipantRecord* GetParticipant(int32_t p) { return p >= 1 && p <= 4 ? &ParticipantTable[p] : nullptr; }

bool IsHumanParticipant(int32_t p) { return p >= 1 && p <= 4 && ParticipantTable[p].cpuLevel == 0; }

int32_t ParticipantPicture(int32_t p, int32_t slot) {
  const ParticipantRecord* r = GetParticipant(p);
  if (r == nullptr || r->character < 0 || r->character >= kCharacterCount || slot < 0 || slot >= kCharacterSlots)
    return -1;
  return CharacterImageTable[r->character][slot];
}

// ---------------------------------------------------------------- teams

int32_t FindTeammate(int32_t p) {
  const ParticipantRecord* r = GetParticipant(p);
  if (r == nullptr || (r->team != 1 && r->team != 2)) return 0;
  for (int32_t q = 1; q <= 4; ++q)
    if (q != p && ParticipantTable[q].team == r->team) return q;
  return 0;
}

int32_t GetLoneParticipant() {
  for (int32_t team = 1; team <= 2; ++team) {
    int32_t count = 0, first = 0;
    for (int32_t p = 1; p <= 4; ++p) {
      if (ParticipantTable[p].team != team) continue;
      if (count++ == 0) first = p;
    }
    if (count == 1) return first;
  }
  return 0;
}

int32_t GetFirstTeamOneParticipant() { return FindTeamMember(1, 1); }

int32_t FindParticipantByTeamIndex(int32_t skip, int32_t team, int32_t index) {
  for (int32_t q = 1; q <= 4; ++q)
    if (q != skip && ParticipantTable[q].team == team && ParticipantTable[q].teamIndex == index) return q;
  return -1;
}

int32_t FindTeamMember(int32_t team, int32_t k) {
  for (int32_t p = 1; p <= 4; ++p)
    if (ParticipantTable[p].team == team && --k == 0) return p;
  return 0;
}

// ---------------------------------------------------------------- input and CPU

bool IsNewParticipantPress(int32_t p, int32_t button) { return p >= 1 && p <= 4 && IsNewButtonPress(p, button); }

bool IsParticipantButtonHeld(int32_t p, int32_t button) {
  const uint32_t* mask = p >= 1 && p <= 4 ? ButtonWord(KeyConfigTable, p, button) : nullptr;
  return mask != nullptr && (GetDeviceButtons(KeyConfigTable[p].device) & *mask) != 0;
}

bool IsNewButtonPressOnAnyRecord(int32_t button) {
  bool pressed = false;
  for (int32_t record = 1; record <= 4; ++record) pressed |= IsNewButtonPress(record, button);
  return pressed;
}

bool CpuOneChanceIn(int32_t n) { return GetRandomNumber(n - 1) == 0; }

int32_t CountCpuFrame(int32_t p) { return p >= 1 && p <= 4 ? ++CpuWorkTable[p].counter : 0; }

// ---------------------------------------------------------------- awards

void AwardParticipant(int32_t p, int32_t coins) {
  ParticipantRecord* r = GetParticipant(p);
  if (r == nullptr) return;
  r->award = coins;
  r->won = 1;
}

void AwardTeam(int32_t team, int32_t coins) {
  for (int32_t p = 1; p <= 4; ++p)
    if (ParticipantTable[p].team == team) AwardParticipant(p, coins);
}

void AwardHighestScores(const int32_t scores[kParticipantRecords], int32_t coins) {
  int32_t best = scores[1];
  for (int32_t p = 2; p <= 4; ++p)
    if (scores[p] > best) best = scores[p];
  for (int32_t p = 1; p <= 4; ++p)
    if (scores[p] == best) AwardParticipant(p, coins);
}
