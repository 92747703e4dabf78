#include "support/random_models.h"

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "model/expression_builder.h"
#include "support/random_format2.h"

namespace tickcheck::testing {
namespace {

struct Condition {
  int32_t variable;
  int32_t code;  // 1 ==, 2 <, 3 <=, 4 >, 5 >=, 6 !=
  int32_t bound;
  int32_t boundVariable = 0;  // format 2: the bound is this integer variable + bound
};

struct Update {
  int32_t variable;
  int32_t value;
  bool increment;  // variable := (variable + 1) % (Max + 1)
};

struct Jump {
  int32_t from;
  int32_t to;
  std::vector<Condition> guard{};
  std::vector<Update> updates{};
  int32_t channel = 0;
  int32_t synType = 0;
  bool broadcast = false;
  bool urgent = false;  // iUrgent, internal jumps only
  // Format 2: integer conditions of the guard, values assigned to integers, effects (after the
  // updates, in this order).
  std::vector<Term> conditions{};
  std::vector<std::pair<int32_t, Term>> values{};
  std::vector<Term> effects{};
};

struct Bounds {
  int32_t L = -1;
  int32_t U = -1;
};

struct Location {
  std::vector<int32_t> clocks;
  std::vector<Condition> invariant;
  std::map<int32_t, Bounds> bounds;
  bool committed = false;
  bool urgent = false;
};

struct Process {
  std::vector<int32_t> clocks;
  std::vector<Location> locations;
  std::vector<Jump> jumps;
};

struct Variable {
  std::string name;
  bool clock = false;
  int32_t init = 0;
  int32_t max = 0;
  int32_t min = 0;
  size_t owner = 0;         // clocks: the 0-based process that lists it
  bool everywhere = false;  // clocks: active in every location of the owner
  bool shared = false;      // clocks: listed, compared and reset by every process
};

struct Atom {
  int32_t negated = 0;
  int32_t variable = 0;  // > 0 a variable, <= 0 a location atom of process -variable
  int32_t bound = 0;     // or the location
  int32_t relation = 0;  // as the file writes it: 1 ==, 2 >, 3 >=, 4 <, 5 !=, 6 !=
};

struct Property {
  int32_t type = 0;
  std::vector<Atom> atoms{};
  std::optional<Term> expression{};  // format 2: the property instead of the atoms
};

constexpr int32_t kBroadcastChannel = 3;

// The relation that the property loader stores for a file relation.
int32_t StoredRelation(int32_t fileRelation) {
  switch (fileRelation) {
    case 2:
      return 4;
    case 3:
      return 5;
    case 4:
      return 2;
    case 5:
      return 6;
    default:
      return fileRelation;
  }
}

int32_t NegatedRelation(int32_t code) {
  static constexpr int32_t kNegation[] = {0, 6, 5, 4, 3, 2, 1};
  return kNegation[code];
}

const char* RelationText(int32_t code) {
  static constexpr const char* kText[] = {"?", "==", "<", "<=", ">", ">=", "!="};
  return kText[code];
}

class Generator {
 public:
  // Even seeds give format-2 models; odd seeds the models of format 1 they always gave.
  explicit Generator(uint64_t seed) : random_(seed), seed_(seed), format2_(seed % 2 == 0) {}

  RandomModel Generate() {
    usualBroadcast_ = Chance(0.5);
    for (int32_t channel = 1; channel <= kBroadcastChannel; ++channel) {
      if (Chance(0.12))
        urgentChannels_.push_back(channel);
    }
    MakeVariables();
    MakeLocations();
    MakeJumps();
    KeepInitialInvariants();
    MakeProperties();
    ComputeBounds();
    return {Records(), Describe()};
  }

