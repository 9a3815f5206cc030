// Filled by the work on compositing and the game-over animation.
#include "play/game_filter.h"

void CGameFilter::TextureSilhouette(cv::Rect) {}

void CGameFilter::DrawScoreLines() {}

void CGameFilter::ShrinkOut() {}
