// The party opening: map introduction, line-up and turn-order draw.
#include "game/board/party_opening.h"

int32_t PartyOpeningState = 0;
int32_t PrincessIntroState = 0;
int32_t GemGuideIntroState = 0;
int32_t BanquetHostIntroState = 0;

int32_t TurnOrderDrawStep = 0;
char* OrderTextLines = nullptr;
int32_t OrderDraws[5] = {};
int32_t NextOrderNumber = 1;
int32_t DieShowCounters[5] = {};
int32_t CpuDrawWait[5] = {};
int32_t OrderCoinsCounted = 0;
char OrderAnnouncement[64] = {};

// empty step: built with its module
int RunPartyOpening() { return 1; }
// empty step: built with its module
int RunMapIntroduction(int32_t) { return 1; }
// empty step: built with its module
int RunPrincessRequestIntro() { return 1; }
// empty step: built with its module
int RunGemGuideIntro() { return 1; }
// empty step: built with its module
int RunBanquetHostIntro() { return 1; }
// empty step: built with its module
int RunTurnOrderDraw(int32_t) { return 1; }
// empty step: built with its module
void DrawOpeningLineUp() {}
// empty step: built with its module
void LoadOrderText(int32_t) {}
