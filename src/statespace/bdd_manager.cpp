#include "statespace/bdd_manager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

// The package's own constructor of a node, which its header leaves out: the node on `level` with
// these children, found in the node table or added to it (collecting garbage first when the table
// is full), or `low` when both children are equal. The children must be referenced.
extern "C" int bdd_makenode(unsigned int level, int low, int high);

namespace tickcheck {
namespace {

// Sizing. A reached set of millions of nodes grows by a few dozen nodes per stored state, so
// what costs time is how often the package collects garbage and how it grows the node table; a
// tiny model, and a test that creates dozens of managers, must still start in milliseconds.
// Measured on the project's 2-core machine, inserting random complete cubes one by one:
//   200 000 cubes of 40 bits (a set of 1.24 M nodes):
//     package defaults: 4.6 to 6.3 s, 58 collections taking 2.0 s, 33 MB;
//     the figures below: 4.3 s, 14 collections taking 0.8 s, 52 MB.
//   200 000 cubes of 64 bits (a set of 6.0 M nodes):
//     package defaults: 40.6 s, 127 collections taking 27 s, 119 MB;
//     the figures below: 6.4 s, 9 collections taking 1.1 s, 199 MB.
// Building the cubes alone takes 1.5 s of the 40-bit run; the rest is mostly the unions.
// - Initial node table 2^18 nodes (5 MB): a manager starts in about 3 ms with 9 MB resident. A
//   start at 2^22 nodes with a 2^20 cache saved about a second on the 40-bit run but took over
//   100 ms and 226 MB for every manager, tiny models and tests included.
// - Growth step up to 2^24 nodes: the table keeps doubling up to 16 M nodes instead of creeping
//   by the default 50 000 nodes per collection, which is what made the default runs slow.
// - Growth once a collection leaves 30 % or less free (default 20 %): 14 instead of 20
//   collections on the 40-bit run with the same table; 40 % saved little more but doubled the
//   table early on the 64-bit run (16.7 M nodes, 395 MB, for the 6 M-node set).
// - Cache: one entry per 32 nodes, following the table as it grows (an entry costs about
//   144 bytes over the six operator caches). A fixed 2^16 cache and ratios of 4 to 16 measured
//   the same or slower on these runs, on unions of two 3.8 M-node sets and on an 11-queens
//   construction, while ratio 4 took up to 900 MB.
constexpr int kInitialNodes = 1 << 18;
constexpr int kCacheRatio = 32;
constexpr int kInitialCache = kInitialNodes / kCacheRatio;
constexpr int kMaxIncrease = 1 << 24;
constexpr int kMinFreePercent = 30;

constexpr const char* kOutOfMemory = "Out of memory.";
constexpr const char* kInternalError = "Internal error.";

// The package is one global instance, so the guard against a second manager is global too.
bool managerAlive = false;

[[noreturn]] void ReportFailure(const char* message) {
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::exit(1);
}

// Without a hook the package would return wrong diagrams after a failure; the default one prints
// its own text. Every failure therefore ends the run with one of our two messages.
void OnPackageError(int code) {
  ReportFailure(code == BDD_MEMORY || code == BDD_NODENUM ? kOutOfMemory : kInternalError);
}

// The default collection hook prints a line per collection to standard output, which is the
// console of the run.
void OnGarbageCollection(int, bddGbcStat*) {}

// The resize hook is silent by default, so only the error and collection hooks are replaced.
void InstallHooks() {
  bdd_error_hook(OnPackageError);
  bdd_gbc_hook(OnGarbageCollection);
}

// Bit k (0 = least significant) of a non-negative value; bits past the value's width are 0.
bool BitAt(int64_t value, int64_t k) {
  return k < 62 && ((value >> k) & 1) != 0;
}

// The walk of IntersectsCube. Whether a node's function meets the cube depends only on the
// node, since the cube fixes every variable below it the same way on all paths: so a node found
// to fail once fails everywhere. Remembering failed nodes at free entries expands each of them at
// most once, which keeps the walk polynomial in the set's size instead of exponential in the
// number of free entries; nodes at fixed entries are followed without bookkeeping, since that is
// the whole cost of the usual membership test of a complete state.
class CubeWalk {
 public:
  CubeWalk(const int32_t* entries, int32_t n) : entries_(entries), n_(n) {}

