#include "compose/composition.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>

#include "model/console.h"

namespace tickcheck {

struct CComposition::Storage {
  struct WordsHash {
    size_t operator()(const std::vector<int32_t>& words) const {
      uint64_t hash = 0;
      for (int32_t word : words)
        hash = (hash ^ static_cast<uint32_t>(word)) * 0x100000001B3ull;
      return static_cast<size_t>(hash);
    }
  };
  // Chunks are reserved once and never grow beyond their capacity, so their words never move.
  std::vector<std::vector<int32_t>> chunks;
  std::vector<const int32_t*> payloads;
  std::unordered_map<std::vector<int32_t>, int32_t, WordsHash> payloadNumbers;
};

namespace {

std::string Num(int64_t value) {
  return std::to_string(value);
}

std::optional<Refusal> Refuse(const std::string& reason) {
  return Refusal{"ERROR! Model refused: " + reason};
}

// "process 2 (P2)", or "process 2" for a process without a name.
std::string ProcessLabel(size_t position, const CProcess& process) {
  const std::string label = "process " + Num(static_cast<int64_t>(position) + 1);
  return process.ProcessName.empty() ? label : label + " (" + process.ProcessName + ")";
}

bool IsLocationOf(const CProcess& process, int32_t location) {
  return location >= 1 && location <= process.locationCount;
}

// The loaded records keep the jumps of each source location in file order but not their numbers
// in the section, so a jump is named by its From and its place among the jumps leaving there.
std::optional<Refusal> CheckLocations(size_t position, const CProcess& process) {
  const std::string p = Num(static_cast<int64_t>(position) + 1);
  if (process.locationCount <= 0)
    return Refuse(ProcessLabel(position, process) + " has no location");
  const std::string counted = "process " + p + " has " + Num(process.locationCount) +
                              (process.locationCount == 1 ? " location" : " locations");
  if (!IsLocationOf(process, process.InitLocation))
    return Refuse("[Process" + p + "] InitLocation=" + Num(process.InitLocation) + ": " + counted);
  for (const CLocation& location : process.locations) {
    for (size_t m = 0; m < location.jumps.size(); ++m) {
      const CJump& jump = location.jumps[m];
      if (!IsLocationOf(process, jump.To)) {
        return Refuse("[Jump" + p + "] From=" + Num(jump.From) + " (its jump " +
                      Num(static_cast<int64_t>(m) + 1) + ") To=" + Num(jump.To) + ": " + counted);
      }
    }
  }
  return std::nullopt;
}

// Every count is at least 1 here, so the product only grows; it saturates at the largest 64-bit
// value.
uint64_t ProductOfLocationCounts(const CSystem& system) {
  uint64_t product = 1;
  for (const CProcess& process : system.processes) {
    if (__builtin_mul_overflow(product, static_cast<uint64_t>(process.locationCount), &product))
      return std::numeric_limits<uint64_t>::max();
  }
  return product;
}

}  // namespace

std::optional<Refusal> CComposition::CanCompose(const CSystem& system) {
  for (size_t position = 0; position < system.processes.size(); ++position) {
    if (std::optional<Refusal> refusal = CheckLocations(position, system.processes[position]))
      return refusal;
  }
  // The indices run from 0 to the product - 1, which must fit in a signed 64-bit integer.
  const uint64_t product = ProductOfLocationCounts(system);
  constexpr uint64_t kIndexCount = static_cast<uint64_t>(kIndexLimit) + 1;
  if (product > kIndexCount) {
    const std::string shown = product == std::numeric_limits<uint64_t>::max()
                                  ? "more than " + std::to_string(product)
                                  : std::to_string(product);
    return Refuse("the product of the location counts (" + shown + ") exceeds " +
                  std::to_string(kIndexCount));
  }
  return std::nullopt;
}

CComposition::CComposition(const CSystem& system)
    : system(system),
      locationIndexCount(ProductOfLocationCounts(system)),
      storage_(std::make_unique<Storage>()) {
  std::vector<int32_t> initial;
  for (const CProcess& process : system.processes)
    initial.push_back(process.InitLocation);

  locationWeights.assign(system.processes.size(), 1);
  for (size_t i = locationWeights.size(); i-- > 1;)
    locationWeights[i - 1] = system.processes[i].locationCount * locationWeights[i];

  initLocationIndex = VecToInt(initial);
  Store(initLocationIndex, initial);
}

CComposition::~CComposition() {
  // Everything is given back before the closing line, so that the line marks the point where the
  // composition's memory is free again.
  storage_.reset();
  std::vector<Place>().swap(places_);
  std::vector<int32_t>().swap(table_);
  ConsoleLine("composition destruct end");
}

int64_t CComposition::VecToInt(std::span<const int32_t> vector) const {
  // Unsigned arithmetic gives the wrapping sum; a negative result is the only sign of overflow.
  uint64_t sum = 0;
  const size_t count = std::min(vector.size(), locationWeights.size());
  for (size_t i = 0; i < count; ++i) {
    sum += (static_cast<uint64_t>(static_cast<int64_t>(vector[i])) - 1u) *
           static_cast<uint64_t>(locationWeights[i]);
  }
  const auto index = static_cast<int64_t>(sum);
  if (index < 0) {
    ConsoleLine("ERROR! Overflow in VecToInt()!");
    return -1;
  }
  return index;
}

namespace {

size_t Slot(int64_t index, size_t mask) {
  // The indices of one model differ mostly in their low digits; mixing spreads them over the
  // table.
  uint64_t h = static_cast<uint64_t>(index) * 0x9E3779B97F4A7C15ull;
  h ^= h >> 29;
  return static_cast<size_t>(h) & mask;
}

}  // namespace

std::optional<int32_t> CComposition::Find(int64_t index) const {
  if (table_.empty())
    return std::nullopt;
  const size_t mask = table_.size() - 1;
  for (size_t slot = Slot(index, mask);; slot = (slot + 1) & mask) {
    const int32_t entry = table_[slot];
    if (entry == 0)
      return std::nullopt;
    if (places_[static_cast<size_t>(entry) - 1].index == index)
      return entry - 1;
  }
}

int32_t CComposition::Store(int64_t index, std::span<const int32_t> vector) {
  if (const std::optional<int32_t> found = Find(index))
    return *found;
  // At most half full, so that probes stay short.
  if (2 * (places_.size() + 1) > table_.size()) {
    std::vector<int32_t> grown(std::max<size_t>(16, 2 * table_.size()), 0);
    const size_t mask = grown.size() - 1;
    for (size_t place = 0; place < places_.size(); ++place) {
      size_t slot = Slot(places_[place].index, mask);
      while (grown[slot] != 0)
        slot = (slot + 1) & mask;
      grown[slot] = static_cast<int32_t>(place) + 1;
    }
    table_ = std::move(grown);
  }
  int32_t* row = Allocate(vector.size());
  std::copy(vector.begin(), vector.end(), row);
  places_.push_back({.index = index, .row = row});
  const size_t mask = table_.size() - 1;
  size_t slot = Slot(index, mask);
  while (table_[slot] != 0)
    slot = (slot + 1) & mask;
  table_[slot] = static_cast<int32_t>(places_.size());
  return static_cast<int32_t>(places_.size()) - 1;
}

int32_t* CComposition::Allocate(size_t count) {
  constexpr size_t kChunkWords = size_t{1} << 16;
  std::vector<std::vector<int32_t>>& chunks = storage_->chunks;
  if (chunks.empty() || chunks.back().capacity() - chunks.back().size() < count) {
    chunks.emplace_back();
    chunks.back().reserve(std::max(kChunkWords, count));
  }
  std::vector<int32_t>& chunk = chunks.back();
  const size_t at = chunk.size();
  chunk.resize(at + count);
  return chunk.data() + at;
}

bool CComposition::IsComposed(int64_t index) const {
  const std::optional<int32_t> place = Find(index);
  return place && places_[static_cast<size_t>(*place)].composed;
}

bool CComposition::TimeStopped(int64_t index) const {
  const std::optional<int32_t> place = Find(index);
  return place && places_[static_cast<size_t>(*place)].timeStopped;
}

bool CComposition::HasUrgentChannel(int64_t index) const {
  const std::optional<int32_t> place = Find(index);
  return place && places_[static_cast<size_t>(*place)].urgentChannel;
}

CComposedTransitionList CComposition::Transitions(int64_t index) const {
  const std::optional<int32_t> place = Find(index);
  if (!place)
    return {};
  const Place& stored = places_[static_cast<size_t>(*place)];
  return {this, index, stored.records, stored.transitionCount};
}

int32_t CComposition::Payload(const std::vector<int32_t>& words) {
  const auto [found, added] =
      storage_->payloadNumbers.try_emplace(words, static_cast<int32_t>(storage_->payloads.size()));
  if (added) {
    int32_t* stored = Allocate(words.size());
    std::copy(words.begin(), words.end(), stored);
    storage_->payloads.push_back(stored);
  }
  return found->second;
}

size_t CComposition::StoredPayloads() const {
  return storage_->payloads.size();
}

CComposedTransition CComposedTransitionList::iterator::operator*() const {
  const CComposition::Place& post = composition_->places_[static_cast<size_t>(at_[0])];
  const int32_t* payload = composition_->storage_->payloads[static_cast<size_t>(at_[1])];
  const auto counts = [payload](int k) { return static_cast<size_t>(payload[1 + k]); };
  const int32_t* list = payload + CComposition::kPayloadHeader;
  CComposedTransition transition;
  transition.pre = pre_;
  transition.post = post.index;
  transition.isUrgent = (payload[0] & CComposition::kUrgentFlag) != 0;
  transition.urgentChannel = (payload[0] & CComposition::kUrgentChannelFlag) != 0;
  transition.noGuard = (payload[0] & CComposition::kNoGuardFlag) != 0;
  transition.procId = {list, counts(0)};
  list += counts(0);
  transition.updates = CUpdateList({list, 2 * counts(1)});
  list += 2 * counts(1);
  transition.guardExpId = {list, counts(2)};
  list += counts(2);
  transition.resetClockId = {list, counts(3)};
  list += counts(3);
  transition.excludedGuards = {list, counts(4)};
  transition.postLocations = {post.row, composition_->locationWeights.size()};
  return transition;
}

CComposedTransitionList::iterator& CComposedTransitionList::iterator::operator++() {
  at_ += 2;
  return *this;
}

bool CUpdateList::operator==(const CUpdateList& other) const {
  return std::ranges::equal(pairs_, other.pairs_);
}

bool CComposedTransition::operator==(const CComposedTransition& other) const {
  return pre == other.pre && post == other.post && isUrgent == other.isUrgent &&
         urgentChannel == other.urgentChannel && noGuard == other.noGuard &&
         std::ranges::equal(procId, other.procId) && updates == other.updates &&
         std::ranges::equal(guardExpId, other.guardExpId) &&
         std::ranges::equal(resetClockId, other.resetClockId) &&
         std::ranges::equal(postLocations, other.postLocations) &&
         std::ranges::equal(excludedGuards, other.excludedGuards);
}

std::span<const int32_t> CComposition::LocationVector(int64_t index) const {
  const std::optional<int32_t> place = Find(index);
  if (!place)
    return {};
  return {places_[static_cast<size_t>(*place)].row, locationWeights.size()};
}

}  // namespace tickcheck
