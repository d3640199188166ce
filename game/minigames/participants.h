// The minigame participants: one table of five records, filled from the
// four players before every minigame and read back by the coin tally
// afterwards; the CPU work records; the team queries; and the small rules
// every minigame applies to its participants (who is a human, whose picture
// to draw, a new press on the participant's own input, the awards).
#pragma once

#include <cstdint>

// A per-minigame word: each minigame uses a word as an integer or as a real.
union MinigameWord {
  int32_t i;
  float f;
};

// One participant. Participant p (1..4) is player p; record 0 is reset like
// the others and serves no participant (a few minigames keep a value of
// their own in it).
struct ParticipantRecord {
  int32_t character;  // playable character 0..5 (CharacterImageTable)
  uint8_t phase;      // per-minigame use; the reset leaves it
  int32_t award;      // coins won in this minigame, added by the coin tally
  int32_t spare;      // per-minigame use
  float x, y;         // position on the screen; -100, -100 after the reset
  float reals[4];     // speeds or other reals of the minigame
  int32_t team;       // 0 each for himself; 1 or 2 one side of a team minigame
  int32_t teamIndex;  // 1-based place inside its team, drawn by the reset
  int32_t cpuLevel;   // 0 a human on input record p; else the CPU level (1)
  uint8_t won;        // 1: won this minigame
  // The minigame's own fields, all zero after the reset.
  int32_t ints[5];
  uint8_t bytes[2];
  MinigameWord words[2];
};

constexpr int kParticipantRecords = 5;
extern ParticipantRecord ParticipantTable[kParticipantRecords];

// The pacing state of a CPU participant, indexed by participant number.
struct CpuWorkRecord {
  int32_t counter;  // a frame counter
  int32_t value1;
  int32_t value2;
  uint8_t flag;
  int32_t value3;  // 1 after the reset
};
extern CpuWorkRecord CpuWorkTable[kParticipantRecords];

// Clears both tables and fills participants 1..4 from the player table
// (character, CPU level, team), then draws each participant's place inside
// its team at random: every team's members get 1, 2, ... in a random order.
// The phase byte is left as it was. Run by the minigame runner before the
// explanation screen of every minigame.
void ResetParticipants();

// Participant p's record; null outside 1..4 (so a -1 from a query is never
// used as an index).
ParticipantRecord* GetParticipant(int32_t p);
// True for a participant with CPU level 0 (the human on input record p);
// false outside 1..4.
bool IsHumanParticipant(int32_t p);
// The graph of a participant's character picture (CharacterImageTable slot
// 0..38); -1 for a participant or character outside the table.
int32_t ParticipantPicture(int32_t p, int32_t slot);

// ---------------------------------------------------------------- teams

// When p's team is 1 or 2: the first other participant (1..4) of that team;
// otherwise, or when there is none, 0.
int32_t FindTeammate(int32_t p);
// The one participant of team 1, or else of team 2, when that team has
// exactly one member (the one in one against three); otherwise 0.
int32_t GetLoneParticipant();
// The first participant of team 1, else 0.
int32_t GetFirstTeamOneParticipant();
// The first participant other than skip whose team and teamIndex are the
// given ones; -1 when there is none.
int32_t FindParticipantByTeamIndex(int32_t skip, int32_t team, int32_t index);
// The k-th participant (k from 1, in participant order) of the team; 0 when
// the team has fewer members.
int32_t FindTeamMember(int32_t team, int32_t k);

// ---------------------------------------------------------------- input and CPU

// A new press of the button on participant p's own input record (its latch
// in KeyLatchTable holds a held button until it is released). False outside
// 1..4.
bool IsNewParticipantPress(int32_t p, int32_t button);
// True while the button is held on participant p's own input record (no
// latch involved). False outside 1..4.
bool IsParticipantButtonHeld(int32_t p, int32_t button);
// A new press of the button on any of the input records 1 to 4, CPU seats
// included (a result screen that anybody may leave); every record's latch
// follows its button.
bool IsNewButtonPressOnAnyRecord(int32_t button);
// One chance in n (n >= 1): GetRandomNumber(n - 1) == 0, one random draw.
bool CpuOneChanceIn(int32_t n);
// Advances p's CPU frame counter by one and returns the new count (0 outside 1..4).
int32_t CountCpuFrame(int32_t p);

// ---------------------------------------------------------------- awards

// Participant p wins: its award is coins (0: a win without coins) and its
// won flag is set. Nothing outside 1..4.
void AwardParticipant(int32_t p, int32_t coins);
// Every participant of the team wins the coins.
void AwardTeam(int32_t team, int32_t coins);
// Every participant whose score equals the highest of participants 1..4
// wins the coins (ties all win, and so do four equal scores). scores[p] is
// participant p's score; scores[0] is not read.
void AwardHighestScores(const int32_t scores[kParticipantRecords], int32_t coins);
