// The game's picture files, in the folder images/ of the working directory.
#pragma once

#include <opencv2/core.hpp>
#include <string>

// The picture in colour, or an empty one when the file is missing or
// unreadable. `turned`: flipped about both axes (half a turn), so that it
// reads upright once the finished frame is mirrored on the bottom-up display.
cv::Mat LoadPicture(const std::string& name, bool turned);
