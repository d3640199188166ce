// The minigame runner: the party and minigame mode call RunMinigame(n) once a
// frame until it reports the end. It loads the minigame music once, resets
// the participants, shows the explanation screen of minigame n (its name, a
// screenshot, the explanation text and the four pieces) until the start
// button of input record 1, starts the music, and calls the minigame's entry
// through a table of 31 until the minigame is done.
#pragma once

#include <cstdint>

// "media\sound\BGM\楓-Remake.Ver-.ogg", music slot 5.
extern const char kMinigameMusicFile[];

// 0 at program start; 0, 1, 2, 3, 4 or 7. After a minigame it is back at 2,
// so the music is loaded by the first minigame of a run only.
extern int32_t MinigameRunnerStep;

// The entries by number - 1; numbers 15, 23 and 30 have none (null), as
// MinigameNumberHasEntry of the minigame table says.
constexpr int kMinigameSlots = 31;
extern int (*const MinigameEntryTable[kMinigameSlots])();

// One frame of minigame n: 0 while it runs, 1 once it has ended. A number
// without an entry ends at once (logged), nobody having won; so does a
// minigame whose media fail to load. Without its music the runner goes on
// in silence (logged).
int RunMinigame(int32_t n);
// Calls the entry of table index slot (n - 1) once: 1 when it returned
// anything but 0, else 0 (also for a slot without an entry).
int CallMinigameEntry(int32_t slot);

// ---------------------------------------------------------------- the explanation screen

// The folder buffers hold at most this many bytes with their terminating zero.
constexpr int kMinigameFolderBytes = 64;
// Writes the media folder of minigame n ("media\mini\renda", no trailing
// backslash) into out (kMinigameFolderBytes); nothing for a number without one.
void GetMinigameFolder(int32_t n, char* out);

// 0 at program start; 0 to 5.
extern int32_t ExplanationStep;
// The explanation text (300 bytes, zero-filled) while a screen runs, else null.
constexpr int kExplanationTextBytes = 300;
extern char* ExplanationText;
extern int32_t ExplanationScreenshot;
// 25 at program start; it alternates between 25 and 26 at the end of every
// explanation screen, so that the next text starts typing afresh.
extern int32_t ExplanationTextId;

// Reads the folder's "explain.txt" into ExplanationText without its line
// breaks, up to 299 bytes (a longer text is cut, logged) or its first zero
// byte. The folder buffer (kMinigameFolderBytes) receives the file's path. A
// file that does not open gives an empty text (logged).
void LoadMinigameExplanation(char* folder);
// One frame of the explanation screen: 0 while it runs, 1 in the frame the
// fade-out after the start button completes.
int ShowMinigameExplanation(int32_t n);
// The drawing pieces of the screen.
void DrawExplanationTitle(int32_t n);
void DrawExplanationText();
void DrawExplanationScreenshot();
void DrawExplanationLineup();
