#include "model/system.h"

#include <algorithm>

namespace tickcheck {

int32_t BitLength(int32_t max) {
  int32_t width = 0;
  for (int32_t rest = max; rest > 0; rest >>= 1)
    ++width;
  return width;
}

int32_t SpanBitLength(int64_t span) {
  int32_t width = 0;
  for (int64_t rest = span; rest > 0; rest >>= 1)
    ++width;
  return width;
}

int32_t CSystem::computeLocationProduct() {
  uint32_t product = 1;
  for (const CProcess& process : processes)
    product *= static_cast<uint32_t>(process.locationCount);
  locationProduct = static_cast<int32_t>(product);
  return locationProduct;
}

bool CSystem::IsUrgentChannel(int32_t channel) const {
  return std::binary_search(urgentChannels.begin(), urgentChannels.end(), channel);
}

bool CSystem::HasTimeStops() const {
  if (!urgentChannels.empty())
    return true;
  return std::ranges::any_of(processes, [](const CProcess& process) {
    return std::ranges::any_of(process.locations, [](const CLocation& location) {
      return location.committed || location.urgent;
    });
  });
}

bool CSystem::AsksDeadlock(size_t property) const {
  const int32_t id = properties[property].expression;
  if (!expressions.Contains(id))
    return false;
  return std::ranges::any_of(expressions[id].Nodes(),
                             [](const ExpNode& node) { return node.type == ExpType::kDeadlock; });
}

bool CSystem::AnyAsksDeadlock() const {
  for (size_t property = 0; property < properties.size(); ++property) {
    if (AsksDeadlock(property))
      return true;
  }
  return false;
}

}  // namespace tickcheck
