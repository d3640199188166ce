// The program: everything happens in the game's entry.
#include "game/shell/game_main.h"

int main() { return WinMain(); }
