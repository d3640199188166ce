// The party scene (scene 8): one party from the board set-up to the
// results. It sets the board up (or takes a restored one), loads and starts
// the board music, runs the opening, and then loops over rounds: the
// autosave "backup.dat" and the round's effect countdowns at every round
// start, the magic-square slot or the turn machine, the minigame and the
// coin tally; after the last round the results.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- party-wide state

extern int32_t PartySceneState;      // 0 to 10
extern int32_t PartyRestored;        // 1 when the set-up scene has just restored a party
extern int32_t CurrentMapId;         // the board map of the running party
extern int32_t TotalTurns;           // 10, 15, 20, 30, 50 or 99
extern int32_t TurnsLeft;            // rounds left counting the current one (1 in the last)
extern int32_t BoardMinigameNumber;  // the turn machine's minigame of this round
// The round effect in force (RoundEffect) belongs to the round-start slot,
// magic_square_slot.h.
extern int32_t RoundEffectRoundsLeft;  // rounds it still lasts, 0 = no countdown
// Map 3: rounds until the closed passages open again; -1 = no passages on
// this map, 0 = open.
extern int32_t PassageClosedRounds;
// FatedOneCountdown, saved with the party, belongs to the die, dice_movement.h.
// Map 2's five warp pairs, the two squares of each pair in turn.
extern int32_t WarpPairs[10];
// The board music: MusicHandles slot 1.
extern int32_t& BoardMusic;

// The turn counts a party may have.
constexpr int32_t kTurnCounts[6] = {10, 15, 20, 30, 50, 99};

// One frame of the party: 1 when the party is over, -1 for the frame in
// which the board music failed to load (the party goes on without it), else 0.
int RunPartyScene();

// ---------------------------------------------------------------- the autosave

constexpr size_t kBackupFileSize = 4140;
extern const char kBackupFileName[];  // "backup.dat"

// The file as written at a round start, little-endian, field by field:
// u32 1; 92 zero bytes; the four player records; map id, total turns,
// turns left, u32 0; the 100 squares; FatedOneCountdown; WarpPairs.
void BuildBackupBytes(unsigned char out[kBackupFileSize]);
// Writes the autosave through a temporary file renamed over "backup.dat",
// so a failed write leaves the previous round's file. When it cannot be
// written a message box says so and play goes on. 0, or -1.
int WriteBackupFile();

// True when the bytes are a saved party whose every field lies in its
// range (map 1 to 4, characters 0 to 5, a turn order that is a permutation
// of 1 to 4, squares, links and warp squares 0 to 99, items 0 to 39, a NUL
// in every name, coins and stars not negative, finite coordinates, a total
// of turns the set-up offers and 1 <= turns left <= total).
bool IsBackupValid(const unsigned char* bytes, size_t size);
// Reads "backup.dat" into the buffer: true when it holds a valid saved party
// (a damaged one is logged and counts as none).
bool ReadBackupFile(unsigned char out[kBackupFileSize]);
// Puts a saved party back: the map's squares and pictures loaded, then the
// saved squares, players, turns, FatedOneCountdown and WarpPairs over them;
// PartyRestored = 1. The bytes must have passed IsBackupValid.
void RestoreBackup(const unsigned char bytes[kBackupFileSize]);
