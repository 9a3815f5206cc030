// Filled by the work on the start, level-choice and tally screens.
#include "play/game_filter.h"

void CGameFilter::StartScreen() {}

void CGameFilter::LevelChoiceScreen() {}

void CGameFilter::ResetGame() {}

void CGameFilter::BonusTallyScreen() {}
