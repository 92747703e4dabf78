#include "statespace/box_union.h"

#include <algorithm>

namespace tickcheck {
namespace {

// The builder of one union. A part of it is a field, the bits of that field already decided, and
// the boxes that admit those bits, each with the interval left for the field's remaining bits.
class Builder {
 public:
  Builder(const BddManager& manager, const std::vector<BoxField>& fields,
          const std::vector<FieldInterval>& bounds, BoxUnionScratch& scratch)
      : manager_(manager),
        fields_(fields),
        bounds_(bounds),
        entries_(scratch.entries),
        high_(scratch.high),
        starts_(scratch.starts),
        startIds_(scratch.startIds),
        index_(scratch.index),
        suffixHashes_(scratch.suffixHashes),
        suffixes_(scratch.suffixes),
        suffixIndex_(scratch.suffixIndex),
        scratch_(scratch) {
    // Each box's hashes of its intervals from each field to the last, built from the last up.
    const size_t fieldCount = fields_.size();
    const size_t boxCount = fieldCount == 0 ? 0 : bounds_.size() / fieldCount;
    suffixHashes_.resize(boxCount * (fieldCount + 1));
    for (size_t b = 0; b < boxCount; ++b) {
      uint64_t* hashes = suffixHashes_.data() + b * (fieldCount + 1);
      hashes[fieldCount] = 0x9E3779B97F4A7C15ull;
      for (size_t f = fieldCount; f-- > 0;) {
        const FieldInterval& interval = bounds_[b * fieldCount + f];
        uint64_t hash = hashes[f + 1];
        hash = (hash ^ static_cast<uint64_t>(interval.min)) * 0xFF51AFD7ED558CCDull;
        hash = (hash ^ static_cast<uint64_t>(interval.max)) * 0xC4CEB9FE1A85EC53ull;
        hashes[f] = hash ^ (hash >> 29);
      }
    }
  }

  // The union of boxes first .. first + count - 1.
  bdd Union(size_t first, size_t count) {
    if (count == 0)
      return manager_.Zero();
    entries_.clear();
    starts_.clear();
    startIds_.clear();
    index_.clear();
    Grow();
    suffixes_.clear();
    suffixIndex_.assign(std::max<size_t>(64, suffixIndex_.size()), kNoStart);
    for (size_t b = first; b < first + count; ++b)
      entries_.push_back({static_cast<uint32_t>(b), 0, 0});
    // Boxes whose intervals overlap in several fields can meet at a field boundary in ever new
    // combinations, whose records would grow far beyond the boxes themselves. Past a budget the
    // attempt is dropped and each half is built on its own; a single box always fits, since it
    // starts each field at most once.
    budget_ = std::max<size_t>(scratch_.idsPerBoxAndField, 1) * count * (fields_.size() + 1);
    overBudget_ = false;
    bdd result = FromField(0, 0, count);
    starts_.clear();  // their nodes need not outlive the union
    suffixes_.clear();
    if (!overBudget_)
      return result;
    ++scratch_.splits;
    const size_t half = count / 2;
    return BddManager::Or(Union(first, half), Union(first + half, count - half));
  }

 private:
  using Entry = BoxUnionScratch::Entry;
  using Start = BoxUnionScratch::Start;
  using Suffix = BoxUnionScratch::Suffix;

  static constexpr uint32_t kNoStart = UINT32_MAX;

  // Doubles the open-addressed index of the starts and places them again.
  void Grow() {
    index_.assign(std::max<size_t>(64, 2 * index_.size()), kNoStart);
    for (size_t k = 0; k < starts_.size(); ++k) {
      size_t slot = starts_[k].hash & (index_.size() - 1);
      while (index_[slot] != kNoStart)
        slot = (slot + 1) & (index_.size() - 1);
      index_[slot] = static_cast<uint32_t>(k);
    }
  }

  // The slot of the suffix of `box` from field f in the index, or of the free place for it.
  size_t SuffixSlot(size_t f, uint32_t box, uint64_t hash) const {
    const size_t fieldCount = fields_.size();
    const size_t mask = suffixIndex_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      if (suffixIndex_[slot] == kNoStart)
        return slot;
      const Suffix& suffix = suffixes_[suffixIndex_[slot]];
      if (suffix.hash != hash || suffix.field != f)
        continue;
      bool same = true;
      for (size_t g = f; g < fieldCount && same; ++g) {
        const FieldInterval& a = bounds_[suffix.box * fieldCount + g];
        const FieldInterval& b = bounds_[box * fieldCount + g];
        same = a.min == b.min && a.max == b.max;
      }
      if (same)
        return slot;
    }
  }

