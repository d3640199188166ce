// The pictures of the running party's board map, loaded when a party starts
// (with the map's squares) and read by the board drawing.
#pragma once

#include <cstdint>

// Map 0 slot 0, map 1 slot 1: the background; map 2 slots 1 to 4: floor 1,
// floor 2, overview 1, overview 2; map 3 slots 1 to 8: lower layer, upper
// layer, the whole map (twice), the blockade, the banquet trio.
extern int32_t BoardPictures[9];
// Map 4: the first bamboo picture, two bamboo layers with the first mask
// after them, the bamboo under-layer, the second mask.
extern int32_t BambooBoardPictures[6];
// Which entries of BambooBoardPictures are mask handles.
constexpr int kBambooMaskEntries[2] = {3, 5};

// Loads the squares of CurrentMapId, then its pictures, after freeing the
// pictures of the previous party. A picture that fails to load, and a map
// without pictures (5 to 7), end the program after a message box; a map
// above 7 loads its squares only.
void LoadBoardImages();
