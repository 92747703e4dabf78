#pragma once
// Why a model was refused: the one console line that says it. A stage that refuses a model
// answers its refusal instead of printing it, and the run prints it once and ends.

#include <string>

namespace tickcheck {

struct Refusal {
  std::string line;  // for instance "ERROR! Model refused: variable n: ..."
};

}  // namespace tickcheck
