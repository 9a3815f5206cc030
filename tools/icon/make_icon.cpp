// Writes the program's icon, as the program draws it, to PNG files of the
// sizes a desktop asks for: DIR/kragmoor-SIZE.png.
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "shell/program_icon.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon DIR\n");
        return 2;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string path =
            std::string(argv[1]) + "/kragmoor-" + std::to_string(size) + ".png";
        if (!cv::imwrite(path, DrawProgramIcon(size))) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
