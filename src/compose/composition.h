#pragma once
// The composition: the synchronised product of the processes' jumps, built on the fly. A composed
// location is the combination of the current locations of all processes (a location vector, one
// 1-based location id per process). The composition identifies it by its vector, found by hashing,
// and gives it a number: 0 for the initial location, then 1, 2, ... in the order in which it
// stores them. Only the composed locations that the checker reaches (and the targets of their
// transitions) are stored, each with its vector, so any number of processes composes and memory
// follows the reachable part and the number of processes. The transitions that leave a composed
// location are built the first time the checker reaches it (composeLocation). A transition is
// stored as two words, its target and its payload (flags, processes, updates, guards, resets); the
// many transitions that differ only in their source share one payload, kept once in chunks that
// never move.
//
// Where the product of the location counts fits in a signed 64-bit integer, the listing shows a
// composed location by its mixed-radix index (the first process the most significant digit, each
// digit the location id - 1), as it always has; beyond, by its location vector.

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "model/messages.h"
#include "model/refusal.h"
#include "model/system.h"

namespace tickcheck {

// Variable `updateVar` takes the value of expression `updateExpId`.
struct CUpdate {
  int32_t updateVar = 0;
  int32_t updateExpId = -1;
  bool operator==(const CUpdate&) const = default;
};

// The assignments of a composed transition, read from the pairs (variable, expression) of its
// record.
class CUpdateList {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = CUpdate;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = CUpdate;
    iterator() = default;
    explicit iterator(const int32_t* at) : at_(at) {}
    CUpdate operator*() const { return {at_[0], at_[1]}; }
    iterator& operator++() {
      at_ += 2;
      return *this;
    }
    iterator operator++(int) {
      const iterator before = *this;
      at_ += 2;
      return before;
    }
    bool operator==(const iterator&) const = default;

   private:
    const int32_t* at_ = nullptr;
  };

  CUpdateList() = default;
  // `pairs` holds variable, expression, variable, expression, ...; it must outlive the list.
  explicit CUpdateList(std::span<const int32_t> pairs) : pairs_(pairs) {}

  size_t size() const { return pairs_.size() / 2; }
  bool empty() const { return pairs_.empty(); }
  CUpdate operator[](size_t k) const { return {pairs_[2 * k], pairs_[2 * k + 1]}; }
  iterator begin() const { return iterator(pairs_.data()); }
  iterator end() const { return iterator(pairs_.data() + pairs_.size()); }
  bool operator==(const CUpdateList& other) const;

 private:
  std::span<const int32_t> pairs_;
};

// A composed transition as the composition hands it out: a view of its record, valid while the
// composition lives. Tests may also point one at storage of their own.
struct CComposedTransition {
  int64_t pre = 0;             // the number of the composed location that the transition leaves
  int64_t post = 0;            // the number of the composed location that it reaches
  bool isUrgent = false;       // an internal jump marked iUrgent
  bool urgentChannel = false;  // a synchronisation on an urgent channel
  bool noGuard = true;         // none of the participating jumps has a guard
  std::span<const int32_t> procId;         // 0-based processes: the initiator, then partners
  CUpdateList updates;                     // the jumps' assignments, in procId order
  std::span<const int32_t> guardExpId;     // the jumps' guard expression ids, in procId order
  std::span<const int32_t> resetClockId;   // the jumps' clock resets, sorted ascending
  std::span<const int32_t> postLocations;  // the location vector of post
  // Under the usual broadcast rule, the guards of the receiving jumps of the processes that do not
  // take part, as groups: a count n, then n guard expression ids. The transition can be taken
  // only where every group's conjunction fails. Empty for every other transition.
  std::span<const int32_t> excludedGuards;

  // Writes the transition with its running number `number` in the listing format, showing its
  // source and target as `pre` and `post`.
  void print(std::ostream& out, int32_t number, const std::string& pre,
             const std::string& post) const;
  // Equal fields and equal contents of the lists.
  bool operator==(const CComposedTransition& other) const;
};

class CComposition;

// The transitions that leave one composed location, in the order in which the checker tries them.
class CComposedTransitionList {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = CComposedTransition;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = CComposedTransition;
    iterator() = default;
    iterator(const CComposition* composition, int64_t pre, const int32_t* at)
        : composition_(composition), pre_(pre), at_(at) {}
    CComposedTransition operator*() const;
    iterator& operator++();
    iterator operator++(int) {
      const iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const iterator& other) const { return at_ == other.at_; }

   private:
    const CComposition* composition_ = nullptr;
    int64_t pre_ = 0;
    const int32_t* at_ = nullptr;
  };

  CComposedTransitionList() = default;
  CComposedTransitionList(const CComposition* composition, int64_t pre, const int32_t* records,
                          int32_t count)
      : composition_(composition), pre_(pre), records_(records), count_(count) {}

  size_t size() const { return static_cast<size_t>(count_); }
  bool empty() const { return count_ == 0; }
  iterator begin() const { return {composition_, pre_, records_}; }
  iterator end() const { return {composition_, pre_, records_ + 2 * count_}; }
  // The transitions as a vector of views (for tests and listings).
  std::vector<CComposedTransition> ToVector() const { return {begin(), end()}; }

 private:
  const CComposition* composition_ = nullptr;
  int64_t pre_ = 0;
  const int32_t* records_ = nullptr;
  int32_t count_ = 0;
};

class CComposition {
 public:
  // Checks that the loaded model can be composed: every process has at least one location, and
  // every InitLocation and every jump's To lies in 1 .. the location count of its process.
  // Otherwise answers the refusal that says why. Nothing is sized by the product of the location
  // counts.
  static std::optional<Refusal> CanCompose(const CSystem& system);

