// Minigame 22, sequence memory ("media\mini\megnosmemory"), one against
// three: the lone participant enters a secret sequence of the buttons A, B,
// C and D; the sequence is shown to everybody for five seconds; then the
// three challengers repeat it symbol by symbol, each symbol answered by a
// challenger drawn at random. A wrong symbol puts its answerer out. Three
// sequences of 5, 6 and 7 symbols are played (a failed one is entered again
// at the same length); the game ends early once every challenger is out.
// The challengers win 10 coins each when one of them is still in at the end;
// otherwise the lone participant wins 10 coins. The game loads no media.
#pragma once

#include <cstdint>

// The steps: the entry (numbering B), the play and the outcome.
extern int32_t MegnosMemoryStep;
extern int32_t MegnosMemoryPlayStep;
extern int32_t MegnosMemoryOutcomeStep;

// The sequence being played: stage 0, 1 or 2 (3 once all three are done) and
// its length, 5 + stage.
extern int32_t MegnosMemoryStage;
extern int32_t MegnosMemoryLength;
// The participant who enters the sequences: the lone participant of one
// against three, participant 1 when the teams name none.
extern int32_t MegnosMemoryLone;
// By participant number (entry 0 unused, always 0): 1 while the challenger
// is still in.
extern int32_t MegnosMemoryStillIn[5];
// Symbols 1 (A) to 4 (D), 0 = not given yet: the sequence and the answers;
// the challenger who answers each symbol.
constexpr int32_t kMegnosMemorySymbols = 10;
extern int32_t MegnosMemorySequence[kMegnosMemorySymbols];
extern int32_t MegnosMemoryAnswers[kMegnosMemorySymbols];
extern int32_t MegnosMemoryAnswerers[kMegnosMemorySymbols];
extern int32_t MegnosMemoryEntryPosition;
extern int32_t MegnosMemoryAnswerPosition;
// Frames waited after a wrong symbol (60) or a completed sequence (120); the
// memorising countdown (300 at the start of each sequence).
extern int32_t MegnosMemoryWait;
extern int32_t MegnosMemoryCountdown;

// The entry (slot 21 of the runner's table) is MegnosMemoryMain in
// minigame_entries.h.
// One frame of the scene.
void MegnosMemoryDraw();
// One frame of play: 1 when the game is over.
int MegnosMemoryPlay();
// One frame of a CPU participant: a symbol every 31 frames.
void MegnosMemoryCpu(int32_t p);
// The winners and awards: 1 when done.
int MegnosMemoryOutcome();
// The chance that a CPU answers the symbol at the position right, by stage.
float MegnosMemoryRightChance(int32_t stage, int32_t position);
