// The game's thirteen tuning values and their file: one line of thirteen
// integers in the working directory, the sensitivity as a whole percentage.
#pragma once

#include <string>

// File order. The sensitivity is kept as the percentage the file and the
// setup dialog hold; the game uses percent * 0.01.
struct SetupParams {
    int buttonThresh = 20;
    int buttonSensitivityPercent = 10;
    int yThresh = 50;
    int uThresh = 10;
    int vThresh = 10;
    int dilateIterations = 0;
    int erode = 0;
    int dilate = 0;
    int multipleShapes = 0;
    int autoReset = 0;
    int resetTime = 60;
    int flip = 0;
    int cleanSize = 0;

    float ButtonSensitivity() const { return static_cast<float>(buttonSensitivityPercent) * 0.01f; }
};

inline const char* const kSetupParamsFile = "SetupParams.txt";

enum class SetupFileRead { Missing, Complete, Partial };

// Reads the file over `params`. A missing file gives the defaults. Otherwise
// the numbers are read in order up to the first one that is missing or not a
// number; the fields after it keep their values in `params`, except the
// sensitivity, which becomes 0 when the file ends before it.
SetupFileRead ReadSetupFile(SetupParams& params, const std::string& path = kSetupParamsFile);

// Writes the line "%d %d ... %d" (no line end) to a temporary file beside
// `path` and renames it over `path`, so a failed write never leaves a
// damaged file. Returns false when nothing was written.
bool WriteSetupFile(const SetupParams& params, const std::string& path = kSetupParamsFile);

// The line WriteSetupFile writes.
std::string FormatSetupLine(const SetupParams& params);
