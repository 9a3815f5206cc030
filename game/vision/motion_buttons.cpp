// Filled by the work on the motion buttons and the automatic background reset.
#include "play/game_filter.h"

void CGameFilter::PrepareMotionButtons() {}

void CGameFilter::ReleaseMotionButtons() {}

void CGameFilter::AutoResetCheck(unsigned char*) {}
