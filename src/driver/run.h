#pragma once
// The run of one invocation: `tickcheck <model file> [-n] [-t]`. Loads the model, builds the
// composition, checks every property and prints one verdict line per property, writing the two
// reports next to the model file. Returns the process exit code: 0 after a complete run, 1 after
// a missing argument, a report file that cannot be opened, or a refused model, and 1 after
// "Out of memory." on standard error when memory runs out.

namespace tickcheck {

int RunTickcheck(int argc, const char* const argv[]);

}  // namespace tickcheck
