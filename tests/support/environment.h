#pragma once
// Sizes of the random suites that a developer may raise by hand (TICKCHECK_RANDOM_MODELS,
// TICKCHECK_RANDOM_SEED) without changing the default run of `make test`.

#include <cstdint>
#include <cstdlib>

namespace tickcheck::testing {

// The number in environment variable `name`, or `fallback` when it is unset or empty.
inline int64_t EnvironmentNumber(const char* name, int64_t fallback) {
  const char* value = std::getenv(name);
  return value == nullptr || *value == '\0' ? fallback : std::strtoll(value, nullptr, 10);
}

}  // namespace tickcheck::testing
