// Writes Fischer's mutual exclusion protocol for N processes as a tickcheck model file:
//
//   tickcheck-fischer <processes> <set delay> <wait delay> <output file>
//
// Mutual exclusion (property 1 is 0) holds exactly when set delay <= wait delay.
#include <cstdlib>
#include <iostream>
#include <string>

#include "model/model_writer.h"
#include "tools/example_models.h"

int main(int argc, char* argv[]) {
  if (argc != 5) {
    std::cerr << "usage: tickcheck-fischer <processes> <set delay> <wait delay> <output file>\n";
    return 2;
  }
  const int processes = std::atoi(argv[1]);
  const int setDelay = std::atoi(argv[2]);
  const int waitDelay = std::atoi(argv[3]);
  if (processes < 2 || processes > 64 || setDelay < 0 || waitDelay < 0 || setDelay > 1000000 ||
      waitDelay > 1000000) {
    std::cerr << "tickcheck-fischer: needs 2 to 64 processes and delays from 0 to 1000000\n";
    return 2;
  }
  const std::string error =
      tickcheck::WriteModelFile(tickcheck::FischerModel(processes, setDelay, waitDelay), argv[4]);
  if (!error.empty()) {
    std::cerr << "tickcheck-fischer: " << error << '\n';
    return 1;
  }
  return 0;
}
