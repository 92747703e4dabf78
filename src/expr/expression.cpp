#include "expr/expression.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>

#include "model/console.h"
#include "model/profile.h"

namespace tickcheck {
namespace {

ValueLookup g_valueLookup = nullptr;
const DsState* g_evaluationState = nullptr;

// The evaluator recurses once per nesting level (conditional chains excepted); deeper records are
// refused so that evaluation cannot overflow the stack.
constexpr int32_t kMaxNestingDepth = 10000;

// "Exp, reading the INI, opening the file failed" in the GBK encoding.
constexpr char kOpenFailedMessage[] =
    "\x45\x78\x70\xB6\xC1\x49\x4E\x49\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\x2E\x2E\x2E";

class UnloadedStrategy final : public ExpressionStrategy {
 public:
  int32_t RightValue(CExpression&) const override { return 0; }
  int32_t Compute(const CExpression&) const override {
    std::cout << "Exp Compute\n" << std::flush;
    return 0;
  }
  const char* Name() const override { return "CExpression"; }
};

class CConstExpression final : public ExpressionStrategy {
 public:
  int32_t RightValue(CExpression&) const override { return 0; }
  int32_t Compute(const CExpression& e) const override {
    return e.Nodes().empty() ? 0 : e.Nodes()[0].value;
  }
  const char* Name() const override { return "CConstExpression"; }
};

class CVarExpression final : public ExpressionStrategy {
 public:
  int32_t RightValue(CExpression&) const override { return 0; }
  int32_t Compute(const CExpression& e) const override { return e.Nodes()[0].value; }
  const char* Name() const override { return "CVarExpression"; }
};

class CUnaryExpression final : public ExpressionStrategy {
 public:
  int32_t RightValue(CExpression&) const override { return 0; }
  int32_t Compute(const CExpression& e) const override {
    const ExpNode& root = e.Nodes()[static_cast<size_t>(e.Root())];
    if (root.type == ExpType::kNot)
      return root.value == 0 ? 1 : 0;
    return ApplyOperator(ExpType::kSubtract, 0, root.value);
  }
  const char* Name() const override { return "CUnaryExpression"; }
};

// The three-node shapes: a root applied to two leaves.
int32_t ComputeThreeNodes(const CExpression& e) {
  const std::vector<ExpNode>& nodes = e.Nodes();
  const ExpNode& root = nodes[static_cast<size_t>(e.Root())];
  return ApplyOperator(root.type, nodes[static_cast<size_t>(root.left)].value,
                       nodes[static_cast<size_t>(root.right)].value);
}

int32_t RightChildValue(const CExpression& e) {
  const std::vector<ExpNode>& nodes = e.Nodes();
  return nodes[static_cast<size_t>(nodes[static_cast<size_t>(e.Root())].right)].value;
}

class CBinaryExpression final : public ExpressionStrategy {
 public:
  int32_t RightValue(CExpression& e) const override {
    e.RefreshBindings();
    return RightChildValue(e);
  }
  int32_t Compute(const CExpression& e) const override { return ComputeThreeNodes(e); }
  const char* Name() const override { return "CBinaryExpression"; }
};

class CVarConstExpression final : public ExpressionStrategy {
 public:
  int32_t RightValue(CExpression& e) const override { return RightChildValue(e); }
  int32_t Compute(const CExpression& e) const override { return ComputeThreeNodes(e); }
  const char* Name() const override { return "CVarConstExpression"; }
};

class CTreeExpression final : public ExpressionStrategy {
 public:
  int32_t RightValue(CExpression& e) const override {
    e.RefreshBindings();
    return e.EvalNode(e.Nodes()[static_cast<size_t>(e.Root())].right);
  }
  int32_t Compute(const CExpression& e) const override { return e.EvalNode(e.Root()); }
  const char* Name() const override { return "CTreeExpression"; }
};

const UnloadedStrategy kUnloaded;
const CConstExpression kConst;
const CVarExpression kVar;
const CUnaryExpression kUnary;
const CBinaryExpression kBinary;
const CVarConstExpression kVarConst;
const CTreeExpression kTree;

int32_t ReadInt(const unsigned char* bytes) {
  const uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                         static_cast<uint32_t>(bytes[2]) << 16 |
                         static_cast<uint32_t>(bytes[3]) << 24;
  return static_cast<int32_t>(value);
}

bool ReadInts(std::FILE* file, int32_t* out, size_t count) {
  std::vector<unsigned char> bytes(count * 4);
  if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
    return false;
  for (size_t i = 0; i < count; ++i)
    out[i] = ReadInt(&bytes[i * 4]);
  return true;
}

// Bytes left in the file behind its current position.
int64_t RemainingBytes(std::FILE* file) {
  const long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0)
    return 0;
  const long end = std::ftell(file);
  std::fseek(file, here, SEEK_SET);
  return end - here;
}

}  // namespace

