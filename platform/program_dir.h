// The folder that holds the running program, which keeps its data files in
// its Source/ folder.
#pragma once

#include <string>

// The directory part of /proc/self/exe, without a trailing slash; "." when
// it cannot be read.
std::string ProgramDirectory();