  // Records the part of `box` from field f down.
  void AddSuffix(size_t f, uint32_t box, uint64_t hash, const bdd& result) {
    if (2 * (suffixes_.size() + 1) > suffixIndex_.size()) {
      suffixIndex_.assign(2 * suffixIndex_.size(), kNoStart);
      const size_t mask = suffixIndex_.size() - 1;
      for (size_t k = 0; k < suffixes_.size(); ++k) {
        size_t slot = suffixes_[k].hash & mask;
        while (suffixIndex_[slot] != kNoStart)
          slot = (slot + 1) & mask;
        suffixIndex_[slot] = static_cast<uint32_t>(k);
      }
    }
    suffixIndex_[SuffixSlot(f, box, hash)] = static_cast<uint32_t>(suffixes_.size());
    suffixes_.push_back({hash, static_cast<uint32_t>(f), box, result});
  }

  static uint64_t Largest(int32_t bits) {
    return bits >= 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
  }

  // The boxes of entries [begin, end) (in increasing order) from the top of field f down. Boxes
  // that reach a field boundary together continue alike whatever bits led there, so each such
  // start is built once.
  bdd FromField(size_t f, size_t begin, size_t end) {
    if (begin == end)
      return manager_.Zero();
    if (f == fields_.size())
      return manager_.One();
    // A single box whose intervals from here down another box had: its part is the same.
    const bool single = end - begin == 1;
    const uint32_t singleBox = entries_[begin].box;
    const uint64_t suffixHash = single ? suffixHashes_[singleBox * (fields_.size() + 1) + f] : 0;
    if (single) {
      const uint32_t found = suffixIndex_[SuffixSlot(f, singleBox, suffixHash)];
      if (found != kNoStart)
        return suffixes_[found].result;
    }
    if (overBudget_ || startIds_.size() + (end - begin) > budget_) {
      overBudget_ = true;
      return manager_.Zero();
    }
    uint64_t hash = f * 0x9E3779B97F4A7C15ull;
    for (size_t e = begin; e < end; ++e)
      hash = (hash ^ entries_[e].box) * 0xFF51AFD7ED558CCDull;
    for (size_t slot = hash & (index_.size() - 1); index_[slot] != kNoStart;
         slot = (slot + 1) & (index_.size() - 1)) {
      const Start& start = starts_[index_[slot]];
      bool same = start.hash == hash && start.field == f && start.count == end - begin;
      for (size_t k = 0; same && k < start.count; ++k)
        same = startIds_[start.first + k] == entries_[begin + k].box;
      if (same)
        return start.result;
    }
    const uint64_t largest = Largest(fields_[f].bits);
    const size_t fieldBegin = entries_.size();
    for (size_t e = begin; e < end; ++e) {
      const uint32_t box = entries_[e].box;
      const FieldInterval& interval = bounds_[box * fields_.size() + f];
      if (interval.max < 0 || interval.min > interval.max)
        continue;
      const uint64_t low = static_cast<uint64_t>(std::max<int64_t>(interval.min, 0));
      if (low > largest)
        continue;
      entries_.push_back({box, low, std::min(static_cast<uint64_t>(interval.max), largest)});
    }
    bdd result = FromBit(f, 0, fieldBegin, entries_.size());
    entries_.resize(fieldBegin);
    // The starts recorded below are of later fields: this one is new, its place found afresh.
    if (2 * (starts_.size() + 1) > index_.size())
      Grow();
    size_t slot = hash & (index_.size() - 1);
    while (index_[slot] != kNoStart)
      slot = (slot + 1) & (index_.size() - 1);
    index_[slot] = static_cast<uint32_t>(starts_.size());
    starts_.push_back({hash, static_cast<uint32_t>(f), static_cast<uint32_t>(startIds_.size()),
                       static_cast<uint32_t>(end - begin), result});
    for (size_t e = begin; e < end; ++e)
      startIds_.push_back(entries_[e].box);
    // A part built past the budget is not the box's part (the attempt is dropped).
    if (single && !overBudget_)
      AddSuffix(f, singleBox, suffixHash, result);
    return result;
  }

