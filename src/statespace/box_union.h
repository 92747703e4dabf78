#pragma once
// The diagram of a union of boxes, built in one pass from the top variable down. A box gives each
// field (a run of variables holding one number in binary) an interval of values; the union holds
// every assignment that some box admits on all fields. Splitting the boxes at each bit and making
// each node once from its two halves produces only the nodes of the result (and of sub-results
// that canonical sharing merges), where joining separately built boxes makes the nodes of every
// box and of every intermediate join.

#include <cstdint>
#include <vector>

#include "statespace/bdd_manager.h"

namespace tickcheck {

// Variables first..first + bits - 1, most significant bit on `first`.
struct BoxField {
  int32_t first;
  int32_t bits;
};

// The closed interval [min, max] of a field's values, clamped as getBddFromExpression clamps it:
// an interval that holds no code of the field makes its box empty.
struct FieldInterval {
  int64_t min;
  int64_t max;
};

// Storage that BoxUnionToBdd reuses from one call to the next, so that joining batch after batch
// does not allocate and free megabytes each time (which also scatters the heap).
struct BoxUnionScratch {
  struct Entry {
    uint32_t box;
    uint64_t low;
    uint64_t high;
  };
  // A field start already built: the field, its boxes (a span of startIds) and the result.
  struct Start {
    uint64_t hash;
    uint32_t field;
    uint32_t first;
    uint32_t count;
    bdd result;
  };
  std::vector<Entry> entries;
  std::vector<Entry> high;
  std::vector<Start> starts;
  std::vector<uint32_t> startIds;
  std::vector<uint32_t> index;
  // A single box's part from a field down, built already: it depends only on the box's intervals
  // of that field and the later ones, which other boxes often share.
  struct Suffix {
    uint64_t hash;
    uint32_t field;
    uint32_t box;
    bdd result;
  };
  std::vector<uint64_t> suffixHashes;  // per box, per field and the end: of its later intervals
  std::vector<Suffix> suffixes;
  std::vector<uint32_t> suffixIndex;
  // The budget of one attempt at building a set of boxes at once: the box ids that the records of
  // its field starts may hold, per box and field (at least 1, which a single box never exceeds).
  // Past it the set is split in two, each half built on its own, and `splits` counts one.
  size_t idsPerBoxAndField = 32;
  int64_t splits = 0;
};

// `fields` (of at most 64 bits each) must lie inside the manager, in increasing order of `first`,
// without overlapping; variables outside every field are free. `bounds` holds one interval per
// field for each of the `boxCount` boxes, box after box. The result equals the disjunction of the
// boxes' diagrams; no box gives Zero(). Recursion is as deep as the number of variables.
bdd BoxUnionToBdd(const BddManager& manager, const std::vector<BoxField>& fields,
                  const std::vector<FieldInterval>& bounds, size_t boxCount,
                  BoxUnionScratch& scratch);

}  // namespace tickcheck
