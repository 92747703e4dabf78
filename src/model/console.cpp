#include "model/console.h"

#include <iostream>

namespace tickcheck {

void ConsoleLine(std::string_view text) {
  std::cout << text << '\n' << std::flush;
}

}  // namespace tickcheck
