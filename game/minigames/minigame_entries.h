// The entry of every minigame, as the minigame runner's table calls it once a
// frame: 0 while the minigame runs, 1 when it has finished, -1 when its
// media failed to load. Each is defined in the minigame's own source file
// (game/minigames/<name>.cpp); a minigame not written yet has an entry that
// ends at once, nobody having won.
#pragma once

#include <cstdint>

int RendaMain();           // 1 button mashing
int RiverMain();           // 2 river crossing
int LeisureMain();         // 3 leisure
int StairMain();           // 4 stair race
int NumberSearchMain();    // 5 number search
int QuizMain();            // 6 quiz
int AirRideMain();         // 7 air ride
int SnowballMain();        // 8 snowball fight
int SpringsetMain();       // 9 catching
int BestShotMain();        // 10 best shot
int PormeFlyingMain();     // 11 porme flying
int QuarterActionMain();   // 12 quarter action
int FallClimbMain();       // 13 climbing race
int BreakLabyrinthMain();  // 14 labyrinth
int PooyanMain();          // 16 balloon climb
int GunShootingMain();     // 17 gun sight
int ThreeRocketMain();     // 18 three-stage rocket
int QuarterJumpMain();     // 19 quarter jump
int BossShootingMain();    // 20 boss shooting
int HighShotMain();        // 21 high shooting
int MegnosMemoryMain();    // 22 sequence memory
int HockeyMain();          // 24 paddle hockey
int ShootingMain();        // 25 versus shooting
int MisobombMain();        // 26 beam team
int RepeatUpMain();        // 27 stone climbing
int TrumpMemoryMain();     // 28 pair-matching cards
int FallingBlockMain();    // 29 falling block
int QuarterViewMain();     // 31 quarter view
