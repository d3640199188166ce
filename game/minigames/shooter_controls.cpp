// The ship controls of the shooting minigames.
#include "game/minigames/shooter_controls.h"

#include <cmath>

#include "game/minigames/participants.h"
#include "game/shell/game_helpers.h"
#include "game/shell/input_mapping.h"

void ReadShooterControls(int32_t p, float speed, float focusSpeed, int32_t& glow, uint8_t& focus) {
  ParticipantRecord& r = ParticipantTable[p];
  r.reals[0] = r.reals[1] = 0.0f;
  focus = IsParticipantButtonHeld(p, kButtonB) ? 1 : 0;
  glow = focus != 0 ? (glow + 15 > 255 ? 255 : glow + 15) : (glow - 15 < 0 ? 0 : glow - 15);
  if (focus != 0) speed = focusSpeed;
  if (IsParticipantButtonHeld(p, kButtonUp)) r.reals[1] = -speed;
  if (IsParticipantButtonHeld(p, kButtonDown)) r.reals[1] = speed;
  if (IsParticipantButtonHeld(p, kButtonLeft)) r.reals[0] = -speed;
  if (IsParticipantButtonHeld(p, kButtonRight)) r.reals[0] = speed;
}

void LimitShooterSpeed(int32_t p, float limit) {
  ParticipantRecord& r = ParticipantTable[p];
  float length = std::sqrt(r.reals[0] * r.reals[0] + r.reals[1] * r.reals[1]);
  if (length <= limit + 0.00001f) return;
  Vector2f v = ScaleVector(limit / length, r.reals[0], r.reals[1]);
  r.reals[0] = v.x;
  r.reals[1] = v.y;
}
