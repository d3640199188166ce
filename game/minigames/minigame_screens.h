// The three timed screens every minigame shows over its own scene: the START
// banner before play, the FINISH banner after it and the winner text after
// the outcome. Each is called once a frame after the minigame has drawn its
// scene; it returns 0 while it runs and 1 in the frame it is over, and the
// next use starts afresh.
#pragma once

#include <cstdint>

// The START banner: the five letters fly in one after another (from frames
// 1, 16, 31, 46 and 61 of its letter step, 2 pixels a frame) onto the word's
// line; the bell rings when the last arrives; then the word stands for 21
// frames with a circle growing behind it and a fading zoom trail.
extern int32_t StartBannerStep;
extern int32_t StartBannerFrame;
int ShowStartBanner();

// The FINISH banner: the word grows from 0.4 to full size in three frames
// with the shot sound, then stands with the zoom trail.
extern int32_t FinishBannerStep;
extern int32_t FinishBannerFrame;
int ShowFinishBanner();

// The winner text from the participants' won flags: 21 frames of nothing,
// then 102 frames of "Draw", "Player%d Won", or the winners' names over
// "Won".
extern int32_t WinnerTextStep;
extern int32_t WinnerTextFrame;
int ShowMinigameWinners();
