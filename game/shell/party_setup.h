// Scene 4: the offer to restore the autosaved party, then the set-up of a
// party (or of minigame mode): the number of humans, the characters of the
// humans and of the CPU players, the number of turns, the board map and a
// confirmation, each prompt spoken by a guide in the message window.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- choices

extern int32_t HumanCount;  // players 1 to HumanCount are human, the others CPU
extern int32_t TurnChoice;  // 1-based index into the turn counts
extern int32_t MapChoice;   // the board map chosen last

// By player 1 to 4: the character under the player's cursor (-1 none), and
// whether a human has confirmed it.
extern int32_t CharacterCursor[5];
extern uint8_t CharacterDecided[5];
// By character 0 to 5: held by some cursor.
extern uint8_t CharacterTaken[6];
// Names by character, copied into the players' records.
extern const char* const CharacterDisplayNames[6];
// The character each player's cursor starts from.
extern const int32_t CharacterCursorStart[5];

// ---------------------------------------------------------------- steps

extern int32_t PartySetupSceneStep;  // RunPartySetupScene: 0, 1, 2 (the restore prompt), 3, 6
extern int32_t SetupStep;            // RunPartySetup: 0, 1, 3, 4, 6 to 10
extern int32_t HumanCountStep;
extern int32_t CharacterSelectStep;  // 0 to 4, 8
extern int32_t TurnCountStep;
extern int32_t MapChoiceStep;
extern int32_t ConfirmStep;
extern int32_t SetupCancelled;
extern int32_t RestoreCursor;   // 0 はい, 1 いいえ
extern int32_t ConfirmCursor;   // 0 はい, 1 いいえ
extern int32_t ChoosingCpu;     // the CPU player whose character is being chosen
extern int32_t MapCursor;       // the map under the map choice's cursor

// ---------------------------------------------------------------- scene and screens

// One frame of scene 4: 0 running, -1 cancelled (main menu), 1 start the
// party (scene 8), 2 start minigame mode (scene 3).
int RunPartySetupScene();
// The set-up of the mode (1 party, 2 minigame mode): 0 running, -1, 1 or 2.
int RunPartySetup(int32_t mode);
// Each 0 running, 1 done, -1 back.
int ChooseHumanCount();
int ChooseCharacters();
int ChooseTurnCount();
int ChooseBoardMap();
int ConfirmSetup();

// The choices already made, by SetupStep.
void DrawSetupSummary(int32_t mode);
// The guide's box at the bottom with its portrait.
void DrawGuideBox();