  // Stores the initial location as number 0. Requires CanCompose(system). Its lines go to
  // `messages`, which must outlive it.
  CComposition(const CSystem& system, MessageSink& messages);
  ~CComposition();
  CComposition(const CComposition&) = delete;
  CComposition& operator=(const CComposition&) = delete;

  // The number of the composed location `vector`, if it is stored.
  std::optional<int64_t> Find(std::span<const int32_t> vector) const;
  // The number of the composed location `vector` (one location id of each process), stored now
  // when it is new (the search's symmetry reaches locations by permuting others').
  int64_t Number(std::span<const int32_t> vector);

  // Creates every composed transition that leaves the composed location `vector` (internal jumps,
  // binary synchronisations, broadcasts) and stores them as its list, in the order in which the
  // checker tries them, storing the location vectors of their targets; then marks the location
  // composed. A broadcast that no other process receives ends the location's transitions there,
  // after the problem line "Error: there must be at least a jump syn with a broadcast edge". The
  // checker calls it once per composed location, while IsComposed is false. A
  // vector that is not a location vector of the system (not one entry per process, or an id
  // outside its process) composes nothing.
  //
  // A broadcast jump (Broadcast=1, SynType other than 0) on channel c fires, under the old rule,
  // with every other process that has a broadcast jump on c anywhere: each takes its first jump
  // on c out of its current location (guards conjoined), and none fires when one of them has no
  // such jump. Under the usual rule (CSystem::usualBroadcast) the receiving jumps of another
  // process are its jumps out of its current location with Syn=c, Broadcast=1 and SynType other
  // than 1; one transition is made per choice of one receiving jump, or none, for every other
  // process, and a broadcast without receivers fires alone. "None" is a choice only when each of
  // the process's receiving jumps has a guard, and the transition then carries those guards as
  // excluded (the process takes part whenever one of them holds). When some process is in a
  // committed location, only the transitions with a participant that leaves a committed location
  // are kept.
  void composeLocation(std::span<const int32_t> vector);
  // Whether composeLocation has run for composed location `number`.
  bool IsComposed(int64_t number) const;
  // The transitions that leave composed location `number`: empty until it is composed.
  CComposedTransitionList Transitions(int64_t number) const;
  // Whether time stands still in composed location `number` (some process is in a committed or
  // urgent location), and whether one of its transitions synchronises on an urgent channel: false
  // until it is composed.
  bool TimeStopped(int64_t number) const;
  bool HasUrgentChannel(int64_t number) const;

  // Writes the heading line and every composed transition, numbered across composed locations in
  // the order of their location vectors (first process most significant).
  void printComposedTransitions(std::ostream& out) const;
  // How the listing shows composed location `number`: its mixed-radix index where the product of
  // the location counts fits in a signed 64-bit integer, else its location vector as
  // "(l1,l2,...)".
  std::string Label(int64_t number) const;

  // The location vector of composed location `number` once it is stored (the initial one, or the
  // target of a composed transition); empty for any other number. Rows never move while the
  // composition lives.
  std::span<const int32_t> LocationVector(int64_t number) const;
  // Where the lines of the composition go, and those of the stages that explore it.
  MessageSink& Messages() const;
  // The number of composed locations stored: the initial one and every target composed so far.
  size_t StoredLocations() const { return places_.size(); }
  // The number of distinct transition payloads stored.
  size_t StoredPayloads() const;

  const CSystem& system;
  // The number of the initial composed location: always 0.
  int64_t initLocationIndex = 0;
  // The product of the location counts, the largest 64-bit value when it is larger.
  uint64_t locationIndexCount = 0;
  // The number of composed locations that composeLocation has composed.
  int64_t composedLocations = 0;
  int32_t transruleSize = 0;
  // The composed locations whose composition stopped at a broadcast that no process listens to.
  int32_t unheardBroadcasts = 0;

 private:
  friend class CComposedTransitionList::iterator;

  // The flags word of a payload.
  static constexpr int32_t kUrgentFlag = 1;
  static constexpr int32_t kNoGuardFlag = 2;
  static constexpr int32_t kUrgentChannelFlag = 4;
  // The words of a payload before its lists: flags and the five list lengths.
  static constexpr int32_t kPayloadHeader = 6;

  // A stored composed location: its row, the hash of its row, and its transition records once
  // composed.
  struct Place {
    const int32_t* row = nullptr;
    uint64_t hash = 0;
    const int32_t* records = nullptr;  // (post place, payload number) per transition
    int32_t transitionCount = 0;
    bool composed = false;
    bool timeStopped = false;
    bool urgentChannel = false;
  };

  // The hash of a location vector: the sum of the hashes of its entries, so that the hash of a
  // transition's target follows from its source's by the entries that change.
  static uint64_t EntryHash(size_t process, int32_t location);
  static uint64_t RowHash(std::span<const int32_t> vector);
  // The place of `vector`, whose RowHash is `hash`, stored when it is new.
  int32_t Store(std::span<const int32_t> vector, uint64_t hash);
  // The cell of `table_` that holds the place of `vector` (whose hash is `hash`), or the empty
  // cell where it would go.
  size_t CellOf(std::span<const int32_t> vector, uint64_t hash) const;
  // Room for `count` words that never moves.
  int32_t* Allocate(size_t count);
  // The number of the payload `words`, stored when new.
  int32_t Payload(const std::vector<int32_t>& words);

  struct Storage;
  // One weight per process, the weight of its digit in the mixed-radix index; empty when the
  // product of the location counts does not fit in a signed 64-bit integer.
  std::vector<int64_t> weights_;
  std::vector<Place> places_;
  // Open addressing with linear probing: place number + 1, or 0 for an empty cell.
  std::vector<int32_t> table_;
  // Rows, records and payloads.
  std::unique_ptr<Storage> storage_;
};

}  // namespace tickcheck
