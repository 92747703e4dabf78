#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "compose/composition.h"

namespace tickcheck {

void CComposedTransition::print(std::ostream& out, int32_t number, const std::string& pre,
                                const std::string& post) const {
  out << "-----------composed transition" << number << "---------------" << std::endl;
  out << "pre = " << pre << std::endl;
  out << "post = " << post << std::endl;
  for (size_t k = 0; k < procId.size(); ++k)
    out << "procId[" << k << "] = " << procId[k] << std::endl;
  out << "isUrgent : " << (isUrgent ? 1 : 0) << std::endl;
  out << "noGuard : " << (noGuard ? 1 : 0) << std::endl;
  for (size_t k = 0; k < updates.size(); ++k) {
    out << "updateVar" << k + 1 << " = " << updates[k].updateVar << std::endl;
    out << "update expId" << k + 1 << " = " << updates[k].updateExpId << std::endl;
  }
  for (size_t k = 0; k < guardExpId.size(); ++k)
    out << "guard expId" << k + 1 << " = " << guardExpId[k] << std::endl;
  for (size_t k = 0; k < resetClockId.size(); ++k)
    out << "resetClockId" << k + 1 << " = " << resetClockId[k] << std::endl;
  // Only models with urgent channels or the usual broadcast rule have these lines.
  if (urgentChannel)
    out << "urgentChannel : 1" << std::endl;
  for (size_t k = 0; k < excludedGuards.size(); k += static_cast<size_t>(excludedGuards[k]) + 1) {
    out << "excluded guard";
    for (size_t j = 1; j <= static_cast<size_t>(excludedGuards[k]); ++j)
      out << ' ' << excludedGuards[k + j];
    out << std::endl;
  }
}

void CComposition::printComposedTransitions(std::ostream& out) const {
  out << "--------------------------Composed Transitions---------" << std::endl;
  // The order of the location vectors is that of the mixed-radix indices where they exist.
  std::vector<int64_t> composed;
  for (size_t place = 0; place < places_.size(); ++place) {
    if (places_[place].transitionCount > 0)
      composed.push_back(static_cast<int64_t>(place));
  }
  std::ranges::sort(composed, [this](int64_t a, int64_t b) {
    return std::ranges::lexicographical_compare(LocationVector(a), LocationVector(b));
  });
  int32_t number = 0;
  for (int64_t place : composed) {
    for (const CComposedTransition& transition : Transitions(place))
      transition.print(out, ++number, Label(transition.pre), Label(transition.post));
  }
}

}  // namespace tickcheck
