#include "compose/composition.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>

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
  // Where the composition's lines go. It is kept here rather than beside the fields, whose size
  // every run prints.
  MessageSink* messages = nullptr;
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
  return std::nullopt;
}

CComposition::CComposition(const CSystem& system, MessageSink& messages)
    : system(system),
      locationIndexCount(ProductOfLocationCounts(system)),
      storage_(std::make_unique<Storage>()) {
  storage_->messages = &messages;
  // The indices run from 0 to the product - 1, which must fit in a signed 64-bit integer.
  if (locationIndexCount <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1) {
    weights_.assign(system.processes.size(), 1);
    for (size_t i = weights_.size(); i-- > 1;)
      weights_[i - 1] = system.processes[i].locationCount * weights_[i];
  }
  std::vector<int32_t> initial;
  for (const CProcess& process : system.processes)
    initial.push_back(process.InitLocation);
  Store(initial, RowHash(initial));
}

CComposition::~CComposition() = default;

MessageSink& CComposition::Messages() const {
  return *storage_->messages;
}

uint64_t CComposition::EntryHash(size_t process, int32_t location) {
  // splitmix64 of the pair: entries hash independently, so that a row's hash is their sum.
  uint64_t h = (static_cast<uint64_t>(process) << 32) + static_cast<uint32_t>(location) +
               0x9E3779B97F4A7C15ull;
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

uint64_t CComposition::RowHash(std::span<const int32_t> vector) {
  uint64_t hash = 0;
  for (size_t process = 0; process < vector.size(); ++process)
    hash += EntryHash(process, vector[process]);
  return hash;
}

size_t CComposition::CellOf(std::span<const int32_t> vector, uint64_t hash) const {
  const size_t mask = table_.size() - 1;
  for (size_t cell = static_cast<size_t>(hash) & mask;; cell = (cell + 1) & mask) {
    const int32_t entry = table_[cell];
    if (entry == 0)
      return cell;
    const Place& place = places_[static_cast<size_t>(entry) - 1];
    if (place.hash == hash && std::equal(vector.begin(), vector.end(), place.row))
      return cell;
  }
}

std::optional<int64_t> CComposition::Find(std::span<const int32_t> vector) const {
  if (table_.empty() || vector.size() != system.processes.size())
    return std::nullopt;
  const int32_t entry = table_[CellOf(vector, RowHash(vector))];
  if (entry == 0)
    return std::nullopt;
  return entry - 1;
}

int64_t CComposition::Number(std::span<const int32_t> vector) {
  return Store(vector, RowHash(vector));
}

int32_t CComposition::Store(std::span<const int32_t> vector, uint64_t hash) {
  if (!table_.empty()) {
    if (const int32_t entry = table_[CellOf(vector, hash)]; entry != 0)
      return entry - 1;
  }
  // At most half full, so that probes stay short.
  if (2 * (places_.size() + 1) > table_.size()) {
    std::vector<int32_t> grown(std::max<size_t>(16, 2 * table_.size()), 0);
    const size_t mask = grown.size() - 1;
    for (size_t place = 0; place < places_.size(); ++place) {
      size_t cell = static_cast<size_t>(places_[place].hash) & mask;
      while (grown[cell] != 0)
        cell = (cell + 1) & mask;
      grown[cell] = static_cast<int32_t>(place) + 1;
    }
    table_ = std::move(grown);
  }
  int32_t* row = Allocate(vector.size());
  std::copy(vector.begin(), vector.end(), row);
  places_.push_back({.row = row, .hash = hash});
  table_[CellOf(vector, hash)] = static_cast<int32_t>(places_.size());
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

bool CComposition::IsComposed(int64_t number) const {
  return number >= 0 && static_cast<size_t>(number) < places_.size() &&
         places_[static_cast<size_t>(number)].composed;
}

bool CComposition::TimeStopped(int64_t number) const {
  return number >= 0 && static_cast<size_t>(number) < places_.size() &&
         places_[static_cast<size_t>(number)].timeStopped;
}

bool CComposition::HasUrgentChannel(int64_t number) const {
  return number >= 0 && static_cast<size_t>(number) < places_.size() &&
         places_[static_cast<size_t>(number)].urgentChannel;
}

CComposedTransitionList CComposition::Transitions(int64_t number) const {
  if (number < 0 || static_cast<size_t>(number) >= places_.size())
    return {};
  const Place& stored = places_[static_cast<size_t>(number)];
  return {this, number, stored.records, stored.transitionCount};
}

std::string CComposition::Label(int64_t number) const {
  const std::span<const int32_t> row = LocationVector(number);
  if (!weights_.empty()) {
    int64_t index = 0;
    for (size_t i = 0; i < row.size(); ++i)
      index += (int64_t{row[i]} - 1) * weights_[i];
    return std::to_string(index);
  }
  std::string label = "(";
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0)
      label += ',';
    label += std::to_string(row[i]);
  }
  label += ')';
  return label;
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
  transition.post = at_[0];
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
  transition.postLocations = {post.row, composition_->system.processes.size()};
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

std::span<const int32_t> CComposition::LocationVector(int64_t number) const {
  if (number < 0 || static_cast<size_t>(number) >= places_.size())
    return {};
  return {places_[static_cast<size_t>(number)].row, system.processes.size()};
}

}  // namespace tickcheck
