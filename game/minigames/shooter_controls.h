// The ship controls the two shooting minigames share (versus shooting and
// boss shooting): the directions at a normal or a focused speed, B held as
// focus with its glow fading in and out, and the speed limit that keeps a
// diagonal no faster than a straight move.
#pragma once

#include <cstdint>

// A human ship's directions and focus for this frame, on participant p's own
// input: speeds 0, then up, down, left, right (down over up, right over
// left) at focusSpeed while B is held, else at speed. B held sets focus to 1
// and raises the glow by 15 (to 255 at most); released, focus is 0 and the
// glow falls by 15 (to 0 at least). The speed is the record's reals 0 and 1.
void ReadShooterControls(int32_t p, float speed, float focusSpeed, int32_t& glow, uint8_t& focus);
// A speed longer than limit (by more than 0.00001) scaled to limit.
void LimitShooterSpeed(int32_t p, float limit);
