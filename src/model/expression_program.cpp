#include "model/expression_program.h"

#include <algorithm>

namespace tickcheck {
namespace {

// Which children a node of code 200 and up needs: both fields must be a node (kNeeded), -1
// (kAbsent), or either (kAny).
enum class Child { kNeeded, kAbsent, kAny };

struct Arity {
  Child left;
  Child right;
};

Arity ArityOf(int32_t type) {
  using ExpType::kAssign;
  switch (type) {
    case ExpType::kLogicalNot:
    case ExpType::kNegation:
    case ExpType::kBitNot:
    case ExpType::kArrayRead:
    case ExpType::kIndexCheck:
    case ExpType::kRangeCheck:
    case ExpType::kLocalElement:
    case ExpType::kFunction:
      return {Child::kNeeded, Child::kAbsent};
    case ExpType::kSequence:
      return {Child::kAny, Child::kAny};
    case kAssign:
    case ExpType::kAssignLocal:
      return {Child::kAbsent, Child::kNeeded};
    case ExpType::kLocal:
    case ExpType::kBreak:
    case ExpType::kContinue:
    case ExpType::kDeadlock:
    case ExpType::kAtLocation:
      return {Child::kAbsent, Child::kAbsent};
    case ExpType::kReturn:
      return {Child::kAny, Child::kAbsent};
    default:
      // The binary operators, the element writes and the loops.
      return {Child::kNeeded, Child::kNeeded};
  }
}

bool Fits(Child rule, int32_t child) {
  return rule == Child::kAny || (rule == Child::kNeeded) == (child >= 0);
}

bool IsLoop(int32_t type) {
  return type == ExpType::kWhile || type == ExpType::kDoWhile || type == ExpType::kFor;
}

// Why the fields of one node are not what its code needs, or "".
std::string CheckFields(const ExpNode& node) {
  const int64_t value = node.value;
  const int64_t variable = node.variable;
  switch (node.type) {
    case ExpType::kArrayRead:
    case ExpType::kAssignElement:
    case ExpType::kIndexCheck:
      return value < 1 ? "an array of fewer than 1 element" : "";
    case ExpType::kRangeCheck:
      return value > variable ? "a range check whose lower bound is above its upper one" : "";
    case ExpType::kLocal:
    case ExpType::kAssignLocal:
      return value < 0 ? "a negative local slot" : "";
    case ExpType::kLocalElement:
    case ExpType::kAssignLocalElement:
      if (value < 0)
        return "a negative local slot";
      return variable < 1 ? "an array of fewer than 1 element" : "";
    default:
      return "";
  }
}

// The slots past the last one that a node names.
int64_t SlotsNamed(const ExpNode& node) {
  switch (node.type) {
    case ExpType::kLocal:
    case ExpType::kAssignLocal:
      return int64_t{node.value} + 1;
    case ExpType::kLocalElement:
    case ExpType::kAssignLocalElement:
      return int64_t{node.value} + node.variable;
    default:
      return 0;
  }
}

}  // namespace

bool NeedsProgram(const std::vector<ExpNode>& nodes, int32_t root) {
  if (nodes.empty())
    return false;
  std::vector<int32_t> pending{root};
  while (!pending.empty()) {
    const ExpNode& node = nodes[static_cast<size_t>(pending.back())];
    pending.pop_back();
    if (IsFormat2Code(node.type) || node.type == ExpType::kDivide ||
        node.type == ExpType::kRemainder) {
      return true;
    }
    for (const int32_t child : {node.left, node.right}) {
      if (child >= 0)
        pending.push_back(child);
    }
  }
  return false;
}

std::string CheckProgram(const std::vector<ExpNode>& nodes, const std::vector<char>& bound,
                         int32_t root, ProgramLayout& layout) {
  layout = ProgramLayout{};
  // Where a node stands: inside a loop of the innermost function body (or of the record), inside
  // a function body, and whether it is the right child of a for loop.
  struct Visit {
    int32_t node;
    bool inLoop;
    bool inFunction;
    bool forBody;
  };
  std::vector<int32_t> preorder;
  std::vector<Visit> pending{{root, false, false, false}};
  int64_t frame = 0;
  while (!pending.empty()) {
    const Visit visit = pending.back();
    pending.pop_back();
    preorder.push_back(visit.node);
    const ExpNode& node = nodes[static_cast<size_t>(visit.node)];
    const int32_t type = node.type;
    if ((type == ExpType::kForBody) != visit.forBody)
      return "a for-loop pair (233) that is not the right child of a for loop";
    if (IsFormat2Code(type)) {
      if (bound[static_cast<size_t>(visit.node)] != 0)
        return "a binding names a node of code " + std::to_string(type);
      const Arity arity = ArityOf(type);
      if (!Fits(arity.left, node.left) || !Fits(arity.right, node.right))
        return "node of code " + std::to_string(type) + " without the children it needs";
      if (std::string problem = CheckFields(node); !problem.empty())
        return problem;
      if ((type == ExpType::kBreak || type == ExpType::kContinue) && !visit.inLoop)
        return "break or continue outside a loop";
      if (type == ExpType::kReturn && !visit.inFunction)
        return "return outside a function body";
    } else if (IsOperatorCode(type)) {
      if (node.left < 0 || node.right < 0)
        return "an operator lacks an operand";
      if (type == ExpType::kConditional) {
        const ExpNode& link = nodes[static_cast<size_t>(node.right)];
        if (link.left < 0 || link.right < 0)
          return "a conditional lacks a branch";
      }
    }
    frame = std::max(frame, SlotsNamed(node));
    if (frame > kMaxFrameSize)
      return "a frame of more than " + std::to_string(kMaxFrameSize) + " local slots";
    if (IsLoop(type)) {
      if (layout.loopCounter.empty())
        layout.loopCounter.assign(nodes.size(), -1);
      layout.loopCounter[static_cast<size_t>(visit.node)] = layout.loopCount++;
    }
    // A loop's body (and a for loop's step) is inside it, its condition is not; a function body
    // starts outside any loop.
    const bool inFunction = visit.inFunction || type == ExpType::kFunction;
    const bool outer = type != ExpType::kFunction && visit.inLoop;
    const bool leftInLoop = outer || type == ExpType::kDoWhile;
    const bool rightInLoop = outer || type == ExpType::kWhile || type == ExpType::kFor;
    // A leaf of format 1 with children keeps them in the tree, as the record check reads it.
    if (node.left >= 0)
      pending.push_back({node.left, leftInLoop, inFunction, false});
    if (node.right >= 0)
      pending.push_back({node.right, rightInLoop, inFunction, type == ExpType::kFor});
  }
  layout.frameSize = static_cast<int32_t>(frame);

  // Children come after their parent in pre-order, so the reverse order sees every child's depth
  // before its parent's. A conditional continues with its branch without recursing, as in
  // format 1.
  std::vector<int32_t> depth(nodes.size(), 1);
  for (auto it = preorder.rbegin(); it != preorder.rend(); ++it) {
    const ExpNode& node = nodes[static_cast<size_t>(*it)];
    int32_t nodeDepth = 1;
    const auto childDepth = [&depth](int32_t child) {
      return child < 0 ? 0 : depth[static_cast<size_t>(child)];
    };
    if (node.type == ExpType::kConditional) {
      const ExpNode& link = nodes[static_cast<size_t>(node.right)];
      nodeDepth =
          std::max({1 + childDepth(node.left), childDepth(link.left), childDepth(link.right)});
    } else if (IsOperatorCode(node.type) || IsFormat2Code(node.type)) {
      nodeDepth = 1 + std::max(childDepth(node.left), childDepth(node.right));
    }
    if (nodeDepth > kMaxNestingDepth)
      return "the tree is nested too deeply";
    depth[static_cast<size_t>(*it)] = nodeDepth;
  }
  return {};
}

}  // namespace tickcheck