  bool Reaches(int node) {
    while (node > 1) {
      const int var = bdd_var(node);
      const int32_t entry = var < n_ ? entries_[var] : BddManager::kCubeFree;
      if (entry == BddManager::kCubeFalse) {
        node = bdd_low(node);
      } else if (entry == BddManager::kCubeTrue) {
        node = bdd_high(node);
      } else {
        if (failed_.contains(node)) {
          return false;
        }
        if (Reaches(bdd_low(node)) || Reaches(bdd_high(node))) {
          return true;
        }
        failed_.insert(node);
        return false;
      }
    }
    return node == 1;
  }

 private:
  const int32_t* entries_;
  int32_t n_;
  std::unordered_set<int> failed_;
};

}  // namespace

BddManager::BddManager(int32_t variableCount, int32_t maxNodes) : variableCount_(variableCount) {
  if (managerAlive || variableCount < 0 || maxNodes < 0) {
    ReportFailure(kInternalError);
  }
  // Hooks go in before start-up so that its failures use our messages, and again after it,
  // because a successful start resets them to the package's defaults.
  InstallHooks();
  const int initialNodes =
      maxNodes == kUnlimitedNodes ? kInitialNodes : std::clamp(maxNodes / 2, 2, kInitialNodes);
  bdd_init(initialNodes, kInitialCache);
  InstallHooks();
  managerAlive = true;
  bdd_setmaxincrease(kMaxIncrease);
  bdd_setminfreenodes(kMinFreePercent);
  bdd_setcacheratio(kCacheRatio);
  if (maxNodes != kUnlimitedNodes) {
    // The package refuses a limit that is not above the table it already has.
    bdd_setmaxnodenum(std::max(maxNodes, bdd_getallocnum() + 1));
  }
  // The package refuses zero variables; one unused variable is invisible to callers, who can
  // only name variables below VariableCount().
  bdd_setvarnum(std::max(variableCount, 1));
  WriteEveryStackSlot();
}

void BddManager::WriteEveryStackSlot() const {
  // The package keeps the diagrams that an operation in progress has made on a stack, and its
  // operations take a slot of that stack before they compute the diagram that goes into it. A
  // garbage collection during that computation follows every taken slot as a node number: a
  // slot never written holds whatever the memory held before, which points anywhere (a
  // CSMA/CD model of 14 senders ended in a segmentation fault this way). One operation that
  // goes down every variable, taking two slots per variable, writes every slot once; after it a
  // taken slot holds at worst a number of the table, which a collection only keeps alive once
  // more.
  const int count = bdd_varnum();
  bdd allTrue = bdd_true();
  bdd lastFalse = bdd_nithvar(count - 1);
  for (int i = count - 1; i >= 0; --i) {
    allTrue = bdd_ite(bdd_ithvar(i), allTrue, bdd_false());
    if (i < count - 1)
      lastFalse = bdd_ite(bdd_ithvar(i), lastFalse, bdd_false());
  }
  const bdd joined = Or(allTrue, lastFalse);
}

BddManager::~BddManager() {
  bdd_done();
  managerAlive = false;
}

bdd BddManager::Zero() const {
  return bdd_false();
}

bdd BddManager::One() const {
  return bdd_true();
}

bdd BddManager::IthVar(int32_t i) const {
  if (i < 0 || i >= variableCount_) {
    ReportFailure(kInternalError);
  }
  return bdd_ithvar(i);
}

bdd BddManager::MakeNode(int32_t i, const bdd& low, const bdd& high) const {
  if (i < 0 || i >= variableCount_) {
    ReportFailure(kInternalError);
  }
  // An if-then-else on the variable would make the same node, at about twice the cost: it looks
  // up and fills the operation cache on the way. The package's C++ handle cannot take over a node
  // it did not make itself, but it holds nothing but the node number: the reference taken here is
  // handed to it by writing that number in.
  static_assert(sizeof(bdd) == sizeof(BDD));
  const BDD node =
      bdd_addref(bdd_makenode(static_cast<unsigned>(bdd_var2level(i)), low.id(), high.id()));
  bdd result;
  std::memcpy(static_cast<void*>(&result), &node, sizeof node);
  return result;
}

void BddManager::Expect(bool holds) {
  if (!holds) {
    ReportFailure(kInternalError);
  }
}

bdd BddManager::And(const bdd& a, const bdd& b) {
  return a & b;
}

bdd BddManager::Or(const bdd& a, const bdd& b) {
  return a | b;
}

bool BddManager::Equal(const bdd& a, const bdd& b) {
  return a == b;
}

void BddManager::CheckCubeArray(const int32_t* entries, int32_t n) const {
  if (n < 0 || n > variableCount_ || (n > 0 && entries == nullptr)) {
    ReportFailure(kInternalError);
  }
  for (int32_t i = 0; i < n; ++i) {
    if (entries[i] != kCubeFalse && entries[i] != kCubeTrue && entries[i] != kCubeFree) {
      ReportFailure(kInternalError);
    }
  }
}

bdd BddManager::CubeArrayToBdd(const int32_t* entries, int32_t n) const {
  CheckCubeArray(entries, n);
  // Bottom-up, each literal lies above everything built so far, so every conjunction only adds
  // one node on top.
  bdd cube = bdd_true();
  for (int32_t i = n - 1; i >= 0; --i) {
    if (entries[i] == kCubeTrue) {
      cube = bdd_ithvar(i) & cube;
    } else if (entries[i] == kCubeFalse) {
      cube = bdd_nithvar(i) & cube;
    }
  }
  return cube;
}

bdd BddManager::getBddFromExpression(int32_t first, int32_t last, int32_t max, int32_t min) const {
  const int64_t bits = int64_t{last} - first + 1;
  if (first < 0 || bits < 0 || first + bits > variableCount_) {
    ReportFailure(kInternalError);
  }
  // Codes are non-negative and below 2^bits: a clock interval may reach one past the clock's
  // largest value, and nothing above the largest code is ever reached, so clamping adds nothing.
  const int64_t largest = bits < 62 ? (int64_t{1} << bits) - 1 : INT64_MAX;
  const int64_t low = std::max<int64_t>(min, 0);
  const int64_t high = std::min<int64_t>(max, largest);
  if (max < 0 || min > max || low > largest) {
    return Zero();
  }
  // Two comparators, x >= low and x <= high, each built from the least significant bit (on
  // `last`) upwards with one node per bit: the cost is linear in the run's width whatever the
  // length of the range.
  bdd atLeast = bdd_true();
  bdd atMost = bdd_true();
  for (int64_t k = 0; k < bits; ++k) {
    const bdd x = bdd_ithvar(static_cast<int>(last - k));
    atLeast = BitAt(low, k) ? bdd_ite(x, atLeast, bdd_false()) : bdd_ite(x, bdd_true(), atLeast);
    atMost = BitAt(high, k) ? bdd_ite(x, atMost, bdd_true()) : bdd_ite(x, bdd_false(), atMost);
  }
  return atLeast & atMost;
}

bdd BddManager::BoxToBdd(const int32_t* entries, int32_t n,
                         const std::vector<RangeRun>& runs) const {
  CheckCubeArray(entries, n);
  std::vector<const RangeRun*> ordered;
  for (const RangeRun& run : runs) {
    if (run.first < 0 || run.last < run.first - 1 || run.last >= n)
      ReportFailure(kInternalError);
    // A run without variables may never be met on the way up, yet an interval without 0 still
    // empties the box.
    const int64_t bits = int64_t{run.last} - run.first + 1;
    const int64_t largest = bits < 62 ? (int64_t{1} << bits) - 1 : INT64_MAX;
    if (run.max < 0 || run.min > run.max || std::max<int64_t>(run.min, 0) > largest)
      return Zero();
    ordered.push_back(&run);
  }
  // Runs are met from the last variable upwards.
  std::sort(ordered.begin(), ordered.end(),
            [](const RangeRun* a, const RangeRun* b) { return a->last > b->last; });
  bdd below = bdd_true();
  size_t nextRun = 0;
  for (int32_t i = n - 1; i >= 0;) {
    while (nextRun < ordered.size() && ordered[nextRun]->last > i)
      ++nextRun;
    if (nextRun < ordered.size() && ordered[nextRun]->last == i) {
      const RangeRun& run = *ordered[nextRun++];
      const int64_t bits = int64_t{run.last} - run.first + 1;
      const int64_t largest = bits < 62 ? (int64_t{1} << bits) - 1 : INT64_MAX;
      const int64_t low = std::max<int64_t>(run.min, 0);
      const int64_t high = std::min<int64_t>(run.max, largest);
      // From the least significant bit up: `atLeast` holds the suffixes not below low's suffix,
      // `atMost` those not above high's, `between` those within both, each continuing with
      // `below`; the run's diagram is `between` at its most significant bit.
      bdd atLeast = below;
      bdd atMost = below;
      bdd between = below;
      for (int64_t k = 0; k < bits; ++k) {
        const bdd x = bdd_ithvar(static_cast<int>(run.last - k));
        const bool lowBit = BitAt(low, k);
        const bool highBit = BitAt(high, k);
        bdd nextBetween;
        if (lowBit == highBit) {
          nextBetween =
              lowBit ? bdd_ite(x, between, bdd_false()) : bdd_ite(x, bdd_false(), between);
        } else {
          nextBetween = highBit ? bdd_ite(x, atMost, atLeast) : bdd_false();
        }
        atLeast = lowBit ? bdd_ite(x, atLeast, bdd_false()) : bdd_ite(x, below, atLeast);
        atMost = highBit ? bdd_ite(x, atMost, below) : bdd_ite(x, bdd_false(), atMost);
        between = nextBetween;
      }
      below = between;
      i = run.first - 1;
      continue;
    }
    if (entries[i] != kCubeFree) {
      const bdd x = bdd_ithvar(i);
      below =
          entries[i] == kCubeTrue ? bdd_ite(x, below, bdd_false()) : bdd_ite(x, bdd_false(), below);
    }
    --i;
  }
  return below;
}

bool BddManager::IntersectsCube(const bdd& set, const int32_t* entries, int32_t n) const {
  CheckCubeArray(entries, n);
  return CubeWalk(entries, n).Reaches(set.id());
}

void BddManager::PrintInfo(std::FILE* out) const {
  bddStat stats;
  bdd_stats(&stats);
  std::fprintf(out,
               "Decision-diagram manager (BuDDy)\n"
               "Variables: %d\n"
               "Nodes produced: %ld\n"
               "Node table size: %d\n"
               "Node table limit (0 = none): %d\n"
               "Free nodes: %d\n"
               "Minimum free nodes after collection (%%): %d\n"
               "Cache entries at start: %d\n"
               "Cache entries now (about): %d\n"
               "Garbage collections: %d\n"
               "Initial node table: %d\n"
               "Cache ratio (nodes per entry): %d\n"
               "Largest node table growth step: %d\n",
               variableCount_, stats.produced, stats.nodenum, stats.maxnodenum, stats.freenodes,
               stats.minfreenodes, stats.cachesize, stats.nodenum / kCacheRatio, stats.gbcnum,
               kInitialNodes, kCacheRatio, kMaxIncrease);
  std::fflush(out);
}

void BddManager::DebugCheck(const bdd& reached) const {
  // Every package failure ends the run from the error hook; if the hook is not ours, a failure
  // may have been swallowed and the diagrams may be wrong.
  const bool hookIntact = bdd_error_hook(OnPackageError) == OnPackageError;
  if (!managerAlive || !bdd_isrunning() || !hookIntact ||
      bdd_varnum() != std::max(variableCount_, 1)) {
    ReportFailure(kInternalError);
  }
  const int tableSize = bdd_getallocnum();
  const int varnum = bdd_varnum();
  const auto valid = [tableSize](int node) { return node >= 0 && node < tableSize; };
  // A bit per table slot: a reached set of millions of nodes is walked in well under a second.
  std::vector<bool> seen(tableSize);
  std::vector<int> pending{reached.id()};
  while (!pending.empty()) {
    const int node = pending.back();
    pending.pop_back();
    if (!valid(node)) {
      ReportFailure(kInternalError);
    }
    if (node <= 1 || seen[node]) {
      continue;
    }
    seen[node] = true;
    // The package itself rejects a freed node here, through the error hook.
    const int var = bdd_var(node);
    const int low = bdd_low(node);
    const int high = bdd_high(node);
    if (var < 0 || var >= varnum || low == high) {
      ReportFailure(kInternalError);
    }
    for (const int child : {low, high}) {
      if (!valid(child) || (child > 1 && bdd_var(child) <= var)) {
        ReportFailure(kInternalError);
      }
      pending.push_back(child);
    }
  }
}

bdd getBddFromExpression(const BddManager& manager, int32_t first, int32_t last, int32_t max,
                         int32_t min) {
  return manager.getBddFromExpression(first, last, max, min);
}

}  // namespace tickcheck
