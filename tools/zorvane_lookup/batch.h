// zorvane-lookup --batch: the window's lookup for whole lists of numbers.
#pragma once

// True when the command line asks for the batch mode (--batch before any --).
bool IsBatchCommand(int argc, char** argv);

// Runs the batch mode on the whole command line and returns the exit status:
// 0 done, 1 an input, the output or the database failed, 2 usage error.
int RunBatch(int argc, char** argv);
