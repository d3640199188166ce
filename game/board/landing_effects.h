// What the square where a piece stops does to its player: blue and red
// squares (coins), the item square (a reel of items), the event square (one
// event per board map), the house and the rabbit duel of map 4, and the
// chance square. Each handler also records the player's colour class of
// the landing (squareColour), which later decides the minigame type.
#pragma once

#include <cstdint>

// Entry k (1 to 5) = 1 once impossible-request item 30 + k has been handed
// out by the rabbit duel in this party; cleared by the board set-up.
extern int32_t ImpossibleRequestGiven[7];

extern int32_t LandingState;  // 0 idle, 1 a handler runs, 4 ended

// ---------------------------------------------------------------- the handlers' working state

// The blue and the red square: the coins counted, and the rising (falling)
// coin's frame counter.
struct CoinSquareRecord {
  int32_t state;  // 0 idle, 2 amount, 3 counting
  int32_t counter;
  int32_t amount;
};
extern CoinSquareRecord BlueSquare;
extern CoinSquareRecord RedSquare;

// The item square's reel: five item ids, the middle row shows reel[index].
struct ItemSquareRecord {
  int32_t state;  // 0 idle, 1 window, 2 spinning, 3 award, 4 page, 5 window, 6 end
  int32_t reel[5];
  int32_t index;
  int32_t offset;       // pixels the rows have moved towards the next entry
  int32_t decelerate;   // frames since the reel was stopped
  int32_t inputLock;    // frames left in which A does not stop it
  int32_t humanTime;    // frames left before a human's reel stops by itself
  int32_t stopped;
  int32_t pageWait;
};
extern ItemSquareRecord ItemSquare;

extern int32_t EventSquareState;
// The per-map event handlers: 0 before their first run, 2 between runs.
extern int32_t NothingHappensState;
extern int32_t StoneColourEventState;
extern int32_t LostEventState;
extern int32_t EventMessageWait;  // the page wait of their message

// Map 3's passage closing: the flying character and the petals.
struct PassageClosingRecord {
  int32_t state;
  int32_t slide;   // 0 to 210: the character crosses the screen
  int32_t scroll;  // 0 to 149: the petals sweep the screen
  int32_t fade;    // the petals' opacity (drawn clamped to 0..255)
  int32_t pageWait;
  int32_t character;  // graph handles, -1 (or 0) when none
  int32_t petals;
};
extern PassageClosingRecord PassageClosing;

// Map 4's house (the star sale and the reward for impossible requests).
struct HouseEventRecord {
  int32_t state;
  int32_t page;
  int32_t textId;
  int32_t reward;
  int32_t rewardOn;  // 1 while the reward is counted
  int32_t pageWait;
  char* text;  // "princess.txt", 5 lines of 100 bytes, while the event runs
};
extern HouseEventRecord HouseEvent;

// Map 4's rabbit duel.
struct RabbitDuelRecord {
  int32_t state;
  int32_t mediaLoaded;
  int32_t pictures[5];  // 勝, 利, 引き分け, 負, け (-1 or 0 when none)
  char* text;           // "rabbit.txt", 5 lines of 100 bytes
  int32_t coinFlag;     // 1 while the 5 coins are counted, 2 once settled
  int32_t textId;
  int32_t page;
  int32_t pageWait;
  int32_t playerFrames, playerFace, playerRoll;
  int32_t rabbitFrames, rabbitFace, rabbitRoll;
  int32_t verdictFrames;
  int32_t cursor;  // the discard choice: slot 1, slot 2, the impossible-request item
  int32_t cursorFrames;
  int32_t cpuChoice;
  int32_t itemGiven;  // 1 once an impossible-request item was handed out
};
extern RabbitDuelRecord RabbitDuel;

// The coins a blue (or red) square gives (takes, negative) with the held
// item of slot 3 under the round effect, before the coins held are looked at.
int32_t SquareCoinAmount(bool blue, int32_t heldItem, int32_t roundEffect);

// One frame of the landing effect of the square kind for CurrentPlayer: 1 on
// the frame after the handler has ended, else 0.
int RunLandingEffect(int32_t kind);

// ---------------------------------------------------------------- handlers
// Each: one frame, 1 on the frame it ends, else 0 (-1 for a frame in which a
// picture failed to load: called again next frame).

int RunBlueSquare(int32_t player);
int RunRedSquare(int32_t player);
int RunItemSquare(int32_t player);
int RunEventSquare(int32_t player, int32_t kind);
// Map 4's house; also run by the coin square of kind 21 (pass_events).
int RunHouseEvent(int32_t player);
int RunRabbitDuel(int32_t player);

// The event square's handler of each board map.
int RunNothingHappensEvent(int32_t player, int32_t kind);  // maps 0 and 1
int RunStoneColourEvent(int32_t player, int32_t kind);     // map 2
int RunPassageClosingEvent(int32_t player, int32_t kind);  // map 3
int RunLostEvent(int32_t player, int32_t kind);            // map 4

// Pairs the ten warp squares anew (their fourth links) and records the
// pairs in WarpPairs.
void ReshuffleWarpPairs();
