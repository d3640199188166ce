// Scene 1, the title screen: the title picture over the general background
// with a blinking "push any button" until any input arrives. Scene 2, the
// main menu: a rotating list of four entries inside an animated window,
// whose result picks the next scene (1 party mode, 2 minigame mode, 3
// options, 4 exit).
#pragma once

#include <cstdint>

// "media\other\titleimage2.png", loaded by each visit of the title (the one
// of the visit before is freed first) and drawn by the main menu too.
extern int32_t TitlePicture;
extern int32_t TitleStep;  // 0 to 5
extern int32_t TitleBlinkCounter;

// The six labels; the menu cycles over the first four.
extern const char* const MainMenuLabels[6];
extern int32_t MainMenuStep;    // 0 to 9
extern int32_t MainMenuCursor;  // the entry in the centre, 0 to 3, kept between visits
extern int32_t MainMenuTarget;  // the entry being scrolled to
extern int32_t MainMenuScroll;  // the list's pixel offset while it scrolls

// One frame of the title: 0 running, 1 finished.
int RunTitleScreen();
// One frame of the main menu: 0 running, else the chosen entry + 1.
int RunMainMenu();
// The title picture centred on x 320 with its top edge at 0.
void DrawTitlePicture();
// The five rows of the list about the current entry, smaller towards the ends.
void DrawMainMenuList();
