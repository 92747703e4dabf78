#pragma once
// The format-2 reading of an expression record (model files with `[General] Format=2`): whether
// its tree uses what only format 2 gives a meaning (node codes 200 and up, and division or
// remainder, which fail on 0 there), the check that such a tree can be run (children where each
// node needs them, control flow only where it has a target), and what one run of it needs: the
// size of its frame of local slots and a counter per loop node.

#include <cstdint>
#include <string>
#include <vector>

#include "model/expression_record.h"

namespace tickcheck {

// What a run of a format-2 tree needs, computed once at load.
struct ProgramLayout {
  int32_t frameSize = 0;  // one more than the largest local slot that the tree names
  int32_t loopCount = 0;  // loop nodes (while, do-while, for)
  // Per node: the index of its counter among the loop counters, -1 for other nodes; empty when
  // the tree has no loop.
  std::vector<int32_t> loopCounter;
};

// True when the tree from `root` (a tree, as the record check ensures) has a node with a code of
// 200 and up, or a division or remainder operator: in format 2 such a tree is run by the checked
// evaluator, not by the shapes of format 1.
bool NeedsProgram(const std::vector<ExpNode>& nodes, int32_t root);

// Why the tree cannot be run as a format-2 program, or "" when it can; fills `layout` then.
// `bound` marks the nodes that a binding names. Refused: a node without a child that its code
// needs or with one that it does not use, a binding on a node of code 200 and up, a for-loop
// pair (233) anywhere but as the right child of a for loop, break and continue outside a loop
// of the same function body, return outside a function body, a negative local slot or count,
// element counts below 1, a range check whose lower bound is above its upper one, a frame of more
// than kMaxFrameSize slots, and nesting deeper than kMaxNestingDepth.
std::string CheckProgram(const std::vector<ExpNode>& nodes, const std::vector<char>& bound,
                         int32_t root, ProgramLayout& layout);

// The deepest nesting of a tree that loads: the evaluators recurse once per level (conditional
// chains excepted), so deeper records are refused and evaluation cannot overflow the stack.
inline constexpr int32_t kMaxNestingDepth = 10000;

// The largest frame of local slots a record may ask for.
inline constexpr int64_t kMaxFrameSize = int64_t{1} << 20;

}  // namespace tickcheck
