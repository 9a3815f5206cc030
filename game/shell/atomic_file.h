// Files the program rewrites are replaced whole: written to a temporary file
// beside the target, flushed, then renamed over it. A failed write leaves
// the old file as it was and no temporary behind.
#pragma once

#include <string>

bool WriteFileAtomically(const std::string& path, const std::string& contents);
