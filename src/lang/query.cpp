#include "lang/query.h"

#include <algorithm>

#include "expr/comparison.h"
#include "lang/fold.h"
#include "lang/lexer.h"
#include "lang/operators.h"
#include "lang/parser.h"
#include "model/expression_record.h"

namespace tickcheck::lang {
namespace {

Formula Constant(bool value) {
  return Formula{Formula::Kind::kConst, value, {}, {}};
}

Formula Atom(QueryAtom atom) {
  return Formula{Formula::Kind::kAtom, true, atom, {}};
}

// The resolution of one query's formula; the first fault is reported and ends it.
class QueryResolver {
 public:
  QueryResolver(const Network& network, Diagnostics& diagnostics, const std::string& query)
      : network_(network), diagnostics_(diagnostics), query_(query) {}

  std::optional<Formula> Condition(const SyntaxExpr& expr) {
    switch (expr.kind) {
      case SyntaxExpr::Kind::kUnary:
        if (expr.text == "!") {
          std::optional<Formula> operand = Condition(expr.operands[0]);
          if (!operand)
            return std::nullopt;
          return Formula{Formula::Kind::kNot, true, {}, {std::move(*operand)}};
        }
        break;
      case SyntaxExpr::Kind::kBinary: {
        if (const std::optional<int32_t> code = BinaryOperatorCode(expr.text);
            code && IsRelationCode(*code)) {
          return Comparison(expr, *code);
        }
        if (expr.text != "&&" && expr.text != "||" && expr.text != "imply")
          break;
        std::optional<Formula> left = Condition(expr.operands[0]);
        std::optional<Formula> right = left ? Condition(expr.operands[1]) : std::nullopt;
        if (!right)
          return std::nullopt;
        if (expr.text == "imply")
          left = Formula{Formula::Kind::kNot, true, {}, {std::move(*left)}};
        const Formula::Kind kind = expr.text == "&&" ? Formula::Kind::kAnd : Formula::Kind::kOr;
        return Formula{kind, true, {}, {std::move(*left), std::move(*right)}};
      }
      case SyntaxExpr::Kind::kName:
        if (expr.text == "deadlock")
          return Refuse(expr.pos, "deadlock cannot be checked");
        break;
      case SyntaxExpr::Kind::kMember: {
        std::optional<int32_t> process = Process(expr.operands[0]);
        if (!process)
          return std::nullopt;
        const std::vector<Location>& locations =
            network_.processes[static_cast<size_t>(*process)].locations;
        for (size_t l = 0; l < locations.size(); ++l) {
          if (locations[l].name == expr.text) {
            return Atom({QueryAtom::Kind::kLocation, *process, static_cast<int32_t>(l)});
          }
        }
        break;
      }
      default:
        break;
    }
    // A value in the place of a condition: true when it is not 0.
    std::optional<Operand> value = Value(expr);
    if (!value)
      return std::nullopt;
    if (value->constant)
      return Constant(value->value != 0);
    if (value->kind == QueryAtom::Kind::kClock)
      return Refuse(expr.pos, "a clock must be compared with a constant");
    QueryAtom atom{QueryAtom::Kind::kInt};
    atom.variable = value->value;
    atom.relation = ExpType::kNotEqual;
    atom.bound = 0;
    return Atom(atom);
  }

 private:
  // A constant, or a variable or clock of the state.
  struct Operand {
    bool constant = true;
    int32_t value = 0;  // the constant, or the variable or clock
    QueryAtom::Kind kind = QueryAtom::Kind::kInt;
  };

  std::nullopt_t Refuse(SourcePos pos, const std::string& why) {
    diagnostics_.Error(pos, "cannot check \"" + query_ + "\": " + why);
    return std::nullopt;
  }

