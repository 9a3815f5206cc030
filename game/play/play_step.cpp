// Filled by the work on sprites and play; until then these do nothing.
#include "play/game_filter.h"

void CGameFilter::LoadPictures() {}

void CGameFilter::PlayStep() {}
