// Command ids of the context menu and the keys.
#pragma once

enum Command : int {
    kCmdAbout = 104,
    kCmdExit = 105,
    kCmdFirstDevice = 4000,
    kCmdLastDevice = 4009,  // at most ten devices can be chosen
    kCmdCrossbar = 40000,
    kCmdFullScreen = 40005,
    kCmdPerformance = 40008,
    kCmdProperties = 40012,
    kCmdResolution = 40013,
    kCmdSetup = 40017,
    kCmdRecaptureBackground = 40018,
};