  std::optional<Formula> Comparison(const SyntaxExpr& expr, int32_t relation) {
    std::optional<Operand> left = Value(expr.operands[0]);
    std::optional<Operand> right = left ? Value(expr.operands[1]) : std::nullopt;
    if (!right)
      return std::nullopt;
    if (left->constant && right->constant)
      return Constant(ApplyRelation(relation, left->value, right->value));
    if (!left->constant && !right->constant) {
      return Refuse(expr.pos,
                    left->kind == QueryAtom::Kind::kClock || right->kind == QueryAtom::Kind::kClock
                        ? "a clock must be compared with a constant"
                        : "a variable may only be compared with a constant expression");
    }
    const bool swap = left->constant;
    const Operand& reference = swap ? *right : *left;
    const Operand& bound = swap ? *left : *right;
    QueryAtom atom{reference.kind};
    atom.variable = reference.value;
    atom.relation = swap ? MirroredRelation(relation) : relation;
    atom.bound = bound.value;
    return Atom(atom);
  }

  // The process named by `expr`: `P1`, `Gate` or `P(2)`.
  std::optional<int32_t> Process(const SyntaxExpr& expr) {
    std::string name = expr.text;
    if (expr.kind == SyntaxExpr::Kind::kCall) {
      name += "(";
      for (size_t i = 0; i < expr.operands.size(); ++i) {
        std::optional<Operand> argument = Value(expr.operands[i]);
        if (!argument)
          return std::nullopt;
        if (!argument->constant) {
          Refuse(expr.operands[i].pos, "a process's argument must be a constant");
          return std::nullopt;
        }
        name.append(i > 0 ? "," : "").append(std::to_string(argument->value));
      }
      name += ")";
    } else if (expr.kind != SyntaxExpr::Kind::kName) {
      diagnostics_.Error(expr.pos, "expected a process name before '.'");
      return std::nullopt;
    }
    for (size_t p = 0; p < network_.processes.size(); ++p) {
      if (network_.processes[p].name == name)
        return static_cast<int32_t>(p);
    }
    diagnostics_.Error(expr.pos, "no process is named " + name);
    return std::nullopt;
  }

  // The binding of a name (global) or of `Process.name`, with what to call it.
  const Binding* Named(const SyntaxExpr& expr, std::string& called) {
    if (expr.kind == SyntaxExpr::Kind::kName) {
      called = expr.text;
      const auto found = network_.globals.find(expr.text);
      if (found != network_.globals.end())
        return &found->second;
      diagnostics_.Error(expr.pos, "unknown name " + expr.text +
                                       " (a process's own names are written Process." + expr.text +
                                       ")");
      return nullptr;
    }
    const std::optional<int32_t> process = Process(expr.operands[0]);
    if (!process)
      return nullptr;
    called = network_.processes[static_cast<size_t>(*process)].name + "." + expr.text;
    const auto& locals = network_.locals[static_cast<size_t>(*process)];
    const auto found = locals.find(expr.text);
    if (found != locals.end())
      return &found->second;
    diagnostics_.Error(expr.pos, "unknown name " + called);
    return nullptr;
  }

  std::optional<Operand> Reference(const SyntaxExpr& expr) {
    const bool indexed = expr.kind == SyntaxExpr::Kind::kIndex;
    const SyntaxExpr& base = indexed ? expr.operands[0] : expr;
    if (base.kind != SyntaxExpr::Kind::kName && base.kind != SyntaxExpr::Kind::kMember) {
      diagnostics_.Error(base.pos, "only a declared array can be indexed");
      return std::nullopt;
    }
    std::string called;
    const Binding* binding = Named(base, called);
    if (binding == nullptr)
      return std::nullopt;
    if (binding->kind == Binding::Kind::kChannel) {
      diagnostics_.Error(base.pos, "the channel " + called + " is used as a value");
      return std::nullopt;
    }
    if (binding->kind == Binding::Kind::kConst && !indexed)
      return Operand{true, binding->value};
    if (indexed != (binding->size > 0)) {
      diagnostics_.Error(base.pos,
                         indexed ? called + " is not an array" : called + " needs an index");
      return std::nullopt;
    }
    int32_t offset = 0;
    if (indexed) {
      std::optional<Operand> index = Value(expr.operands[1]);
      if (!index)
        return std::nullopt;
      if (!index->constant)
        return Refuse(expr.operands[1].pos, "an array element needs a constant index");
      if (index->value < 0 || index->value >= binding->size) {
        diagnostics_.Error(expr.operands[1].pos, "the index " + std::to_string(index->value) +
                                                     " is outside the array " + called + " (0 .. " +
                                                     std::to_string(binding->size - 1) + ")");
        return std::nullopt;
      }
      offset = index->value;
    }
    const QueryAtom::Kind kind =
        binding->kind == Binding::Kind::kClock ? QueryAtom::Kind::kClock : QueryAtom::Kind::kInt;
    return Operand{false, binding->value + offset, kind};
  }

