#include "model/expression_table.h"

#include <charconv>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>

namespace tickcheck {
namespace {

// The id of a key "exp-<id>" written as the loader forms it (plain decimal, no sign, no leading
// zero), or nothing: other spellings are different keys that no lookup asks for.
std::optional<int32_t> ExpressionId(std::string_view key) {
  constexpr std::string_view kPrefix = "exp-";
  if (key.substr(0, kPrefix.size()) != kPrefix)
    return std::nullopt;
  const std::string_view digits = key.substr(kPrefix.size());
  if (digits.empty() || (digits.size() > 1 && digits[0] == '0'))
    return std::nullopt;
  int32_t id = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (error != std::errc() || end != digits.data() + digits.size() || id < 0)
    return std::nullopt;
  return id;
}

}  // namespace

void ExpressionTable::Load(const ProfileIndex& file, int32_t count, MessageSink& messages,
                           int32_t format) {
  count_ = count > 0 ? count : 0;
  refused_ = 0;
  dense_.clear();
  sparse_.clear();
  if (count_ == 0)
    return;

  std::map<int32_t, long> records;
  file.ForEachKey("Expressions", [&records, this](std::string_view key, long offset) {
    const std::optional<int32_t> id = ExpressionId(key);
    if (id && *id < count_)
      records.emplace(*id, offset);
  });
  // Ids up to a few times the number of records are kept in a plain array, the fast path of
  // evaluation; a file with scattered huge ids keeps them in the map instead.
  const int64_t limit = 4 * static_cast<int64_t>(records.size()) + 1024;
  const int32_t dense =
      records.empty()
          ? 0
          : static_cast<int32_t>(std::min<int64_t>(records.rbegin()->first + int64_t{1}, limit));
  dense_.resize(static_cast<size_t>(dense));
  if (records.empty())
    return;

  // The records are read from the bytes the index holds, through a C stream over them, as from
  // the file they came from; a stream opened for reading never writes into its buffer.
  const std::string& bytes = file.Bytes();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
      fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb"), &std::fclose);
  if (!stream)
    throw std::bad_alloc();
  for (const auto& [id, offset] : records) {
    CExpression& entry = id < dense ? dense_[static_cast<size_t>(id)] : sparse_[id];
    if (std::fseek(stream.get(), offset, SEEK_SET) == 0 &&
        !entry.LoadRecord(stream.get(), id, messages, format)) {
      ++refused_;
    }
  }
}

void ExpressionTable::Refuse(int32_t id, const std::string& reason, MessageSink& messages) {
  CExpression* entry = nullptr;
  if (id >= 0 && static_cast<size_t>(id) < dense_.size()) {
    entry = &dense_[static_cast<size_t>(id)];
  } else if (const auto found = sparse_.find(id); found != sparse_.end()) {
    entry = &found->second;
  }
  if (entry == nullptr || !entry->Loaded())
    return;
  entry->Refuse(id, reason, messages);
  ++refused_;
}

const CExpression& ExpressionTable::operator[](int32_t id) const {
  if (id >= 0 && static_cast<size_t>(id) < dense_.size())
    return dense_[static_cast<size_t>(id)];
  const auto found = sparse_.find(id);
  if (found != sparse_.end())
    return found->second;
  return unloaded_;
}

}  // namespace tickcheck
