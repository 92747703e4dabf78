#pragma once
// The format-2 parts of the seeded random models (support/random_models.h): integer conditions,
// effects and assigned values that read and write variables and arrays with variable indices,
// divide by values that may be 0, run loops over local slots and call function bodies; and
// property expressions over locations, two variables, array elements and clocks compared with
// variable bounds. Each term comes with its text for the model's description. Many of them can
// meet a run-time error in some states; the loops always end.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/expression_builder.h"
#include "model/model_writer.h"

namespace tickcheck::testing {

struct Term {
  Expr expression;
  std::string text;
};

// An integer variable that terms may read: its id, name and range.
struct IntegerSlot {
  int32_t id = 0;
  std::string name;
  int32_t min = 0;
  int32_t max = 0;
};

// A clock that a property may compare, with its Max.
struct ClockSlot {
  int32_t id = 0;
  std::string name;
  int32_t max = 0;
};

// A comparison of a clock that a property expression makes, with the largest value its bound can
// take (at most the clock's Max): what the L and U bounds of the clock must cover, both ways.
struct ClockUse {
  int32_t clock = 0;
  int32_t largest = 0;
};

class Format2Terms {
 public:
  // `scalars` are integer variables; `array` the elements of one array in order (may be empty).
  Format2Terms(std::mt19937_64& random, std::vector<IntegerSlot> scalars,
               std::vector<IntegerSlot> array);

  // A value that is 0 or not: comparisons of two variables, array elements at variable indices,
  // divisions, bit operations, logic and a function body with a loop.
  Term Condition();
  // Statements for an effect: array writes at variable indices, loops over locals, function
  // bodies with returns.
  Term Effect();
  // A value for an assignment to `target`, which may divide by a variable or leave its range.
  Term Value(const IntegerSlot& target);
  // A property over the locations of `processes` (location counts, process 1 first), the
  // integers and `clocks`; the clock comparisons it makes are appended to `uses`.
  Term Property(const std::vector<int32_t>& processes, const std::vector<ClockSlot>& clocks,
                std::vector<ClockUse>& uses);

  // The loops made so far, loop id k at entry k - 1.
  const std::vector<LoopSpec>& Loops() const { return loops_; }

 private:
  int32_t Pick(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(random_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
  const IntegerSlot& AnyScalar() {
    return scalars_[static_cast<size_t>(Pick(0, static_cast<int32_t>(scalars_.size()) - 1))];
  }
  // A value that reads integers: a variable, an array element, or a small constant.
  Term Operand();
  // A comparison of two integers.
  Term TwoVariables();
  // An index into the array, which may leave it.
  Term Index();
  Term Element(const Term& index);
  int32_t NewLoop(const std::string& function);
  // sum over the array of its elements, as a function body with a for loop.
  Term ArraySum();

  std::mt19937_64& random_;
  std::vector<IntegerSlot> scalars_;
  std::vector<IntegerSlot> array_;
  std::vector<LoopSpec> loops_;
};

}  // namespace tickcheck::testing
