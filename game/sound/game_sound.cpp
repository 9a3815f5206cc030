// Filled by the work on sound; until then the game is silent.
#include "play/game_filter.h"

bool CGameFilter::StartSound() { return false; }

void CGameFilter::PlayClip(int, int, int) {}
