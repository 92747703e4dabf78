#pragma once
// The expression table: `Count()` entries indexed by expression id, each a CExpression that reads
// its own binary record from the model file's bytes. Only the entries whose key exists in the file
// hold data, so memory and load time follow the size of the file, not the declared count: a table
// of 2147483647 entries with three records costs three entries. Ids below the count that have no
// record answer an unloaded entry.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/expression.h"
#include "model/messages.h"
#include "model/profile.h"

namespace tickcheck {

class ExpressionTable {
 public:
  // Makes a table of `count` unloaded entries (none when count is 0 or less) and loads every entry
  // whose key "exp-<id>" the file holds, in increasing id order, as records of model-file format
  // `format`; a refused record's line goes to `messages`.
  void Load(const ProfileIndex& file, int32_t count, MessageSink& messages, int32_t format = 1);
  // Refuses the loaded entry `id` for a reason found outside its record (CExpression::Refuse) and
  // counts it among the refused ones.
  void Refuse(int32_t id, const std::string& reason, MessageSink& messages);
  // The number of records that the last Load refused (each after its line).
  int32_t RefusedCount() const { return refused_; }

  int32_t Count() const { return count_; }
  bool Contains(int32_t id) const { return id >= 0 && id < count_; }
  // The entry of `id`: an unloaded entry for an id without a record (or outside the table).
  const CExpression& operator[](int32_t id) const;
  // Calls `visit(id, entry)` for every loaded entry, dense ids in increasing order first.
  template <typename Visit>
  void ForEachLoaded(Visit visit) const {
    for (size_t id = 0; id < dense_.size(); ++id) {
      if (dense_[id].Loaded())
        visit(static_cast<int32_t>(id), dense_[id]);
    }
    for (const auto& [id, entry] : sparse_) {
      if (entry.Loaded())
        visit(id, entry);
    }
  }

 private:
  int32_t count_ = 0;
  int32_t refused_ = 0;
  std::vector<CExpression> dense_;                   // ids 0 .. dense_.size() - 1
  std::unordered_map<int32_t, CExpression> sparse_;  // loaded entries beyond the dense part
  CExpression unloaded_;                             // what every id without a record answers
};

}  // namespace tickcheck
