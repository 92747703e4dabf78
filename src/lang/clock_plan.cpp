#include "lang/clock_plan.h"

#include <algorithm>
#include <map>
#include <set>

#include "lang/ranges.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

bool BoundsFromBelow(int32_t relation) {
  return relation == ExpType::kGreater || relation == ExpType::kAtLeast ||
         relation == ExpType::kEqual || relation == ExpType::kNotEqual;
}
bool BoundsFromAbove(int32_t relation) {
  return relation == ExpType::kLess || relation == ExpType::kAtMost ||
         relation == ExpType::kEqual || relation == ExpType::kNotEqual;
}

// The comparisons of one location or edge, as (clock, relation, largest bound).
struct Comparison {
  int32_t clock;
  int32_t relation;
  int64_t bound;
};

// What a process's own locations and edges do with its clocks.
struct ProcessUses {
  std::vector<std::vector<Comparison>> locationReads;  // invariants and queries
  std::vector<std::vector<Comparison>> edgeReads;      // guards
  std::vector<std::set<int32_t>> edgeResets;
};

class Planner {
 public:
  Planner(const Network& network, const NetworkGuards& guards, const NetworkInvariants& invariants,
          const std::vector<ClockUse>& queries, Diagnostics& diagnostics)
      : network_(network),
        guards_(guards),
        invariants_(invariants),
        queries_(queries),
        diagnostics_(diagnostics) {}

  std::optional<ClockPlan> Run() {
    const size_t clocks = network_.clocks.size();
    plan_.owner.assign(clocks, -1);
    plan_.max.assign(clocks, 1);
    largestCompared_.assign(clocks, 0);
    Owners();
    for (const ClockUse& use : queries_)
      Compared(use.clock, use.bound);
    std::vector<ProcessUses> uses;
    for (size_t p = 0; p < network_.processes.size(); ++p)
      uses.push_back(Uses(static_cast<int32_t>(p)));
    SharedBounds(uses);
    for (size_t p = 0; p < network_.processes.size(); ++p)
      plan_.active.push_back(ActiveIn(static_cast<int32_t>(p), uses[p]));
    for (size_t c = 0; c < clocks; ++c) {
      if (largestCompared_[c] >= kMaxClockBound) {
        diagnostics_.Error(network_.processes.empty() ? SourcePos{} : network_.processes[0].pos,
                           "the clock " + network_.clocks[c].name +
                               " is compared with values up to " +
                               std::to_string(largestCompared_[c]) + ", more than " +
                               std::to_string(kMaxClockBound));
        return std::nullopt;
      }
      plan_.max[c] = static_cast<int32_t>(std::max<int64_t>(plan_.max[c], largestCompared_[c] + 1));
    }
    return plan_;
  }

 private:
  void Compared(int32_t clock, int64_t bound) {
    int64_t& largest = largestCompared_[static_cast<size_t>(clock)];
    largest = std::max(largest, bound);
  }

  // A global clock belongs to the first process that reads or resets it.
  void Owners() {
    for (size_t c = 0; c < network_.clocks.size(); ++c) {
      if (network_.clocks[c].process >= 0)
        plan_.owner[c] = network_.clocks[c].process;
    }
    users_.assign(network_.clocks.size(), {});
    auto use = [this](int32_t clock, int32_t p) {
      int32_t& owner = plan_.owner[static_cast<size_t>(clock)];
      if (owner == -1)
        owner = p;
      users_[static_cast<size_t>(clock)].insert(p);
    };
    for (size_t pi = 0; pi < network_.processes.size(); ++pi) {
      const auto p = static_cast<int32_t>(pi);
      const Process& process = network_.processes[pi];
      for (const GuardDisjunct& invariant : invariants_[pi]) {
        for (const ClockAtom& atom : invariant.clocks)
          use(atom.clock, p);
      }
      for (size_t e = 0; e < process.edges.size(); ++e) {
        for (const GuardDisjunct& disjunct : guards_[pi][e]) {
          for (const ClockAtom& atom : disjunct.clocks)
            use(atom.clock, p);
        }
        for (const Term& update : process.edges[e].updates) {
          if (const Term* clock = SetClock(update))
            use(clock->value, p);
        }
      }
    }
    for (const ClockUse& query : queries_) {
      int32_t& owner = plan_.owner[static_cast<size_t>(query.clock)];
      if (owner == -1 && !network_.processes.empty())
        owner = 0;
    }
  }

  // A clock that several processes use may be compared by any of them wherever it is active, so
  // each location that lists it bounds it by every comparison of the clock, the queries' too.
  void SharedBounds(const std::vector<ProcessUses>& uses) {
    sharedBounds_.assign(network_.clocks.size(), {-1, -1});
    auto raise = [this](const Comparison& comparison) {
      auto& [L, U] = sharedBounds_[static_cast<size_t>(comparison.clock)];
      if (BoundsFromBelow(comparison.relation))
        L = std::max(L, comparison.bound);
      if (BoundsFromAbove(comparison.relation))
        U = std::max(U, comparison.bound);
    };
    for (const ProcessUses& process : uses) {
      for (const auto* reads : {&process.locationReads, &process.edgeReads}) {
        for (const std::vector<Comparison>& comparisons : *reads)
          std::for_each(comparisons.begin(), comparisons.end(), raise);
      }
    }
    for (const ClockUse& query : queries_)
      raise({query.clock, ExpType::kNotEqual, query.bound});
  }