  std::optional<Operand> Value(const SyntaxExpr& expr) {
    switch (expr.kind) {
      case SyntaxExpr::Kind::kNumber:
      case SyntaxExpr::Kind::kBool:
        return Operand{true, static_cast<int32_t>(expr.number)};
      case SyntaxExpr::Kind::kName:
        if (expr.text == "deadlock")
          return Refuse(expr.pos, "deadlock cannot be checked");
        return Reference(expr);
      case SyntaxExpr::Kind::kIndex:
      case SyntaxExpr::Kind::kMember:
        return Reference(expr);
      case SyntaxExpr::Kind::kUnary:
      case SyntaxExpr::Kind::kBinary:
      case SyntaxExpr::Kind::kConditional:
        return Folded(expr);
      case SyntaxExpr::Kind::kCall:
        diagnostics_.Error(expr.pos, "functions are not supported (" + expr.text + "(...))");
        return std::nullopt;
    }
    return std::nullopt;
  }

  // An operator over operands that must all be constants.
  std::optional<Operand> Folded(const SyntaxExpr& expr) {
    std::vector<Term> operands;
    for (const SyntaxExpr& operand : expr.operands) {
      std::optional<Operand> value = Value(operand);
      if (!value)
        return std::nullopt;
      if (!value->constant) {
        return Refuse(operand.pos, value->kind == QueryAtom::Kind::kClock
                                       ? "a clock must be compared with a constant"
                                       : "a variable may only be compared with a constant "
                                         "expression");
      }
      operands.push_back(Term::Const(value->value, operand.pos));
    }
    std::optional<Term> folded;
    if (expr.kind == SyntaxExpr::Kind::kConditional) {
      folded = FoldCond(operands[0], operands[1], operands[2], expr.pos);
    } else if (expr.kind == SyntaxExpr::Kind::kUnary) {
      folded = expr.text == "!" ? FoldNot(operands[0], expr.pos)
                                : FoldNegate(operands[0], expr.pos, diagnostics_);
    } else if (expr.text == "imply") {
      folded = FoldBinary(ExpType::kOr, FoldNot(operands[0], expr.pos), operands[1], expr.pos,
                          diagnostics_);
    } else {
      folded = FoldBinary(*BinaryOperatorCode(expr.text), operands[0], operands[1], expr.pos,
                          diagnostics_);
    }
    if (!folded)
      return std::nullopt;
    return Operand{true, folded->value};
  }

  const Network& network_;
  Diagnostics& diagnostics_;
  const std::string& query_;
};

std::string Trimmed(const std::string& text, size_t& start) {
  start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos)
    return {};
  const size_t end = text.find_last_not_of(" \t\r");
  return text.substr(start, end - start + 1);
}

}  // namespace

std::optional<std::vector<Query>> ReadQueries(const std::string& text, const Network& network,
                                              Diagnostics& diagnostics) {
  std::vector<Query> queries;
  size_t lineStart = 0;
  for (int line = 1; lineStart <= text.size(); ++line) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos)
      lineEnd = text.size();
    std::string content = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    content = content.substr(0, content.find("//"));
    size_t column = 0;
    const std::string query = Trimmed(content, column);
    if (query.empty())
      continue;
    const SourcePos pos{line, static_cast<int>(column) + 1};
    auto refuse = [&](const std::string& why) {
      diagnostics.Error(pos, "cannot check \"" + query + "\": " + why);
    };
    Query::Kind kind = Query::Kind::kReachable;
    if (query.find("-->") != std::string::npos) {
      refuse("leads-to (-->) cannot be decided by this checker; only E<> and A[] can");
      continue;
    }
    if (query.starts_with("A<>") || query.starts_with("E[]")) {
      refuse(query.substr(0, 3) +
             " cannot be decided by this checker (it needs infinite runs); only E<> and A[] "
             "can");
      continue;
    }
    if (query.starts_with("A[]")) {
      kind = Query::Kind::kInvariant;
    } else if (!query.starts_with("E<>")) {
      diagnostics.Error(pos, "a query starts with E<> or A[]");
      continue;
    }
    const SourcePos formulaPos{line, pos.column + 3};
    const std::vector<Token> tokens = Lex(query.substr(3), diagnostics, formulaPos);
    if (tokens.empty())
      continue;
    std::optional<SyntaxExpr> syntax = ParseFormula(tokens, diagnostics);
    if (!syntax)
      continue;
    std::optional<Formula> formula = QueryResolver(network, diagnostics, query).Condition(*syntax);
    if (formula)
      queries.push_back({kind, query, pos, std::move(*formula)});
  }
  if (!diagnostics.Empty())
    return std::nullopt;
  return queries;
}

