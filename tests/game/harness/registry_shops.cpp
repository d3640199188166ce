// The round-start slot, the coin tally, the items and the shops for the
// harness: their steps and working values.
#include "game/board/coin_tally.h"
#include "game/board/items.h"
#include "game/board/magic_square_slot.h"
#include "game/board/mischief_shop.h"
#include "game/board/shops.h"
#include "tests/game/harness/game_registry.h"

GAME_REGISTRY(shops) {
  GAME_MACHINE(RunMagicSquareSlot, SlotState);
  GAME_VALUE(SlotDarkness);
  GAME_TABLE(SlotIntroCounters);
  GAME_VALUE(SlotCardFrame);
  GAME_VALUE(SlotSpinFrames);
  GAME_VALUE(SlotShown);
  GAME_VALUE(SlotResult);
  GAME_VALUE(SlotCircleScale);
  GAME_VALUE(SlotCircleAngle);
  GAME_VALUE(SlotCircleAlpha);

  // The tally rests at 2 between tallies once the victory music is loaded
  // (0 before the first).
  GAME_MACHINE(RunCoinTally, TallyState == 2 ? 0 : TallyState);
  GAME_TABLE(TallySlide);
  GAME_TABLE(TallyAlpha);
  GAME_VALUE(TallyLeaving);
  GAME_VALUE(VictoryMusic);

  GAME_MACHINE(RunItemStep, ItemStepState);
  GAME_MACHINE(RunItemMenu, ItemMenuState);
  GAME_VALUE(ItemMenuCursor);
  GAME_VALUE(ItemMenuCpuFrames);
  GAME_VALUE(ItemMenuTarget);
  GAME_MACHINE(RollSmallDie, SingleDieState, 1);
  GAME_VALUE(SingleDieValue);
  GAME_VALUE(SingleDieStop);
  GAME_VALUE(SingleDieFrames);
  GAME_MACHINE(RollTwoDice, MultiDiceState);
  GAME_VALUE(MultiDiceCount);
  GAME_VALUE(MultiDiceRolled);
  GAME_TABLE(MultiDiceValues);
  GAME_VALUE(MultiDiceAlpha);
  GAME_VALUE(MultiDiceOffset);
  GAME_MACHINE(RunRandomDiceItem, RandomDiceChoice, -1);
  GAME_MACHINE(SwapPlacesThroughGap, SwapState);
  GAME_VALUE(SwapCounter);
  GAME_VALUE(SwapPartner);
  GAME_VALUE(SwapAlpha);
  GAME_VALUE(SwapSinkFrames);
  GAME_VALUE(SwapHopOffset);
  GAME_VALUE(SwapHopSpeed);

  GAME_MACHINE(RunStarSale, StarSaleState);
  GAME_MACHINE(RunStarShop, StarShopState);
  GAME_MACHINE(RunCpuStarShop, CpuStarShopState);
  GAME_VALUE(StarSaleCursor);
  GAME_VALUE(StarSaleDecision);
  GAME_VALUE(StarSaleTextId);
  GAME_VALUE(StarSaleWaitFrames);
  GAME_VALUE(StarSaleCpuFrames);
  GAME_MACHINE(RunItemShop, ItemShopState, 2);
  GAME_TABLE(ItemShopStock);
  GAME_VALUE(ItemShopCursor);
  GAME_VALUE(ItemShopPrevCursor);
  GAME_VALUE(ItemShopYesNo);
  GAME_VALUE(ItemShopTarget);
  GAME_VALUE(ItemShopWaitFrames);
  GAME_VALUE(ItemShopCpuFrames);
  GAME_VALUE(ItemShopTextId);
  GAME_VALUE(ItemShopPulseScale);

  GAME_MACHINE(RunMischiefShop, MischiefShopState);
  GAME_MACHINE(RunCpuMischiefShop, CpuMischiefShopState);
  GAME_VALUE(MischiefMenuCursor);
  GAME_VALUE(MischiefTargetCursor);
  GAME_VALUE(MischiefItemCursor);
  GAME_VALUE(MischiefYesNo);
  GAME_VALUE(MischiefEntry);
  GAME_VALUE(MischiefTarget);
  GAME_VALUE(MischiefItemSlot);
  GAME_VALUE(MischiefFee);
  GAME_VALUE(MischiefAmount);
  GAME_VALUE(MischiefMovedItem);
  GAME_VALUE(MischiefDeparture);
  GAME_VALUE(MischiefWaitFrames);
  GAME_VALUE(MischiefCpuFrames);
  GAME_VALUE(MischiefRefused);
  GAME_VALUE(MischiefTextId);
}