void SetValueLookup(ValueLookup lookup) {
  g_valueLookup = lookup;
}
void SetEvaluationState(const DsState* state) {
  g_evaluationState = state;
}

CExpression::CExpression() : strategy_(&kUnloaded) {}

bool CExpression::Loaded() const {
  return strategy_ != &kUnloaded;
}

bool CExpression::Load(const std::string& path, int32_t index) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) {
    std::cerr << kOpenFailedMessage << '\n' << std::flush;
    return false;
  }
  const std::string key = "exp-" + std::to_string(index);
  if (!LocateProfileValue(file.get(), "Expressions", key.c_str()))
    return false;
  return LoadRecord(file.get(), index);
}

bool CExpression::LoadRecord(std::FILE* file, int32_t index) {
  Unload();
  auto refuse = [index, this](const std::string& reason) {
    Unload();
    ConsoleLine("ERROR! Expression " + std::to_string(index) + " refused: " + reason);
    return false;
  };
  int32_t header[3];
  if (!ReadInts(file, header, 3))
    return refuse("the record is cut short by the end of the file");
  const int32_t bindings = header[0];
  const int32_t nodes = header[1];
  if (bindings < 0 || nodes < 0)
    return refuse("negative binding or node count");
  if (bindings > 0 && nodes == 0)
    return refuse("bindings without nodes");
  // The counts are checked against the file before anything is allocated for them.
  if (RemainingBytes(file) < int64_t{8} * bindings + int64_t{20} * nodes) {
    return refuse("the record is cut short by the end of the file");
  }
  bindings_.resize(static_cast<size_t>(bindings));
  nodes_.resize(static_cast<size_t>(nodes));
  std::vector<int32_t> fields(static_cast<size_t>(bindings) * 2 + static_cast<size_t>(nodes) * 5);
  if (!ReadInts(file, fields.data(), fields.size())) {
    return refuse("the record is cut short by the end of the file");
  }
  const int32_t* field = fields.data();
  for (ExpBinding& binding : bindings_) {
    binding = ExpBinding{field[0], field[1]};
    field += 2;
  }
  for (ExpNode& node : nodes_) {
    node = ExpNode{field[0], field[1], field[2], field[3], field[4]};
    field += 5;
  }
  bindingCount_ = bindings;
  nodeCount_ = nodes;
  root_ = header[2];
  const std::string problem = Validate();
  if (!problem.empty())
    return refuse(problem);
  SelectStrategy();
  ApplyBindings();
  return true;
}

void CExpression::Unload() {
  strategy_ = &kUnloaded;
  nodes_.clear();
  bindings_.clear();
  root_ = 0;
  bindingCount_ = 0;
  nodeCount_ = 0;
}

