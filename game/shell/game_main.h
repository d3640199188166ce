// The game's shell: the entry that reads the option file, starts the library
// and loads the shared media; the main loop with its 60-frame pacing; the
// scene switch; the one fade shared by every scene and minigame.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- scenes

// The current top-level scene: 0 boot, 1 title, 2 main menu, 3 minigame
// mode, 4 backup prompt and party set-up, 7 options, 8 party board, 11 story
// scene, 12 LAN lobby, 15 quit. Other values have no handler.
extern int32_t SceneState;
// The last result of the main menu (1 party mode, 2 minigame mode); 0 each
// time scene 0 runs.
extern int32_t MainMenuChoice;

// ---------------------------------------------------------------- fade

// 1 while a fade-out runs.
extern int32_t FadeOutRequest;
// 0 while the screen fades in, 1 once fully shown.
extern int32_t FadeInDone;
// The running fade's level, 0 to 255 in steps of 15.
extern int32_t FadeLevel;

// One frame of the fade, run by every scene and minigame at the top of its
// frame: the fade-in, or a requested fade-out. Returns 1 on the frame a
// fade-out completes (the caller then moves to the step after its
// fade-out), else 0. Each fade takes 17 frames.
int UpdateFade();

// ---------------------------------------------------------------- frame pacing

constexpr double kFrameMs = 16.666666666666668;

extern int32_t FrameIndex;  // 0 to 59
extern uint32_t CycleStartMs;
extern uint32_t LastFrameMs;  // 0 before the first frame
extern uint32_t FrameDurationsMs[60];
extern double AverageFrameMs;  // 0 until 60 frames have passed

// Sleeps to the frame's time (whole milliseconds against a schedule of
// 16.67 ms a frame, re-based every 60 frames) and keeps the statistics.
// Clock differences are taken modulo 2^31, and a wrap or a jump of the clock
// never makes a frame wait more than one frame's time.
void WaitNextFrame();
// The measured frame rate at (608, 8) in the size-16 font, once 60 frames
// have passed.
void DrawFrameRate();

// ---------------------------------------------------------------- settings file

// "option.dat": the 12 bytes of the record, little-endian.
struct OptionRecordData {
  uint32_t musicVolume;        // 0 to 255
  uint32_t soundEffectVolume;  // 0 to 255
  uint32_t windowModeFlag;     // 1 window, 0 full screen
};
extern OptionRecordData OptionRecord;
// The window-mode flag is the record's third field.
extern uint32_t& WindowModeFlag;

// The nine values the options screen moves a volume along.
extern const int32_t VolumeSteps[9];
extern int32_t MusicVolumeIndex;        // 0 to 8
extern int32_t SoundEffectVolumeIndex;  // 0 to 8

// Reads "option.dat" from the working folder. A file that does not open, or
// is not exactly 12 bytes, gives the defaults (both volumes 255, window
// mode); volumes above 255 count as 255 and a window flag other than 0 or 1
// as window mode. Sets the volume indices from the scale.
void ReadOptionFile();
// Writes the record to "option.dat" (the old file stays whole when the
// write fails). A failure is reported on the standard output and the screen
// and the game waits for any input (WaitAnyInputPress). 0, or -1 when not
// written.
int WriteOptionFile();
// ReadOptionFile runs before the log exists: this writes its note on a
// damaged file, if any, once the library has started.
void LogOptionFileNote();

// ---------------------------------------------------------------- start-up and main loop

// Graph handles that live only during start-up.
extern int32_t LogoPicture;
extern int32_t LoadingPicture;

// The loading step: the loading picture shown, the shared images loaded and
// the fonts made. Run again after a change of window mode, when it first
// frees the fonts and graphs it made before and makes the mask screen again.
// 0, or -1 when a step fails.
int InitGame();

// The start-up steps of WinMain before the main loop. 0, or -1 when a step
// fails (the library stays as the failing step left it).
int StartGame();
// One pass of the main loop. 0 while the loop goes on; 1 once it has ended
// (the window closed, the screen could not be cleared, or scene 15).
int RunMainLoopFrame();

// Ends the program with the exit code after a log line naming the cause (a
// file or a step): every exit of the game goes through here.
[[noreturn]] void ExitGame(int32_t exitCode, const char* cause);

// The program's entry after the runtime: 0 after a normal end, -1 when
// start-up fails.
int WinMain();

// ---------------------------------------------------------------- scene switch

// The handler of each scene 0 to 15 (null: none): 0 boot, 1 title, 2 main
// menu, 3 minigame mode, 4 set-up, 7 options, 8 party board, 11 story
// scene, 12 LAN lobby. Each runs one frame and returns 0 to stay.
extern int (*SceneHandlers[16])();
// One frame of the current scene; its result moves SceneState.
void RunCurrentScene();
// Scene 0: the volumes applied, the title music started, the data tables
// loaded. Returns 1.
int BootScene();
