#pragma once
// The network's terms as expression trees of model files of format 2 (model/expression_builder.h).
//
// Each Lower... call makes the tree of one expression record, with a frame of local slots of its
// own. A call is inlined: the function's frame gets slots of its own in the record's frame, its
// arguments are stored there in order (a reference keeps the place its argument named when the
// call was made, checked then), and its body becomes a function-body node whose loops stay loops,
// each with an entry of [Loops] that names the function and the loop's line. A quantifier is
// unrolled over its binder's values. Locals check their ranges when they are assigned; a `bool`
// cell stores 1 for any value that is not 0.

#include <cstdint>
#include <optional>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/network.h"
#include "model/expression_builder.h"
#include "model/model_writer.h"

namespace tickcheck::lang {

// The most terms one expression record may lower, calls inlined and quantifiers unrolled.
inline constexpr int64_t kMaxLoweredTerms = 100'000;

class Lowering {
 public:
  // `clockIds[c]` is the model file's variable id of clock c; integer variable v has id v + 1.
  // `loops` receives the [Loops] entries of the loops it lowers. All must outlive the object.
  Lowering(const Network& network, const std::vector<int32_t>& clockIds,
           std::vector<LoopSpec>& loops, Diagnostics& diagnostics)
      : network_(network), clockIds_(clockIds), loops_(loops), diagnostics_(diagnostics) {}

  // The value of a term (a guard's condition, a bound, a property's formula, a value to assign).
  // More than kMaxLoweredTerms terms is an error at the term's position.
  Expr LowerValue(const Term& term);
  // An update of an edge evaluated for its effects (not the setting of a clock).
  Expr LowerEffect(const Term& term);

 private:
  // Where the cells of a place are: `extent` cells from `base` on may be addressed, and the place
  // starts at `fixed` + offset among them.
  struct Address {
    Space space = Space::kGlobal;  // kGlobal, kLocal (slots of the record) or kConstant
    int32_t base = 0;
    int32_t extent = 0;
    int32_t fixed = 0;
    std::optional<Expr> offset;
    std::vector<CellType> cells;
  };
  // The context of a function body being lowered; the record's own context has no function.
  struct Frame {
    int32_t slotBase = 0;
    const Function* function = nullptr;
    std::vector<Address> references;
  };

  Expr Lower(const Term& term, const Frame& frame);
  Expr Quantified(const Term& term, const Frame& frame);
  Expr Assign(const Term& term, const Frame& frame);
  Expr Increment(const Term& term, const Frame& frame);
  Expr Call(const Term& term, const Frame& frame);
  Expr Body(const Statement& statement, const Frame& frame);

  Address Locate(const Term& place, const Frame& frame);
  // Evaluates a variable offset once, into a slot, before what `prologue` is for; with `checked`,
  // the place must lie inside its extent then.
  void Fix(Address& address, bool checked, std::vector<Expr>& prologue);
  // The index of cell `cell` of the place among the extent's cells.
  Expr CellIndex(const Address& address, int32_t cell) const;
  Expr Read(const Address& address, int32_t cell);
  // Stores `value` (whose truth value is already 0 or 1 when `truthValued`) in cell `cell`.
  Expr Write(const Address& address, int32_t cell, Expr value, bool truthValued);
  int32_t NewSlots(int32_t count);
  int32_t VariableId(int32_t variable) const { return variable + 1; }

  const Network& network_;
  const std::vector<int32_t>& clockIds_;
  std::vector<LoopSpec>& loops_;
  Diagnostics& diagnostics_;
  int32_t slots_ = 0;   // the slots of the record's frame taken so far
  int64_t budget_ = 0;  // the terms the record may still lower
  SourcePos root_;      // where the record's term starts
};

}  // namespace tickcheck::lang
