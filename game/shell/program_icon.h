// The program's icon, drawn in code: a player with raised arms, cut out
// against a dark scene, reaching for a star. The window and the About box
// use it directly; tools/icon writes it to PNG files for the desktop.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <opencv2/core.hpp>

// A size x size BGRA picture, transparent outside its rounded square.
cv::Mat DrawProgramIcon(int size);

// The same as a new pixbuf (the caller unrefs it).
GdkPixbuf* ProgramIconPixbuf(int size);