  ProcessUses Uses(int32_t p) {
    const Process& process = network_.processes[static_cast<size_t>(p)];
    ProcessUses uses;
    std::vector<Comparison> queried;
    for (const ClockUse& use : queries_) {
      if (plan_.owner[static_cast<size_t>(use.clock)] == p)
        // A query's comparison becomes a property atom as written or negated (A[] looks for
        // its violations), so its constant bounds the clock from both sides.
        queried.push_back({use.clock, ExpType::kNotEqual, use.bound});
    }
    for (const GuardDisjunct& invariant : invariants_[static_cast<size_t>(p)]) {
      std::vector<Comparison> reads = queried;
      for (const ClockAtom& atom : invariant.clocks) {
        const int64_t bound = RangeOf(atom.bound, network_).upper;
        reads.push_back({atom.clock, atom.relation, bound});
        Compared(atom.clock, bound);
      }
      uses.locationReads.push_back(std::move(reads));
    }
    for (size_t e = 0; e < process.edges.size(); ++e) {
      std::vector<Comparison> reads;
      for (const GuardDisjunct& disjunct : guards_[static_cast<size_t>(p)][e]) {
        for (const ClockAtom& atom : disjunct.clocks) {
          const int64_t bound = RangeOf(atom.bound, network_).upper;
          reads.push_back({atom.clock, atom.relation, bound});
          Compared(atom.clock, bound);
        }
      }
      std::set<int32_t> resets;
      for (const Term& update : process.edges[e].updates) {
        const Term* clock = SetClock(update);
        if (clock == nullptr)
          continue;
        resets.insert(clock->value);
        int32_t& max = plan_.max[static_cast<size_t>(clock->value)];
        max = static_cast<int32_t>(std::min<int64_t>(
            std::max<int64_t>(max, RangeOf(update.operands[1], network_).upper), kMaxClockBound));
      }
      uses.edgeReads.push_back(std::move(reads));
      uses.edgeResets.push_back(std::move(resets));
    }
    return uses;
  }

  // Active clocks with their bounds, by the backward fixpoint over the process's edges.
  std::vector<std::vector<ActiveClock>> ActiveIn(int32_t p, const ProcessUses& uses) {
    const Process& process = network_.processes[static_cast<size_t>(p)];
    using Bounds = std::map<int32_t, std::pair<int64_t, int64_t>>;  // clock -> (L, U)
    std::vector<Bounds> bounds(process.locations.size());
    auto raise = [](Bounds& into, const Comparison& comparison) {
      auto [entry, added] = into.try_emplace(comparison.clock, -1, -1);
      if (BoundsFromBelow(comparison.relation))
        entry->second.first = std::max(entry->second.first, comparison.bound);
      if (BoundsFromAbove(comparison.relation))
        entry->second.second = std::max(entry->second.second, comparison.bound);
    };
    for (size_t l = 0; l < process.locations.size(); ++l) {
      for (const Comparison& comparison : uses.locationReads[l])
        raise(bounds[l], comparison);
    }
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t e = 0; e < process.edges.size(); ++e) {
        const Edge& edge = process.edges[e];
        Bounds& from = bounds[static_cast<size_t>(edge.from)];
        const Bounds before = from;
        for (const Comparison& comparison : uses.edgeReads[e])
          raise(from, comparison);
        for (const auto& [clock, lu] : bounds[static_cast<size_t>(edge.to)]) {
          if (uses.edgeResets[e].count(clock) != 0)
            continue;
          auto [entry, added] = from.try_emplace(clock, -1, -1);
          entry->second.first = std::max(entry->second.first, lu.first);
          entry->second.second = std::max(entry->second.second, lu.second);
        }
        changed = changed || from != before;
      }
    }
    std::vector<std::vector<ActiveClock>> active(process.locations.size());
    for (size_t l = 0; l < process.locations.size(); ++l) {
      for (auto [clock, lu] : bounds[l]) {
        if (users_[static_cast<size_t>(clock)].size() > 1) {
          lu.first = std::max(lu.first, sharedBounds_[static_cast<size_t>(clock)].first);
          lu.second = std::max(lu.second, sharedBounds_[static_cast<size_t>(clock)].second);
        }
        // Bounds below 0 bound nothing a clock can reach.
        active[l].push_back({clock, static_cast<int32_t>(std::max<int64_t>(lu.first, -1)),
                             static_cast<int32_t>(std::max<int64_t>(lu.second, -1))});
      }
    }
    return active;
  }

  // The clock that an update sets, or null.
  static const Term* SetClock(const Term& update) {
    if (update.kind == Term::Kind::kAssign && update.operands[0].kind == Term::Kind::kClock)
      return &update.operands[0];
    return nullptr;
  }

  const Network& network_;
  const NetworkGuards& guards_;
  const NetworkInvariants& invariants_;
  const std::vector<ClockUse>& queries_;
  Diagnostics& diagnostics_;
  ClockPlan plan_;
  std::vector<int64_t> largestCompared_;
  std::vector<std::set<int32_t>> users_;                   // per clock: the processes using it
  std::vector<std::pair<int64_t, int64_t>> sharedBounds_;  // per clock: (L, U) of all its uses
};

}  // namespace

std::optional<ClockPlan> PlanClocks(const Network& network, const NetworkGuards& guards,
                                    const NetworkInvariants& invariants,
                                    const std::vector<ClockUse>& queries,
                                    Diagnostics& diagnostics) {
  return Planner(network, guards, invariants, queries, diagnostics).Run();
}

}  // namespace tickcheck::lang
