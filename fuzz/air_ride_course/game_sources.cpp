// The game's course reader, built into this target (the fuzzing build has no
// game library).
#include "game/minigames/air_ride_course.cpp"
