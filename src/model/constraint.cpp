#include "model/constraint.h"

#include <string>

namespace tickcheck {

void LoadConstraint(int32_t number, const ProfileIndex& file, std::vector<int32_t>& list) {
  list.clear();
  const std::string section = "Constraint" + std::to_string(number);
  for (int32_t k = 1; k <= kMaxListLength; ++k) {
    const int32_t id = file.Int(section, "CmpExp-" + std::to_string(k));
    if (id == -1)
      return;
    list.push_back(id);
  }
}

}  // namespace tickcheck
