// The game's course reader and the CSV field reader beneath it, built into
// this target (the fuzzing build has no game library).
#include "game/minigames/river_course.cpp"
#include "game/shell/csv_reader.cpp"
