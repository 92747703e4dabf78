#pragma once
// The composition: the synchronised product of the processes' jumps, built on the fly. A composed
// location is the combination of the current locations of all processes (a location vector, one
// 1-based location id per process); it is numbered by its composed-location index, the
// mixed-radix number of the vector with the first process as the most significant digit, held in
// 64 bits. Only the composed locations that the checker reaches (and the targets of their
// transitions) are stored: a hash table finds them by index, so memory follows the reachable part
// however large the product of the location counts is. The transitions that leave a composed
// location are built the first time the checker reaches it (composeLocation). A transition is
// stored as two words, its target and its payload (flags, processes, updates, guards, resets);
// the many transitions that differ only in their source share one payload, kept once in chunks
// that never move.

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <vector>

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
  int64_t pre = 0;                         // composed-location index that the transition leaves
  int64_t post = 0;                        // composed-location index that it reaches
  bool isUrgent = false;                   // an internal jump marked iUrgent
  bool urgentChannel = false;              // a synchronisation on an urgent channel
  bool noGuard = true;                     // none of the participating jumps has a guard
  std::span<const int32_t> procId;         // 0-based processes: the initiator, then partners
  CUpdateList updates;                     // the jumps' assignments, in procId order
  std::span<const int32_t> guardExpId;     // the jumps' guard expression ids, in procId order
  std::span<const int32_t> resetClockId;   // the jumps' clock resets, sorted ascending
  std::span<const int32_t> postLocations;  // the location vector of post
  // Under the usual broadcast rule, the guards of the receiving jumps of the processes that do not
  // take part, as groups: a count n, then n guard expression ids. The transition can be taken
  // only where every group's conjunction fails. Empty for every other transition.
  std::span<const int32_t> excludedGuards;

  // Writes the transition with its running number `number` in the listing format.
  void print(std::ostream& out, int32_t number) const;
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
  // The largest composed-location index that the composition can number.
  static constexpr int64_t kIndexLimit = INT64_MAX;

  // Checks that the loaded model can be composed: every process has at least one location, the
  // product of the location counts is at most kIndexLimit + 1 (so every index fits in 64 bits),
  // and every InitLocation and every jump's To lies in 1 .. the location count of its process.
  // Otherwise answers the refusal that says why. Nothing is sized by the product.
  static std::optional<Refusal> CanCompose(const CSystem& system);

  // Stores the initial location. Requires CanCompose(system).
  explicit CComposition(const CSystem& system);
  // Frees everything and writes "composition destruct end".
  ~CComposition();
  CComposition(const CComposition&) = delete;
  CComposition& operator=(const CComposition&) = delete;

  // The composed-location index of `vector`; -1 after writing "ERROR! Overflow in VecToInt()!"
  // when the sum is negative in 64 bits.
  int64_t VecToInt(std::span<const int32_t> vector) const;

  // Creates every composed transition that leaves the composed location `vector` (internal jumps,
  // binary synchronisations, broadcasts) and stores them as its list, in the order in which the
  // checker tries them, storing the location vectors of their targets; then marks the location
  // composed. The checker calls it once per composed location, while IsComposed is false. A
  // vector that is not a location vector of the system (not one entry per process, or an id
  // outside its process) composes nothing.
  //
  // A broadcast jump (Broadcast=1, SynType other than 0) on channel c fires, under the old rule,
  // with every other process that has a broadcast jump on c anywhere: each takes its first jump
  // on c out of its current location (guards conjoined), and none fires when one of them has no
  // such jump. Under the usual rule (CSystem::usualBroadcast) the receiving jumps of another
  // process are its jumps out of its current location with Syn=c, Broadcast=1 and SynType other
  // than 1; one transition is made per choice of one receiving jump, or none, for every other
  // process. "None" is a choice only when each of the process's receiving jumps has a guard, and
  // the transition then carries those guards as excluded (the process takes part whenever one of
  // them holds). When some process is in a committed location, only the transitions with a
  // participant that leaves a committed location are kept.
  void composeLocation(std::span<const int32_t> vector);
  // Whether composeLocation has run for the composed location `index`.
  bool IsComposed(int64_t index) const;
  // The transitions that leave `index`: empty until it is composed.
  CComposedTransitionList Transitions(int64_t index) const;
  // Whether time stands still in the composed location `index` (some process is in a committed
  // or urgent location), and whether one of its transitions synchronises on an urgent channel:
  // false until it is composed.
  bool TimeStopped(int64_t index) const;
  bool HasUrgentChannel(int64_t index) const;

  // Writes the heading line and every composed transition, numbered across indices in increasing
  // index order.
  void printComposedTransitions(std::ostream& out) const;

  // The location vector of composed location `index` once it has been reached (the initial one,
  // or the target of a composed transition); empty for any other index. Rows never move while the
  // composition lives.
  std::span<const int32_t> LocationVector(int64_t index) const;
  // The number of composed locations stored: the initial one and every target composed so far.
  size_t StoredLocations() const { return places_.size(); }
  // The number of distinct transition payloads stored.
  size_t StoredPayloads() const;

  const CSystem& system;
  // One weight per process (the process count is its length): the weight of a digit of the index.
  std::vector<int64_t> locationWeights;
  int64_t initLocationIndex = 0;
  // The number of composed-location indices: the product of the location counts.
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

  // A stored composed location: its index, its row, and its transition records once composed.
  struct Place {
    int64_t index = 0;
    const int32_t* row = nullptr;
    const int32_t* records = nullptr;  // (post place, payload number) per transition
    int32_t transitionCount = 0;
    bool composed = false;
    bool timeStopped = false;
    bool urgentChannel = false;
  };

  // The place of `index`, if stored.
  std::optional<int32_t> Find(int64_t index) const;
  // The place of `index`, stored with row `vector` when it is new.
  int32_t Store(int64_t index, std::span<const int32_t> vector);
  // Room for `count` words that never moves.
  int32_t* Allocate(size_t count);
  // The number of the payload `words`, stored when new.
  int32_t Payload(const std::vector<int32_t>& words);

  struct Storage;
  std::vector<Place> places_;
  // Open addressing with linear probing: place number + 1, or 0 for an empty cell.
  std::vector<int32_t> table_;
  // Rows, records and payloads.
  std::unique_ptr<Storage> storage_;
};

}  // namespace tickcheck
