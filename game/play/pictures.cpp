#include "pictures.h"

#include <filesystem>
#include <opencv2/imgcodecs.hpp>

cv::Mat LoadPicture(const std::string& name, bool turned)
{
    const std::string path = "images/" + name;
    // Checked first: a missing picture is an expected case, not worth the
    // decoder's warning.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return {};
    cv::Mat picture = cv::imread(path, cv::IMREAD_COLOR);
    if (turned && !picture.empty())
        cv::flip(picture, picture, -1);
    return picture;
}