std::optional<std::vector<Conjunction>> NormalForm(const Formula& formula, bool negated) {
  switch (formula.kind) {
    case Formula::Kind::kConst:
      if (formula.value != negated)
        return std::vector<Conjunction>{Conjunction{}};
      return std::vector<Conjunction>{};
    case Formula::Kind::kAtom: {
      QueryAtom atom = formula.atom;
      if (negated) {
        if (atom.kind == QueryAtom::Kind::kLocation)
          atom.negated = !atom.negated;
        else
          atom.relation = NegatedRelation(atom.relation);
      }
      return std::vector<Conjunction>{Conjunction{atom}};
    }
    case Formula::Kind::kNot:
      return NormalForm(formula.operands[0], !negated);
    case Formula::Kind::kAnd:
    case Formula::Kind::kOr:
      break;
  }
  std::optional<std::vector<Conjunction>> left = NormalForm(formula.operands[0], negated);
  std::optional<std::vector<Conjunction>> right = NormalForm(formula.operands[1], negated);
  if (!left || !right)
    return std::nullopt;
  std::vector<Conjunction> result;
  if ((formula.kind == Formula::Kind::kAnd) != negated) {
    for (const Conjunction& a : *left) {
      for (const Conjunction& b : *right) {
        Conjunction joined = a;
        joined.insert(joined.end(), b.begin(), b.end());
        result.push_back(std::move(joined));
        if (result.size() > kMaxQueryConjunctions)
          return std::nullopt;
      }
    }
  } else {
    result = std::move(*left);
    result.insert(result.end(), right->begin(), right->end());
    // `true || f` is true.
    if (std::any_of(result.begin(), result.end(), [](const Conjunction& c) { return c.empty(); }))
      result = {Conjunction{}};
  }
  if (result.size() > kMaxQueryConjunctions)
    return std::nullopt;
  return result;
}

std::optional<QueryPlan> PlanQuery(const Query& query, Diagnostics& diagnostics) {
  if (query.kind == Query::Kind::kReachable) {
    std::optional<std::vector<Conjunction>> normal = NormalForm(query.formula, false);
    if (normal)
      return QueryPlan{QueryPlan::Kind::kAnyReachable, std::move(*normal)};
  } else {
    std::optional<std::vector<Conjunction>> normal = NormalForm(query.formula, false);
    if (normal && normal->size() == 1)
      return QueryPlan{QueryPlan::Kind::kInvariant, std::move(*normal)};
    std::optional<std::vector<Conjunction>> violations = NormalForm(query.formula, true);
    if (violations)
      return QueryPlan{QueryPlan::Kind::kNoneReachable, std::move(*violations)};
  }
  diagnostics.Error(query.pos, "cannot check \"" + query.text +
                                   "\": its normal form has more than " +
                                   std::to_string(kMaxQueryConjunctions) + " conjunctions");
  return std::nullopt;
}

bool Verdict(const QueryPlan& plan, const std::vector<bool>& results) {
  const bool any = std::any_of(results.begin(), results.end(), [](bool r) { return r; });
  switch (plan.kind) {
    case QueryPlan::Kind::kAnyReachable:
      return any;
    case QueryPlan::Kind::kNoneReachable:
      return !any;
    case QueryPlan::Kind::kInvariant:
      return !results.empty() && results[0];
  }
  return false;
}

}  // namespace tickcheck::lang
