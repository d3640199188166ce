// The opening of a new party, run by the party scene once a frame before
// the first round: the map's host or guide introduces the board, then the
// four players stop a die each to draw the turn order (highest first), and
// every player receives 10 starting coins. The folder key of a board map
// (GetBoardFolderName) is in board_map.h and the loading of its pictures
// (LoadBoardImages) in board_pictures.h.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- state

extern int32_t PartyOpeningState;  // 0 start, 2 introduction, 3 line-up and turn order, 4 done
// The introductions' steps: 0 start, 3 texts, 4 and 5 fades, 6 done.
extern int32_t PrincessIntroState;  // map 4
extern int32_t GemGuideIntroState;  // maps 1, 2, 5, 6, 7
extern int32_t BanquetHostIntroState;  // map 3
// The running introduction's values (one introduction runs at a time): the
// text shown, the black cover's alpha (the gem guide's overlay), the gem
// guide's second alpha (overview 2) and its two flags (the overlay clears,
// overview 2 comes in).
extern int32_t IntroTextIndex;
extern int32_t IntroAlpha;
extern int32_t IntroSecondAlpha;
extern int32_t IntroOverlayClearing;
extern int32_t IntroSecondShowing;

extern int32_t TurnOrderDrawStep;  // 0 to 8
// The order text: five lines of 60 bytes, allocated (zeroed) at the start
// of the draw and freed at its end; null in between.
constexpr int kOrderTextLines = 5;
constexpr int kOrderTextLineBytes = 60;
extern char* OrderTextLines;
// By player (entry 0 stays 0): the number drawn, 0 while still rolling.
extern int32_t OrderDraws[5];
// The next turn position to announce, 1 to 6.
extern int32_t NextOrderNumber;
// By turn position (entry 0: every player without one yet): the dice of
// that player are drawn while the entry is not 0; 250 at the start.
extern int32_t DieShowCounters[5];
// By player: the frames a CPU player has waited before it may stop its die.
extern int32_t CpuDrawWait[5];
// 1 once the starting coins are all counted.
extern int32_t OrderCoinsCounted;
// The announcement of the current turn position.
extern char OrderAnnouncement[64];

// ---------------------------------------------------------------- steps

// One frame of the opening: 1 on the call that finishes, else 0.
int RunPartyOpening();
// The introduction of the map: 1 when it has finished, else 0. A map
// without a host (map 0, or a number outside 0..7) has no introduction and
// returns 1 at once.
int RunMapIntroduction(int32_t map);
int RunPrincessRequestIntro();
int RunGemGuideIntro();
int RunBanquetHostIntro();
// The turn-order draw: 1 when finished, else 0.
int RunTurnOrderDraw(int32_t map);
// The final result picture and the four players' pieces in a row.
void DrawOpeningLineUp();
// Reads "media\text\order\<key>.txt" of the map into OrderTextLines (at
// most 59 bytes a line). A file that does not open ends the program after a
// message box.
void LoadOrderText(int32_t map);
