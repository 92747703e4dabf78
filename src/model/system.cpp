#include "model/system.h"

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

}  // namespace tickcheck