 private:
  int32_t Pick(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(random_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
  const Variable& Var(int32_t id) const { return variables_[static_cast<size_t>(id) - 1]; }

  void MakeVariables() {
    // Some models run their clocks long: a few clocks, but runs of delays that one clock
    // interval holds whole.
    const bool longRuns = Chance(0.12);
    const int32_t roll = Pick(1, 20);
    processes_.resize(longRuns ? (roll <= 10 ? 1 : 2) : roll <= 3 ? 1 : roll <= 12 ? 2 : 3);
    const int32_t integers = format2_ ? MakeFormat2Integers() : Pick(0, 2);
    for (int32_t i = 1; i <= integers && !format2_; ++i) {
      const int32_t max = Pick(1, 3);
      variables_.push_back(
          {.name = std::string("n").append(std::to_string(i)), .init = Pick(0, max), .max = max});
    }
    for (size_t p = 0; p < processes_.size(); ++p) {
      const int32_t clocks = longRuns ? 1 : Chance(0.05) ? 0 : Pick(1, 2);
      for (int32_t k = 0; k < clocks; ++k) {
        const int32_t max = longRuns ? Pick(40, 120) : Pick(2, 7);
        variables_.push_back(
            {.name = std::string("x").append(std::to_string(variables_.size() + 1 - integers)),
             .clock = true,
             .init = Chance(0.8) ? 0 : Pick(0, max),
             .max = max,
             .owner = p,
             .everywhere = Chance(0.3)});
        processes_[p].clocks.push_back(static_cast<int32_t>(variables_.size()));
      }
    }
    // A clock of no process in particular: locations of every process list it now and then, and
    // every process compares and resets it.
    if (processes_.size() > 1 && Chance(0.25)) {
      const int32_t max = Pick(2, 7);
      variables_.push_back(
          {.name = std::string("g").append(std::to_string(variables_.size() + 1 - integers)),
           .clock = true,
           .init = Chance(0.8) ? 0 : Pick(0, max),
           .max = max,
           .shared = true});
      for (Process& process : processes_)
        process.clocks.push_back(static_cast<int32_t>(variables_.size()));
    }
    integers_ = integers;
  }

  // Format 2: one or two integers with ranges that may be negative, and now and then an array of
  // three; answers their number.
  int32_t MakeFormat2Integers() {
    std::vector<IntegerSlot> scalars;
    std::vector<IntegerSlot> array;
    const int32_t count = Pick(1, 2);
    for (int32_t i = 1; i <= count; ++i) {
      const int32_t min = Pick(-3, 0);
      const int32_t max = min + Pick(1, 4);
      variables_.push_back({.name = std::string("n").append(std::to_string(i)),
                            .init = Pick(min, max),
                            .max = max,
                            .min = min});
      scalars.push_back(
          {static_cast<int32_t>(variables_.size()), variables_.back().name, min, max});
    }
    if (Chance(0.6)) {
      const int32_t max = Pick(2, 3);
      for (int32_t k = 0; k < 3; ++k) {
        variables_.push_back({.name = std::string("a[").append(std::to_string(k)).append("]"),
                              .init = Pick(0, max),
                              .max = max});
        array.push_back({static_cast<int32_t>(variables_.size()), variables_.back().name, 0, max});
      }
    }
    scalars_ = scalars;
    terms_.emplace(random_, scalars, array);
    return static_cast<int32_t>(variables_.size());
  }

  // A comparison of `variable` that timing can change: bounds within 0 .. Max.
  Condition Compare(int32_t variable, bool invariant) {
    const int32_t max = Var(variable).max;
    int32_t code = 0;
    if (!Var(variable).clock) {
      code = Pick(1, 6);
    } else if (invariant) {
      const int32_t roll = Pick(1, 20);
      code = roll <= 8 ? 3 : roll <= 14 ? 2 : roll <= 16 ? 5 : roll <= 18 ? 4 : 1;
    } else {
      const int32_t roll = Pick(1, 20);
      code = roll <= 2 ? 1 : roll <= 5 ? 2 : roll <= 9 ? 3 : roll <= 13 ? 4 : 5;
    }
    const int32_t min = Var(variable).min;
    int32_t bound = Pick(min, max);
    if (code == 2)
      bound = Pick(min + 1, max);
    if (code == 4)
      bound = Pick(min, max - 1);
    // Format 2: a clock bound that reads an integer, which may even be negative.
    if (format2_ && Var(variable).clock && Chance(0.3)) {
      const IntegerSlot& n =
          scalars_[static_cast<size_t>(Pick(0, static_cast<int32_t>(scalars_.size()) - 1))];
      return {variable, code, Pick(0, 3), n.id};
    }
    return {variable, code, bound};
  }

  // The value a condition's bound has for the initial values, and the largest it may have
  // (at most the clock's Max for a bound that reads an integer, as the checker counts it).
  int32_t InitialBound(const Condition& c) const {
    return c.boundVariable == 0 ? c.bound : Var(c.boundVariable).init + c.bound;
  }
  int32_t LargestBound(const Condition& c) const {
    return c.boundVariable == 0 ? c.bound
                                : std::min(Var(c.boundVariable).max + c.bound, Var(c.variable).max);
  }

  void MakeLocations() {
    for (Process& process : processes_) {
      process.locations.resize(static_cast<size_t>(Pick(2, 5)));
      for (Location& location : process.locations) {
        location.committed = Chance(0.06);
        location.urgent = Chance(0.05);
        for (int32_t clock : process.clocks) {
          if (Var(clock).everywhere || Chance(Var(clock).shared ? 0.5 : 0.7))
            location.clocks.push_back(clock);
        }
        // Now and then a location also lists a clock of another process that is always active.
        for (size_t v = 1; v <= variables_.size(); ++v) {
          const Variable& other = Var(static_cast<int32_t>(v));
          if (other.clock && other.everywhere && &processes_[other.owner] != &process &&
              Chance(0.1)) {
            location.clocks.push_back(static_cast<int32_t>(v));
          }
        }
        std::sort(location.clocks.begin(), location.clocks.end());
        if (!location.clocks.empty() && Chance(0.3)) {
          const int32_t count = Chance(0.8) ? 1 : 2;
          for (int32_t k = 0; k < count; ++k) {
            const int32_t clock = location.clocks[static_cast<size_t>(
                Pick(0, static_cast<int32_t>(location.clocks.size()) - 1))];
            location.invariant.push_back(Compare(clock, true));
          }
        }
        if (integers_ > 0 && Chance(0.08))
          location.invariant.push_back(Compare(Pick(1, integers_), true));
      }
    }
  }

  void MakeJumps() {
    std::vector<int32_t> shared;  // clocks active in every location of their process
    for (size_t v = 1; v <= variables_.size(); ++v) {
      if (Var(static_cast<int32_t>(v)).everywhere)
        shared.push_back(static_cast<int32_t>(v));
    }
    for (size_t p = 0; p < processes_.size(); ++p) {
      Process& process = processes_[p];
      const auto locations = static_cast<int32_t>(process.locations.size());
      const int32_t jumps = locations + Pick(1, 3);
      for (int32_t m = 0; m < jumps; ++m) {
        Jump jump{.from = Pick(1, locations), .to = Pick(1, locations)};
        const std::vector<int32_t>& active =
            process.locations[static_cast<size_t>(jump.from) - 1].clocks;
        const int32_t roll = Pick(1, 20);
        const int32_t clockComparisons = active.empty() ? 0 : roll <= 7 ? 0 : roll <= 16 ? 1 : 2;
        for (int32_t k = 0; k < clockComparisons; ++k) {
          jump.guard.push_back(
              Compare(active[static_cast<size_t>(Pick(0, static_cast<int32_t>(active.size()) - 1))],
                      false));
        }
        std::vector<int32_t> foreign;
        for (int32_t clock : shared) {
          if (Var(clock).owner != p)
            foreign.push_back(clock);
        }
        if (!foreign.empty() && Chance(0.15)) {
          jump.guard.push_back(Compare(
              foreign[static_cast<size_t>(Pick(0, static_cast<int32_t>(foreign.size()) - 1))],
              false));
        }
        if (integers_ > 0 && Chance(0.35))
          jump.guard.push_back(Compare(Pick(1, integers_), false));
        for (int32_t clock : process.clocks) {
          if (Chance(0.4))
            jump.updates.push_back({clock, Chance(0.1) ? 1 : 0, false});
        }
        if (integers_ > 0 && Chance(0.3)) {
          const int32_t n = Pick(1, integers_);
          jump.updates.push_back({n, Pick(Var(n).min, Var(n).max), Chance(0.5)});
        }
        if (format2_)
          AddFormat2Parts(jump);
        if (processes_.size() > 1 && Chance(0.3)) {
          jump.channel = Pick(1, kBroadcastChannel);
          jump.broadcast = jump.channel == kBroadcastChannel;
          jump.synType = Chance(0.5) ? 1 : 0;
          if (!jump.broadcast && Chance(0.1))
            jump.synType = 2;
        }
        jump.urgent = jump.channel == 0 && Chance(0.1);
        process.jumps.push_back(std::move(jump));
      }
      // Under the usual rule, locations with several receiving jumps on the broadcast channel.
      if (usualBroadcast_ && processes_.size() > 1 && Chance(0.3)) {
        const int32_t from = Pick(1, locations);
        const std::vector<int32_t>& active =
            process.locations[static_cast<size_t>(from) - 1].clocks;
        for (int32_t k = Pick(1, 2); k > 0; --k) {
          Jump jump{.from = from,
                    .to = Pick(1, locations),
                    .channel = kBroadcastChannel,
                    .synType = 0,
                    .broadcast = true};
          if (!active.empty() && Chance(0.6)) {
            jump.guard.push_back(Compare(
                active[static_cast<size_t>(Pick(0, static_cast<int32_t>(active.size()) - 1))],
                false));
          }
          if (integers_ > 0 && Chance(0.5))
            jump.guard.push_back(Compare(Pick(1, integers_), false));
          if (integers_ > 0 && Chance(0.4)) {
            const int32_t n = Pick(1, integers_);
            jump.updates.push_back({n, Pick(0, Var(n).max), Chance(0.5)});
          }
          process.jumps.push_back(std::move(jump));
        }
      }
    }
    // Under the usual rule a broadcast fires also without receivers.
    if (usualBroadcast_)
      return;
    // A broadcast that no other process listens to would be reported while composing.
    std::set<size_t> listeners;
    for (size_t p = 0; p < processes_.size(); ++p) {
      for (const Jump& jump : processes_[p].jumps) {
        if (jump.broadcast)
          listeners.insert(p);
      }
    }
    if (listeners.size() < 2) {
      for (Process& process : processes_) {
        for (Jump& jump : process.jumps) {
          if (jump.broadcast) {
            jump.channel = 0;
            jump.synType = 0;
            jump.broadcast = false;
          }
        }
      }
    }
  }

  void AddFormat2Parts(Jump& jump) {
    if (Chance(0.35))
      jump.conditions.push_back(terms_->Condition());
    if (Chance(0.2)) {
      const IntegerSlot& target =
          scalars_[static_cast<size_t>(Pick(0, static_cast<int32_t>(scalars_.size()) - 1))];
      jump.values.emplace_back(target.id, terms_->Value(target));
    }
    if (Chance(0.3))
      jump.effects.push_back(terms_->Effect());
  }

  // The initial locations are the first ones; their invariants hold for the initial values.
  void KeepInitialInvariants() {
    for (Process& process : processes_) {
      std::vector<Condition>& invariant = process.locations.front().invariant;
      std::erase_if(invariant, [this](const Condition& c) {
        const int32_t value = Var(c.variable).init;
        const int32_t bound = InitialBound(c);
        switch (c.code) {
          case 1:
            return value != bound;
          case 2:
            return value >= bound;
          case 3:
            return value > bound;
          case 4:
            return value <= bound;
          case 5:
            return value < bound;
          default:
            return value == bound;
        }
      });
    }
  }

  void MakeProperties() {
    const int32_t count = Pick(3, 5);
    std::vector<int32_t> clocks;
    for (size_t v = 1; v <= variables_.size(); ++v) {
      if (Var(static_cast<int32_t>(v)).clock)
        clocks.push_back(static_cast<int32_t>(v));
    }
    const auto processCount = static_cast<int32_t>(processes_.size());
    for (int32_t i = 0; i < count; ++i) {
      Property property{.type = Chance(0.6) ? 0 : 1};
      if (format2_ && Chance(0.5)) {
        std::vector<int32_t> locations;
        for (const Process& process : processes_)
          locations.push_back(static_cast<int32_t>(process.locations.size()));
        std::vector<ClockSlot> slots;
        for (int32_t clock : clocks)
          slots.push_back({clock, Var(clock).name, Var(clock).max});
        property.expression = terms_->Property(locations, slots, propertyClockUses_);
        properties_.push_back(std::move(property));
        continue;
      }
      const int32_t atoms = Pick(1, 3);
      for (int32_t a = 0; a < atoms; ++a) {
        const int32_t roll = Pick(1, 100);
        if (roll <= 3) {
          // A location atom that names no process.
          property.atoms.push_back({.negated = Pick(0, 1),
                                    .variable = Chance(0.5) ? 0 : -(processCount + 1),
                                    .bound = 1});
        } else if (roll <= 45 || (roll <= 65 && integers_ == 0) || (roll > 65 && clocks.empty())) {
          const int32_t p = Pick(1, processCount);
          const auto locations =
              static_cast<int32_t>(processes_[static_cast<size_t>(p) - 1].locations.size());
          property.atoms.push_back(
              {.negated = Chance(0.25) ? 1 : 0, .variable = -p, .bound = Pick(1, locations)});
        } else {
          const int32_t variable =
              roll <= 65
                  ? Pick(1, integers_)
                  : clocks[static_cast<size_t>(Pick(0, static_cast<int32_t>(clocks.size()) - 1))];
          property.atoms.push_back({.negated = Chance(0.2) ? 1 : 0,
                                    .variable = variable,
                                    .bound = Pick(0, Var(variable).max),
                                    .relation = Pick(1, 6)});
        }
      }
      properties_.push_back(std::move(property));
    }
    if (format2_ && Chance(0.4))
      properties_.push_back(DeadlockProperty(clocks));
  }

  // A property that asks for a deadlock: alone, with a location, or with a clock comparison.
  Property DeadlockProperty(const std::vector<int32_t>& clocks) {
    Property property{.type = Chance(0.5) ? 0 : 1};
    Term term{Expr::Deadlock(), "deadlock"};
    const int32_t roll = Pick(1, 3);
    if (roll == 2) {
      const int32_t p = Pick(1, static_cast<int32_t>(processes_.size()));
      const int32_t l =
          Pick(1, static_cast<int32_t>(processes_[static_cast<size_t>(p) - 1].locations.size()));
      term = {Expr::Op(ExpType::kAnd, Expr::AtLocation(p, l), term.expression),
              "P" + std::to_string(p) + ".l" + std::to_string(l) + " && deadlock"};
    } else if (roll == 3 && !clocks.empty()) {
      const int32_t clock =
          clocks[static_cast<size_t>(Pick(0, static_cast<int32_t>(clocks.size()) - 1))];
      const int32_t bound = Pick(0, Var(clock).max);
      const int32_t code = Pick(2, 5);
      propertyClockUses_.push_back({clock, bound});
      term = {Expr::Op(ExpType::kAnd, term.expression,
                       Expr::Op(code, Expr::Var(clock), Expr::Const(bound))),
              "deadlock && " + Var(clock).name + ' ' + RelationText(code) + ' ' +
                  std::to_string(bound)};
    }
    // A Type 1 property says that no such state is reachable.
    if (property.type == 1)
      term = {Expr::Unary(200, term.expression), "!(" + term.text + ")"};
    property.expression = term;
    return property;
  }

  static void Raise(Bounds& bounds, int32_t code, int32_t constant) {
    if (code != 2 && code != 3)
      bounds.L = std::max(bounds.L, constant);
    if (code != 4 && code != 5)
      bounds.U = std::max(bounds.U, constant);
  }

  // The bounds each location needs: the constants of the comparisons of the clock in the
  // location's invariant and outgoing guards, in every comparison of the clock by another process
  // and in the property atoms (read as what a violation or a witness asks for), and the needs of
  // every location that a jump keeping the clock active and not resetting it leads to.
  void ComputeBounds() {
    // Per clock: (process that compares it, code, constant); properties compare from process -1.
    struct Use {
      int32_t process;
      int32_t code;
      int32_t constant;
    };
    std::map<int32_t, std::vector<Use>> uses;
    for (size_t p = 0; p < processes_.size(); ++p) {
      auto use = [&](const Condition& c) {
        if (Var(c.variable).clock)
          uses[c.variable].push_back({static_cast<int32_t>(p), c.code, LargestBound(c)});
      };
      for (const Location& location : processes_[p].locations)
        std::for_each(location.invariant.begin(), location.invariant.end(), use);
      for (const Jump& jump : processes_[p].jumps)
        std::for_each(jump.guard.begin(), jump.guard.end(), use);
    }
    // A comparison inside a property expression counts both ways.
    for (const ClockUse& use : propertyClockUses_)
      uses[use.clock].push_back({-1, 1, use.largest});
    for (const Property& property : properties_) {
      for (const Atom& atom : property.atoms) {
        if (atom.variable <= 0 || !Var(atom.variable).clock)
          continue;
        int32_t code = StoredRelation(atom.relation);
        if ((atom.negated == 1) != (property.type == 1))
          code = NegatedRelation(code);
        uses[atom.variable].push_back({-1, code, atom.bound});
      }
    }
    for (size_t p = 0; p < processes_.size(); ++p) {
      Process& process = processes_[p];
      for (size_t l = 0; l < process.locations.size(); ++l) {
        Location& location = process.locations[l];
        for (int32_t clock : location.clocks) {
          Bounds& bounds = location.bounds[clock];
          // A shared clock may have been left running by another process: every comparison of
          // it may be met from here.
          for (const Use& use : uses[clock]) {
            if (use.process != static_cast<int32_t>(p) || Var(clock).shared)
              Raise(bounds, use.code, use.constant);
          }
          for (const Condition& c : location.invariant) {
            if (c.variable == clock)
              Raise(bounds, c.code, LargestBound(c));
          }
          for (const Jump& jump : process.jumps) {
            if (jump.from != static_cast<int32_t>(l) + 1)
              continue;
            for (const Condition& c : jump.guard) {
              if (c.variable == clock)
                Raise(bounds, c.code, LargestBound(c));
            }
          }
        }
      }
      for (bool changed = true; changed;) {
        changed = false;
        for (const Jump& jump : process.jumps) {
          Location& from = process.locations[static_cast<size_t>(jump.from) - 1];
          const Location& to = process.locations[static_cast<size_t>(jump.to) - 1];
          for (auto& [clock, bounds] : from.bounds) {
            const bool reset =
                std::any_of(jump.updates.begin(), jump.updates.end(),
                            [clock](const Update& u) { return u.variable == clock; });
            const auto kept = to.bounds.find(clock);
            if (reset || kept == to.bounds.end())
              continue;
            const Bounds needed{std::max(bounds.L, kept->second.L),
                                std::max(bounds.U, kept->second.U)};
            if (needed.L != bounds.L || needed.U != bounds.U) {
              bounds = needed;
              changed = true;
            }
          }
        }
      }
      // More than needed is as sound.
      for (Location& location : process.locations) {
        for (auto& [clock, bounds] : location.bounds) {
          if (Chance(0.1))
            bounds.L += Pick(1, 2);
          if (Chance(0.1))
            bounds.U += Pick(1, 2);
        }
      }
    }
  }

  ModelSpec Records() const {
    ModelSpec model;
    if (usualBroadcast_)
      model.broadcastRule = 1;
    model.urgentChannels = urgentChannels_;
    if (format2_) {
      model.format = 2;
      model.loops = terms_->Loops();
    }
    for (const Variable& variable : variables_) {
      model.variables.push_back({.name = variable.name,
                                 .type = variable.clock ? 1 : 0,
                                 .initValue = variable.init,
                                 .min = variable.min,
                                 .max = variable.max});
    }
    auto expression = [&model](const ExpressionRecord& record) {
      const auto id = static_cast<int32_t>(model.expressions.size());
      model.expressions.emplace(id, record);
      return id;
    };
    // An integer condition c of format 2 is the comparison v == (c ? v : v + 1).
    auto constraint = [&](const std::vector<Condition>& comparisons,
                          const std::vector<Term>& conditions = {}) {
      if (comparisons.empty() && conditions.empty())
        return 0;
      std::vector<int32_t> ids;
      for (const Condition& c : comparisons) {
        const Expr bound =
            c.boundVariable == 0
                ? Expr::Const(c.bound)
                : Expr::Op(ExpType::kAdd, Expr::Var(c.boundVariable), Expr::Const(c.bound));
        ids.push_back(expression(Expr::Op(c.code, Expr::Var(c.variable), bound).Compile()));
      }
      for (const Term& condition : conditions) {
        const Expr v = Expr::Var(scalars_.front().id);
        const Expr kept =
            Expr::Cond(condition.expression, v, Expr::Op(ExpType::kAdd, v, Expr::Const(1)));
        ids.push_back(expression(Expr::Op(ExpType::kEqual, v, kept).Compile()));
      }
      model.constraints.push_back(ids);
      return static_cast<int32_t>(model.constraints.size());
    };
    for (size_t p = 0; p < processes_.size(); ++p) {
      const Process& process = processes_[p];
      ProcessSpec processRecord{.name = std::string("P").append(std::to_string(p + 1)),
                                .initLocation = 1};
      for (size_t l = 0; l < process.locations.size(); ++l) {
        const Location& location = process.locations[l];
        LocationSpec locationSpec{.name = std::string("l").append(std::to_string(l + 1))};
        for (const auto& [clock, bounds] : location.bounds)
          locationSpec.activeClocks.push_back({clock, bounds.L, bounds.U});
        locationSpec.invariant = constraint(location.invariant);
        if (location.committed)
          locationSpec.committed = 1;
        if (location.urgent)
          locationSpec.urgent = 1;
        processRecord.locations.push_back(locationSpec);
      }
      for (const Jump& jump : process.jumps) {
        JumpSpec jumpSpec{.from = jump.from,
                          .to = jump.to,
                          .guard = constraint(jump.guard, jump.conditions),
                          .urgent = jump.urgent ? 1 : 0,
                          .syn = jump.channel,
                          .synType = jump.synType,
                          .broadcast = jump.broadcast ? 1 : 0};
        for (const Update& update : jump.updates) {
          const Expr value =
              update.increment
                  ? Expr::Op(ExpType::kRemainder,
                             Expr::Op(ExpType::kAdd, Expr::Var(update.variable), Expr::Const(1)),
                             Expr::Const(Var(update.variable).max + 1))
                  : Expr::Const(update.value);
          jumpSpec.assignments.push_back({update.variable, expression(value.Compile())});
        }
        for (const auto& [target, value] : jump.values)
          jumpSpec.assignments.push_back({target, expression(value.expression.Compile())});
        for (const Term& effect : jump.effects)
          jumpSpec.assignments.push_back({0, expression(effect.expression.Compile())});
        processRecord.jumps.push_back(jumpSpec);
      }
      model.processes.push_back(processRecord);
    }
    for (const Property& property : properties_) {
      PropertySpec propertyRecord{.type = property.type};
      if (property.expression)
        propertyRecord.expression = expression(property.expression->expression.Compile());
      for (const Atom& atom : property.atoms) {
        AtomSpec atomSpec{.negated = atom.negated, .variable = atom.variable, .bound = atom.bound};
        if (atom.variable > 0)
          atomSpec.relation = atom.relation;
        propertyRecord.atoms.push_back(atomSpec);
      }
      model.properties.push_back(propertyRecord);
    }
    return model;
  }

  void Write(std::ostream& out, const std::vector<Condition>& conditions) const {
    for (size_t k = 0; k < conditions.size(); ++k) {
      const Condition& c = conditions[k];
      out << (k == 0 ? "" : " && ") << Var(c.variable).name << ' ' << RelationText(c.code) << ' ';
      if (c.boundVariable != 0)
        out << Var(c.boundVariable).name << " + ";
      out << c.bound;
    }
  }

  std::string Describe() const {
    std::ostringstream out;
    out << "random model of seed " << seed_ << (format2_ ? ", format 2" : "")
        << (usualBroadcast_ ? ", usual broadcast rule" : "");
    for (int32_t channel : urgentChannels_)
      out << ", urgent channel " << channel;
    out << '\n';
    for (const Variable& variable : variables_) {
      out << (variable.clock ? "  clock " : "  int ") << variable.name << " init " << variable.init
          << (variable.min != 0 ? std::string(" min ").append(std::to_string(variable.min)) : "")
          << " max " << variable.max;
      if (variable.shared) {
        out << " of every process";
      } else if (variable.clock) {
        out << " of P" << variable.owner + 1 << (variable.everywhere ? ", active everywhere" : "");
      }
      out << '\n';
    }
    for (size_t p = 0; p < processes_.size(); ++p) {
      const Process& process = processes_[p];
      out << "  P" << p + 1 << " (initial l1)\n";
      for (size_t l = 0; l < process.locations.size(); ++l) {
        const Location& location = process.locations[l];
        out << "    l" << l + 1 << ':' << (location.committed ? " committed" : "")
            << (location.urgent ? " urgent" : "");
        for (const auto& [clock, bounds] : location.bounds)
          out << ' ' << Var(clock).name << "[L " << bounds.L << ", U " << bounds.U << ']';
        if (!location.invariant.empty()) {
          out << " invariant ";
          Write(out, location.invariant);
        }
        out << '\n';
      }
      for (const Jump& jump : process.jumps) {
        out << "    l" << jump.from << " -> l" << jump.to;
        if (jump.urgent)
          out << " urgent";
        if (!jump.guard.empty()) {
          out << " when ";
          Write(out, jump.guard);
        }
        for (const Term& condition : jump.conditions)
          out << " when " << condition.text;
        for (const Update& update : jump.updates) {
          const std::string& name = Var(update.variable).name;
          out << ' ' << name << " := ";
          if (update.increment)
            out << '(' << name << " + 1) % " << Var(update.variable).max + 1;
          else
            out << update.value;
        }
        for (const auto& [target, value] : jump.values)
          out << ' ' << Var(target).name << " := " << value.text;
        for (const Term& effect : jump.effects)
          out << " do " << effect.text;
        if (jump.channel != 0) {
          out << (jump.broadcast ? " broadcast " : " channel ") << jump.channel
              << (jump.synType == 1   ? "!"
                  : jump.synType == 0 ? "?"
                                      : "!?");
        }
        out << '\n';
      }
    }
    for (size_t i = 0; i < properties_.size(); ++i) {
      const Property& property = properties_[i];
      out << "  property" << i + 1 << (property.type == 0 ? " (reachable):" : " (always):");
      if (property.expression)
        out << ' ' << property.expression->text;
      for (size_t a = 0; a < property.atoms.size(); ++a) {
        const Atom& atom = property.atoms[a];
        out << (a == 0 ? " " : " && ") << (atom.negated == 1 ? "!" : "");
        if (atom.variable > 0) {
          out << '(' << Var(atom.variable).name << ' '
              << RelationText(StoredRelation(atom.relation)) << ' ' << atom.bound << ')';
        } else {
          out << 'P' << -atom.variable << ".l" << atom.bound;
        }
      }
      out << '\n';
    }
    return out.str();
  }

  std::mt19937_64 random_;
  uint64_t seed_;
  const bool format2_;
  bool usualBroadcast_ = false;
  std::vector<int32_t> urgentChannels_;
  int32_t integers_ = 0;
  // Format 2: the integers that are no array element, the maker of the terms, and the clock
  // comparisons of the property expressions.
  std::vector<IntegerSlot> scalars_;
  std::optional<Format2Terms> terms_;
  std::vector<ClockUse> propertyClockUses_;
  std::vector<Variable> variables_;
  std::vector<Process> processes_;
  std::vector<Property> properties_;
};

}  // namespace

RandomModel RandomTimedModel(uint64_t seed) {
  return Generator(seed).Generate();
}

}  // namespace tickcheck::testing