std::string CExpression::Validate() const {
  const int32_t n = nodeCount_;
  auto inside = [n](int32_t index) { return index >= 0 && index < n; };
  if (n == 0)
    return {};
  if (!inside(root_))
    return "the root lies outside the node array";
  for (const ExpBinding& binding : bindings_) {
    if (!inside(binding.node))
      return "a binding names a missing node";
  }
  for (const ExpNode& node : nodes_) {
    if ((node.left != -1 && !inside(node.left)) || (node.right != -1 && !inside(node.right))) {
      return "a child index lies outside the node array";
    }
  }
  // The links from the root must form a tree: a cycle would make evaluation endless and a shared
  // node could make it exponential.
  std::vector<char> seen(static_cast<size_t>(n), 0);
  std::vector<int32_t> preorder;
  std::vector<int32_t> pending{root_};
  while (!pending.empty()) {
    const int32_t index = pending.back();
    pending.pop_back();
    if (seen[static_cast<size_t>(index)])
      return "the child links do not form a tree";
    seen[static_cast<size_t>(index)] = 1;
    preorder.push_back(index);
    const ExpNode& node = nodes_[static_cast<size_t>(index)];
    if (node.left != -1)
      pending.push_back(node.left);
    if (node.right != -1)
      pending.push_back(node.right);
  }

  const ExpNode& root = nodes_[static_cast<size_t>(root_)];
  if (bindingCount_ != 0 && n == 3 && (root.left < 0 || root.right < 0)) {
    return "the operator lacks an operand";
  }
  if (bindingCount_ == 0 || n <= 3)
    return {};

  // The tree evaluator reads both children of every operator, and the two branches that a
  // conditional links through its right child. Children come after their parent in pre-order, so
  // the reverse order sees every child's depth before its parent's.
  std::vector<int32_t> depth(static_cast<size_t>(n), 1);
  for (auto it = preorder.rbegin(); it != preorder.rend(); ++it) {
    const ExpNode& node = nodes_[static_cast<size_t>(*it)];
    if (!IsOperatorCode(node.type))
      continue;
    if (node.left < 0 || node.right < 0)
      return "an operator lacks an operand";
    const int32_t left = depth[static_cast<size_t>(node.left)];
    int32_t nodeDepth = 1 + left;
    if (node.type == ExpType::kConditional) {
      const ExpNode& link = nodes_[static_cast<size_t>(node.right)];
      if (link.left < 0 || link.right < 0)
        return "a conditional lacks a branch";
      nodeDepth = std::max({nodeDepth, depth[static_cast<size_t>(link.left)],
                            depth[static_cast<size_t>(link.right)]});
    } else {
      nodeDepth = std::max(nodeDepth, 1 + depth[static_cast<size_t>(node.right)]);
    }
    if (nodeDepth > kMaxNestingDepth)
      return "the tree is nested too deeply";
    depth[static_cast<size_t>(*it)] = nodeDepth;
  }
  return {};
}

void CExpression::SelectStrategy() {
  if (bindingCount_ == 0) {
    strategy_ = &kConst;
  } else if (nodeCount_ == 1) {
    strategy_ = &kVar;
  } else if (nodeCount_ == 2) {
    strategy_ = &kUnary;
  } else if (nodeCount_ == 3) {
    const bool bindingOnRight = bindings_[0].node == nodes_[static_cast<size_t>(root_)].right;
    strategy_ = (bindingCount_ == 1 && !bindingOnRight)
                    ? static_cast<const ExpressionStrategy*>(&kVarConst)
                    : &kBinary;
  } else {
    strategy_ = &kTree;
  }
}

void CExpression::ApplyBindings() {
  for (const ExpBinding& binding : bindings_) {
    nodes_[static_cast<size_t>(binding.node)].variable = binding.variable;
  }
}

void CExpression::RefreshBindings() {
  if (g_valueLookup == nullptr || g_evaluationState == nullptr)
    return;
  for (const ExpBinding& binding : bindings_) {
    nodes_[static_cast<size_t>(binding.node)].value =
        g_valueLookup(g_evaluationState, binding.variable);
  }
}

int32_t CExpression::Evaluate() {
  RefreshBindings();
  return Compute();
}

int32_t CExpression::LeftVariable() const {
  if (nodes_.empty())
    return 0;
  const int32_t left = nodes_[static_cast<size_t>(root_)].left;
  return left < 0 ? 0 : nodes_[static_cast<size_t>(left)].variable;
}

int32_t CExpression::RootType() const {
  return nodes_.empty() ? 0 : nodes_[static_cast<size_t>(root_)].type;
}

int32_t CExpression::EvalNode(int32_t index) const {
  for (;;) {
    if (index < 0)
      return 0;
    const ExpNode& node = nodes_[static_cast<size_t>(index)];
    switch (node.type) {
      case ExpType::kConditional: {
        const ExpNode& link = nodes_[static_cast<size_t>(node.right)];
        index = EvalNode(node.left) != 0 ? link.left : link.right;
        continue;
      }
      case ExpType::kAnd:
        if (EvalNode(node.left) == 0)
          return 0;
        return EvalNode(node.right) != 0 ? 1 : 0;
      case ExpType::kOr:
        if (EvalNode(node.left) != 0)
          return 1;
        return EvalNode(node.right) != 0 ? 1 : 0;
      default:
        if (!IsOperatorCode(node.type))
          return node.value;
        const int32_t right = EvalNode(node.right);
        const int32_t left = EvalNode(node.left);
        return ApplyOperator(node.type, left, right);
    }
  }
}

}  // namespace tickcheck