  // The entries [begin, end) of field f with its first `bit` bits decided.
  bdd FromBit(size_t f, int32_t bit, size_t begin, size_t end) {
    if (begin == end)
      return manager_.Zero();
    const int32_t rest = fields_[f].bits - bit;
    const uint64_t largest = Largest(rest);
    size_t wholeCount = 0;
    bool points = true;
    for (size_t e = begin; e < end; ++e) {
      const bool whole = entries_[e].low == 0 && entries_[e].high == largest;
      wholeCount += whole ? 1 : 0;
      points = points && entries_[e].low == entries_[e].high;
    }
    if (wholeCount == end - begin)
      return FromField(f + 1, begin, end);
    if (wholeCount > 0) {
      // The boxes that leave the field's remaining bits free go on to the next field at once,
      // joined with the others' part: carried down bit by bit beside them they would be copied
      // into every branch and meet the others in ever new combinations.
      const size_t wholeBegin = entries_.size();
      for (size_t e = begin; e < end; ++e) {
        if (entries_[e].low == 0 && entries_[e].high == largest)
          entries_.push_back(entries_[e]);
      }
      const size_t restBegin = entries_.size();
      for (size_t e = begin; e < end; ++e) {
        if (!(entries_[e].low == 0 && entries_[e].high == largest))
          entries_.push_back(entries_[e]);
      }
      const size_t restEnd = entries_.size();
      const bdd free = FromField(f + 1, wholeBegin, restBegin);
      const bdd constrained = FromBit(f, bit, restBegin, restEnd);
      entries_.resize(wholeBegin);
      return BddManager::Or(free, constrained);
    }
    const uint64_t half = uint64_t{1} << (rest - 1);
    if (points) {
      // Each entry goes one way: the entries are split where they lie, in their order, so that a
      // field of values (a location, an integer) costs no copies.
      size_t lowEnd = begin;
      high_.clear();
      for (size_t e = begin; e < end; ++e) {
        const Entry entry = entries_[e];
        if (entry.low < half)
          entries_[lowEnd++] = entry;
        else
          high_.push_back({entry.box, entry.low - half, entry.high - half});
      }
      std::copy(high_.begin(), high_.end(), entries_.begin() + static_cast<std::ptrdiff_t>(lowEnd));
      const bdd low = FromBit(f, bit + 1, begin, lowEnd);
      const bdd high = FromBit(f, bit + 1, lowEnd, end);
      return manager_.MakeNode(fields_[f].first + bit, low, high);
    }
    const size_t lowBegin = entries_.size();
    for (size_t e = begin; e < end; ++e) {
      const Entry entry = entries_[e];
      if (entry.low < half)
        entries_.push_back({entry.box, entry.low, std::min(entry.high, half - 1)});
    }
    const size_t highBegin = entries_.size();
    for (size_t e = begin; e < end; ++e) {
      const Entry entry = entries_[e];
      if (entry.high >= half)
        entries_.push_back({entry.box, std::max(entry.low, half) - half, entry.high - half});
    }
    const size_t highEnd = entries_.size();
    const bdd low = FromBit(f, bit + 1, lowBegin, highBegin);
    const bdd high = FromBit(f, bit + 1, highBegin, highEnd);
    entries_.resize(lowBegin);
    return manager_.MakeNode(fields_[f].first + bit, low, high);
  }

  const BddManager& manager_;
  const std::vector<BoxField>& fields_;
  const std::vector<FieldInterval>& bounds_;
  // The entries of the parts on the path being built, each part's after its parent's.
  std::vector<Entry>& entries_;
  std::vector<Entry>& high_;  // the split of values
  std::vector<Start>& starts_;
  std::vector<uint32_t>& startIds_;
  std::vector<uint32_t>& index_;  // open-addressed by the hash of field and boxes
  std::vector<uint64_t>& suffixHashes_;
  std::vector<Suffix>& suffixes_;
  std::vector<uint32_t>& suffixIndex_;  // open-addressed by the suffix hashes
  BoxUnionScratch& scratch_;
  size_t budget_ = 0;  // the box ids that the starts of one attempt may record
  bool overBudget_ = false;
};

}  // namespace

bdd BoxUnionToBdd(const BddManager& manager, const std::vector<BoxField>& fields,
                  const std::vector<FieldInterval>& bounds, size_t boxCount,
                  BoxUnionScratch& scratch) {
  BddManager::Expect(bounds.size() == boxCount * fields.size() && boxCount <= UINT32_MAX);
  for (size_t f = 0; f < fields.size(); ++f) {
    BddManager::Expect(fields[f].bits >= 0 && fields[f].bits <= 64 && fields[f].first >= 0 &&
                       int64_t{fields[f].first} + fields[f].bits <= manager.VariableCount() &&
                       (f == 0 || fields[f - 1].first + fields[f - 1].bits <= fields[f].first));
  }
  return Builder(manager, fields, bounds, scratch).Union(0, boxCount);
}

}  // namespace tickcheck
