// Filled by the work on the high-score list and the name entry.
#include "play/game_filter.h"

void CGameFilter::ReadHighScores() {}

void CGameFilter::DrawHighScoreList() {}

void CGameFilter::NameEntryScreen() {}
