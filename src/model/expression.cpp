#include "model/expression.h"

#include <algorithm>
#include <string>

namespace tickcheck {
namespace {

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

const char* CExpression::StrategyName() const {
  switch (shape_) {
    case ExpressionShape::kConst:
      return "CConstExpression";
    case ExpressionShape::kVar:
      return "CVarExpression";
    case ExpressionShape::kUnary:
      return "CUnaryExpression";
    case ExpressionShape::kBinary:
      return "CBinaryExpression";
    case ExpressionShape::kVarConst:
      return "CVarConstExpression";
    case ExpressionShape::kTree:
      return "CTreeExpression";
    case ExpressionShape::kProgram:
      return "CProgramExpression";
    case ExpressionShape::kUnloaded:
      break;
  }
  return "CExpression";
}

bool CExpression::LoadRecord(std::FILE* file, int32_t index, MessageSink& messages,
                             int32_t format) {
  Unload();
  auto refuse = [index, &messages, this](const std::string& reason) {
    Refuse(index, reason, messages);
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
  const std::string problem = Validate(format);
  if (!problem.empty())
    return refuse(problem);
  if (shape_ != ExpressionShape::kProgram)
    SelectShape();
  // A node named by several bindings takes the last one's variable, as its value would.
  bound_.assign(nodes_.size(), 0);
  for (const ExpBinding& binding : bindings_) {
    nodes_[static_cast<size_t>(binding.node)].variable = binding.variable;
    bound_[static_cast<size_t>(binding.node)] = 1;
  }
  return true;
}

void CExpression::Refuse(int32_t index, const std::string& reason, MessageSink& messages) {
  Unload();
  messages.Problem("ERROR! Expression " + std::to_string(index) + " refused: " + reason);
}

void CExpression::Unload() {
  shape_ = ExpressionShape::kUnloaded;
  nodes_.clear();
  bindings_.clear();
  bound_.clear();
  root_ = 0;
  bindingCount_ = 0;
  nodeCount_ = 0;
  layout_ = ProgramLayout{};
}

std::string CExpression::Validate(int32_t format) {
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

  if (format == 2 && NeedsProgram(nodes_, root_)) {
    std::vector<char> bound(static_cast<size_t>(n), 0);
    for (const ExpBinding& binding : bindings_)
      bound[static_cast<size_t>(binding.node)] = 1;
    std::string problem = CheckProgram(nodes_, bound, root_, layout_);
    if (problem.empty())
      shape_ = ExpressionShape::kProgram;
    return problem;
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

void CExpression::SelectShape() {
  if (bindingCount_ == 0) {
    shape_ = ExpressionShape::kConst;
  } else if (nodeCount_ == 1) {
    shape_ = ExpressionShape::kVar;
  } else if (nodeCount_ == 2) {
    shape_ = ExpressionShape::kUnary;
  } else if (nodeCount_ == 3) {
    const bool bindingOnRight = bindings_[0].node == nodes_[static_cast<size_t>(root_)].right;
    shape_ = (bindingCount_ == 1 && !bindingOnRight) ? ExpressionShape::kVarConst
                                                     : ExpressionShape::kBinary;
  } else {
    shape_ = ExpressionShape::kTree;
  }
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

}  // namespace tickcheck
