#pragma once
// The decision-diagram manager of the state space: the one place that owns the BuDDy package.
// It offers what the reached-set code needs (variables, conjunction and disjunction, cubes from
// flat arrays, range diagrams over a run of variables, statistics, an end-of-run consistency
// check) and hides three facts of the package: it keeps one global instance per process, it
// refuses zero variables, and its default hooks print to standard output.
//
// Lifetime: at most one BddManager is alive at a time; another may be created once the previous
// one is destroyed. Every `bdd` handle obtained through a manager must be destroyed (or assigned
// Zero()/One()) before that manager is destroyed, since a handle releases its node in whatever
// instance of the package is running when the handle dies.
//
// Failures: a failure of the package ends the process. Memory exhaustion, including the node
// table reaching its limit, writes "Out of memory." and any other failure (misuse included)
// writes "Internal error." to standard error, each followed by a line feed, and exits with code 1.
//
// Variables are never reordered: variable i always lies at level i of every diagram.

#include <bdd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace tickcheck {

class BddManager {
 public:
  // Cube-array entries: the variable false, true, or free.
  static constexpr int32_t kCubeFalse = 0;
  static constexpr int32_t kCubeTrue = 1;
  static constexpr int32_t kCubeFree = 2;
  // A `maxNodes` of this value leaves the node table unlimited.
  static constexpr int32_t kUnlimitedNodes = 0;

  // Starts the package with `variableCount` >= 0 variables, numbered 0 to variableCount - 1.
  // `maxNodes`, when positive, caps the node table at about that many nodes (never below the
  // initial table): meant for tests and for memory-capped runs; reaching it is reported as
  // "Out of memory.". Creating a manager while another is alive is an internal error.
  explicit BddManager(int32_t variableCount, int32_t maxNodes = kUnlimitedNodes);
  // Shuts the package down; all handles must already be gone (see above).
  ~BddManager();
  BddManager(const BddManager&) = delete;
  BddManager& operator=(const BddManager&) = delete;
  BddManager(BddManager&&) = delete;
  BddManager& operator=(BddManager&&) = delete;

  // The number of variables asked for at construction (0 included).
  int32_t VariableCount() const { return variableCount_; }

  // The constant diagrams false and true.
  bdd Zero() const;
  bdd One() const;
  // The diagram of variable i; requires 0 <= i < VariableCount().
  bdd IthVar(int32_t i) const;

  // The node on variable i (0 <= i < VariableCount()) whose false branch is `low` and true branch
  // `high`, or `low` itself when both are equal. Neither may test a variable at or above i.
  bdd MakeNode(int32_t i, const bdd& low, const bdd& high) const;
  // Ends the run as an internal error unless `holds`: for the preconditions of code built on the
  // manager.
  static void Expect(bool holds);

  static bdd And(const bdd& a, const bdd& b);
  static bdd Or(const bdd& a, const bdd& b);
  // True when both handles denote the same function (diagrams are canonical).
  static bool Equal(const bdd& a, const bdd& b);

  // The cube of `n` entries (0 <= n <= VariableCount()); entry i speaks of variable i:
  // kCubeFalse asks it false, kCubeTrue true, kCubeFree leaves it free, as do all variables at or
  // beyond n. n == 0 gives One(). Any other entry value is an internal error.
  bdd CubeArrayToBdd(const int32_t* entries, int32_t n) const;

  // Every integer in [min, max] written in binary over the variables first..last, most
  // significant bit on `first`. The run has n = last - first + 1 >= 0 variables (n == 0 means
  // first == last + 1) and must lie inside the manager. A negative min counts as 0, a max beyond
  // the largest code 2^n - 1 counts as that code; an empty range (min > max, max < 0, or min
  // above the largest code) gives Zero(). Built in time proportional to n, whatever the range.
  bdd getBddFromExpression(int32_t first, int32_t last, int32_t max, int32_t min) const;

  // A run of variables first..last (most significant bit on `first`) whose value must lie in
  // [min, max], with the same clamping as getBddFromExpression.
  struct RangeRun {
    int32_t first;
    int32_t last;
    int32_t min;
    int32_t max;
  };
  // The cube of `entries` conjoined with every run of `runs`: the runs must not overlap each
  // other and their entries must be free (2). Built in one pass from the last variable up, with
  // a few nodes per variable, instead of conjoining separately built diagrams.
  bdd BoxToBdd(const int32_t* entries, int32_t n, const std::vector<RangeRun>& runs) const;

  // Whether some assignment satisfies both `set` and the cube of `entries` (same rules as
  // CubeArrayToBdd), i.e. whether And(set, CubeArrayToBdd(entries, n)) differs from Zero().
  // Walks the nodes of `set` without building any diagram.
  bool IntersectsCube(const bdd& set, const int32_t* entries, int32_t n) const;

  // Writes the manager's statistics (node table, cache, collections, sizing) as a block of
  // "name: value" lines to `out`.
  void PrintInfo(std::FILE* out) const;

  // End-of-run consistency check: the package is still running with this manager's error
  // handling in place, and `reached` is a well-formed diagram (valid nodes, variables strictly
  // increasing along every path, no node with equal children). A failure is an internal error.
  void DebugCheck(const bdd& reached) const;

 private:
  // Writes every slot of the package's stack of diagrams in progress (see the .cpp).
  void WriteEveryStackSlot() const;

  // Validates a cube array's length and entries (internal error otherwise).
  void CheckCubeArray(const int32_t* entries, int32_t n) const;

  int32_t variableCount_;
};

// The same range diagram as BddManager::getBddFromExpression.
bdd getBddFromExpression(const BddManager& manager, int32_t first, int32_t last, int32_t max,
                         int32_t min);

}  // namespace tickcheck
