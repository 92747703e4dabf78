#pragma once
// One entry of the expression table as the model file gives it: a compiled expression tree read
// from its binary record (B bindings, N nodes, a root; see model/expression_record.h), checked,
// and classified once by its shape. Every guard comparison, invariant comparison and assignment
// right-hand side of the model is such an entry. The entry never changes after loading; its
// evaluation against a state is expr/evaluation.h.
//
// The shape decides how the entry is evaluated, so that the common shapes of the inner checking
// loop cost one or two array reads:
//   CConstExpression     B = 0                        value of node 0
//   CVarExpression       N = 1                        value of node 0
//   CUnaryExpression     N = 2                        !root (type 33) or -root
//   CVarConstExpression  B = 1, N = 3, the binding    a root applied to two leaves; the right-hand
//                        not on the root's right child side of a comparison is a constant
//   CBinaryExpression    N = 3 otherwise              a root applied to two leaves
//   CTreeExpression      any other N                  the tree evaluator from the root
//   CProgramExpression   format 2, a tree that uses   the checked evaluator from the root
//                        a code of 200 and up, / or %  (expr/program.h)
// An entry that is not loaded (shape "CExpression") has B = 0 and N = 0.
//
// A record is refused at load, with one problem line naming the expression, when its counts are
// negative or disagree, the file ends inside it, the root, a child or a binding lies outside the
// node array, its links do not form a tree (a cycle or a shared node), an operator lacks an
// operand, or the tree is nested more deeply than the evaluator's limit. The entry then stays
// unloaded, so evaluation never reads outside the arrays, never loops and never overflows the
// stack. In a format-2 model a tree that needs the checked evaluator is checked as a program
// (model/expression_program.h) instead, whatever its counts.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/expression_program.h"
#include "model/expression_record.h"
#include "model/messages.h"

namespace tickcheck {

enum class ExpressionShape { kUnloaded, kConst, kVar, kUnary, kBinary, kVarConst, kTree, kProgram };

class CExpression {
 public:
  // Reads a record from `file`, positioned on the first byte behind the key's `=`, as a record of
  // model-file format `format` (1 or 2). False when the record is refused (after a line to
  // `messages`).
  bool LoadRecord(std::FILE* file, int32_t index, MessageSink& messages, int32_t format = 1);
  // Refuses the loaded record for a reason found outside it (a variable it names, the place
  // that uses it): writes "ERROR! Expression <index> refused: <reason>" to `messages` and unloads
  // the entry.
  void Refuse(int32_t index, const std::string& reason, MessageSink& messages);

  ExpressionShape Shape() const { return shape_; }
  // The shape's name, for instance "CVarConstExpression".
  const char* StrategyName() const;
  bool Loaded() const { return shape_ != ExpressionShape::kUnloaded; }
  // The nodes as the file gives them, each bound node carrying its binding's variable id.
  const std::vector<ExpNode>& Nodes() const { return nodes_; }
  const std::vector<ExpBinding>& Bindings() const { return bindings_; }
  // True when a binding names node `node`: its value is the variable's value in the state
  // evaluated, not the node's value field.
  bool IsBound(int32_t node) const { return bound_[static_cast<size_t>(node)] != 0; }
  int32_t Root() const { return root_; }
  int32_t BindingCount() const { return bindingCount_; }
  int32_t NodeCount() const { return nodeCount_; }
  // The variable id of the root's left child (0 when there is none): the compared variable.
  int32_t LeftVariable() const;
  // The root's type (0 when there is no node): the relation code of a comparison.
  int32_t RootType() const;
  // What a run of a CProgramExpression needs (empty for the other shapes).
  const ProgramLayout& Layout() const { return layout_; }

 private:
  void SelectShape();
  // Why the record read into the arrays cannot be evaluated, or "" when it can; selects the shape
  // CProgramExpression (with its layout) for a tree of format 2 that needs it.
  std::string Validate(int32_t format);
  void Unload();

  ExpressionShape shape_ = ExpressionShape::kUnloaded;
  std::vector<ExpNode> nodes_;
  std::vector<ExpBinding> bindings_;
  std::vector<char> bound_;  // per node
  int32_t root_ = 0;
  int32_t bindingCount_ = 0;
  int32_t nodeCount_ = 0;
  ProgramLayout layout_;
};

}  // namespace tickcheck
