// Minigame 2, river crossing ("media\mini\river"): four participants, each
// alone in a lane of its own, cross the same course of stepping stones. A
// participant on a stone sees its jump power rise and fall (0.3 to 6.0 and
// back, a step every second frame); A starts a wind-up (longer for a
// stronger jump) and then the jump. Coming down between stones is a fall
// into the water, from which a rescuer carries the participant back to the
// stone behind. The first past x = 5120 (eight pieces of 640 pixels) ends
// the game; everyone beyond 5110 then wins 10 coins.
#pragma once

#include <cstdint>

#include "game/minigames/river_course.h"

// The steps: the entry (numbering B, step 3 the opening jump), the opening,
// the play and the outcome.
extern int32_t RiverStep;
extern int32_t RiverIntroStep;
extern int32_t RiverPlayStep;
extern int32_t RiverOutcomeStep;

// The course, read from "media\data\Mini_RJ2.csv" once a program run (the
// flag is set once it has been read and accepted).
constexpr const char* kRiverCourseFile = "media\\data\\Mini_RJ2.csv";
extern RiverCourseTable RiverCourse;
extern int32_t RiverCourseLoaded;
// The course order: entry 0 is row 0, entries 1 to 8 drawn at set-up.
constexpr int32_t kRiverOrderEntries = 9;
extern int32_t RiverCourseOrder[kRiverOrderEntries];
// By participant (index 1..4): the rows of the previous, current and next piece.
extern int32_t RiverRows[5][3];

// A participant's rescue (index 1..4): phase 1 comes down, lifts and carries
// back; phase 2 lets go and flies off.
struct RiverRescueRecord {
  uint8_t active;
  float x, y;
  int32_t counter;
  uint8_t phase;
};
extern RiverRescueRecord RiverRescues[5];

// Pictures of the game's own, and the clouds' scroll offset (0 to -1280).
extern int32_t RiverGoalPicture;
extern int32_t RiverSunsetPicture;
extern int32_t RiverMountainPicture;
extern int32_t RiverBackCloudPicture;
extern int32_t RiverFrontCloudPicture;
extern float RiverCloudOffset;

// Motion states.
enum : uint8_t {
  kRiverStanding = 2,
  kRiverWindingUp = 4,
  kRiverInTheAir = 6,
  kRiverInTheWater = 10,
};
// The finish line and the line beyond which a participant wins.
constexpr float kRiverGoalX = 5120.0f;
constexpr float kRiverWinX = 5110.0f;

// The participant record's fields this game uses (participants 1..4): the
// motion state is the record's phase byte; x, y; the horizontal speed and
// the vertical speed actually moved by (the record's first two speeds); the
// lane camera (the third).
uint8_t& RiverMotion(int32_t p);
float& RiverHorizontalSpeed(int32_t p);
float& RiverMovedVerticalSpeed(int32_t p);
float& RiverCamera(int32_t p);
int32_t& RiverPiece(int32_t p);        // the course piece the participant is over
int32_t& RiverPowerFrame(int32_t p);   // counts the frames the power runs
int32_t& RiverGround(int32_t p);       // the y the participant stands on
int32_t& RiverWindUpCounter(int32_t p);  // -1 when idle
uint8_t& RiverPowerPhase(int32_t p);   // 0 rising, 1 falling
float& RiverVerticalSpeed(int32_t p);
float& RiverPower(int32_t p);

// The entry (slot 1 of the runner's table) is RiverMain in minigame_entries.h.
// Reads the course once a run: 1 when it is there, -1 when the file was
// refused (logged). A file that does not open is shown on the screen, any
// input is waited for and the program ends (-1).
int LoadRiverCourse();
// The opening jump onto the first stones: 1 when somebody stands.
int RiverIntro();
// One frame of play: 1 when somebody has passed the goal.
int RiverPlay();
// One frame of a CPU participant.
void RiverCpu(int32_t p);
// One frame of a wind-up on its counter: 1 when the jump starts.
int RiverWindUp(int32_t p, int32_t& counter);
// Participants in the air at or below their ground line land on a stone
// (strictly inside it) or fall into the water.
void RiverLanding();
// One frame of every active rescue.
void RiverRescue();
// The awards: 1 when done.
int RiverOutcome();
// The drawing, always in this order.
void RiverDrawScene();
void RiverDrawLanes();
void RiverDrawRescues();
