// The compiler on small models: every kind of error with its one line and position, and what a
// correct model compiles to (constants, instantiation, guards, arrays, broadcast completion).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "lang/compiler.h"

namespace tickcheck {
namespace {

// A correct model that the query rows use.
constexpr const char* kModel = R"(const int N = 2;
int[0,N] id;
int[0,3] a[2];
clock x;
process P(const int[1,N] pid) {
  clock y;
  state idle, busy { y <= 3 };
  init idle;
  trans idle -> busy { guard id == 0 && x > 1; assign y = 0, id = pid; },
        busy -> idle { assign id = 0; };
}
system P;
)";

struct ErrorRow {
  std::string name;
  std::string model;
  std::string queries;  // empty: no query file
  std::string error;    // the first error line
};

void PrintTo(const ErrorRow& row, std::ostream* out) {
  *out << row.name;
}

std::string Process(const std::string& body) {
  return "process P() {\n" + body + "\n}\nsystem P;\n";
}

std::vector<ErrorRow> ErrorRows() {
  const std::string idle = "clock x;\nstate a, b;\ninit a;\n";
  return {
      // Lexical and syntax errors.
      {"UnexpectedCharacter", "int[0,1] n = 1 @ 2;", "", "m.tck:1:16: unexpected character '@'"},
      {"UnterminatedComment", "/* no end", "", "m.tck:1:1: unterminated comment"},
      {"TooDeep", "const int N = " + std::string(300, '(') + "1;", "",
       "m.tck:1:115: the expression is nested too deeply"},
      {"NumberTooLarge", "const int N = 2147483648;", "",
       "m.tck:1:15: number 2147483648 does not fit in 32 bits"},
      {"MissingSemicolon", "int[0,1] n\nclock x;", "", "m.tck:2:1: expected ';', found 'clock'"},
      {"ReservedWord", "int[0,1] init;", "", "m.tck:1:10: 'init' is a reserved word, not a name"},
      {"UnsupportedOperator", "const int N = 1 & 2;", "",
       "m.tck:1:17: the operator '&' is not supported"},
      // Unsupported constructs, each named.
      {"Committed", Process("state a; commit a; init a;"), "",
       "m.tck:2:10: committed locations are not supported"},
      {"UrgentLocation", Process("state a; urgent a; init a;"), "",
       "m.tck:2:10: urgent locations and channels are not supported"},
      {"UrgentChannel", "urgent chan c;", "",
       "m.tck:1:1: urgent locations and channels are not supported"},
      {"Select", Process(idle + "trans a -> b { select i : int[0,1]; };"), "",
       "m.tck:5:16: select is not supported"},
      {"Function", "int[0,1] n;\nvoid f() {}", "", "m.tck:2:1: functions are not supported"},
      {"FunctionWithResult", "int f() { return 1; }", "", "m.tck:1:6: functions are not supported"},
      {"Struct", "struct { int a; } s;", "", "m.tck:1:1: structs are not supported"},
      {"Priority", Process("state a; init a;") + "chan c; chan priority c;", "",
       "m.tck:5:14: priorities are not supported"},
      {"SystemPriority",
       "process P() { state a; init a; }\nprocess Q() { state a; init a; }\n"
       "system P < Q;",
       "", "m.tck:3:10: priorities are not supported"},
      {"ReferenceParameter", "process P(int &n) { state a; init a; }\nsystem P;", "",
       "m.tck:1:15: reference parameters are not supported"},
      {"VariableParameter", "process P(int n) { state a; init a; }\nsystem P;", "",
       "m.tck:1:11: a template parameter must be declared const (constants only)"},
      // Names.
      {"UnknownName", Process(idle + "trans a -> b { guard m == 1; };"), "",
       "m.tck:5:22: unknown name m"},
      {"DoublyDeclared", "int[0,1] n;\nclock n;", "",
       "m.tck:2:7: n is already declared at line 1, column 10"},
      {"LocationTwice", Process("state a, a; init a;"), "",
       "m.tck:2:10: the location a is already declared at line 2, column 7"},
      {"UnknownLocation", Process("state a; init a; trans a -> c {};"), "",
       "m.tck:2:29: unknown location c"},
      {"MissingInit", Process("state a;"), "", "m.tck:1:9: P has no init location (init ...;)"},
      {"NoLocation", "process P() { }\nsystem P;", "",
       "m.tck:1:9: P declares no location (state ...;)"},
      {"NoSystem", "int[0,1] n;", "",
       "m.tck:1:12: the model has no system line (for example: system P;)"},
      {"SystemNamesAVariable", "int[0,1] n;\nsystem n;", "",
       "m.tck:2:8: the variable n is not a process template or instance"},
      {"SystemNamesNothing", "system Q;", "", "m.tck:1:8: unknown name Q"},
      {"ListedTwice", Process("state a; init a;") + "system P;", "",
       "m.tck:5:1: a second system declaration"},
      {"WrongArgumentCount",
       "process P(const int k) { state a; init a; }\nP1 = P(1, 2);\nsystem P1;", "",
       "m.tck:2:6: P takes 1 arguments, 2 given"},
      {"ArgumentOutOfRange",
       "process P(const int[0,1] k) { state a; init a; }\nP1 = P(3);\nsystem P1;", "",
       "m.tck:2:8: the argument 3 is outside the range 0 .. 1 of the parameter k"},
      {"UnboundedParameter", "process P(const int k) { state a; init a; }\nsystem P;", "",
       "m.tck:2:8: P has the parameter k without a bounded type: name its instances, for example "
       "P1 = P(...);"},
      // Types.
      {"ClockAsInteger", "int[0,9] n;\n" + Process(idle + "trans a -> b { assign n = x; };"), "",
       "m.tck:6:27: the clock x is used as an integer value"},
      {"ClockInArithmetic", Process(idle + "trans a -> b { guard x + 1 < 2; };"), "",
       "m.tck:5:22: the clock x is used as an integer value"},
      {"AssignToConstant", "const int K = 1;\n" + Process(idle + "trans a -> b { assign K = 2; };"),
       "", "m.tck:6:23: cannot assign to the constant K"},
      {"ChannelAsValue",
       "chan c;\nint[0,1] n;\n" + Process(idle + "trans a -> b { assign n = c; };"), "",
       "m.tck:7:27: the channel c is used as a value"},
      {"SyncOnVariable", "int[0,1] n;\n" + Process(idle + "trans a -> b { sync n!; };"), "",
       "m.tck:6:21: the variable n is not a channel"},
      {"ClockDifference", "clock z;\n" + Process(idle + "trans a -> b { guard x < z; };"), "",
       "m.tck:6:24: comparing two clocks (a clock difference) is not supported"},
      {"ClockSetToVariable", "int[0,1] n;\n" + Process(idle + "trans a -> b { assign x = n; };"),
       "", "m.tck:6:27: a clock can only be set to a constant of at least 0"},
      {"LowerBoundInvariant", Process("clock x;\nstate a { x > 1 };\ninit a;"), "",
       "m.tck:3:13: an invariant must be a conjunction of upper bounds on clocks (x < c or x <= "
       "c, with c a constant)"},
      {"IntegerInvariant", "int[0,1] n;\n" + Process("state a { n < 1 };\ninit a;"), "",
       "m.tck:3:13: an invariant must be a conjunction of upper bounds on clocks (x < c or x <= "
       "c, with c a constant)"},
      {"UnboundedVariable", "int n;", "",
       "m.tck:1:1: a variable needs a bounded type, for example int[0,10] or bool"},
      {"NegativeRange", "int[-1,3] n;", "",
       "m.tck:1:1: the range -1 .. 3 has a negative lower bound: variables hold values from 0 up"},
      {"EmptyRange", "int[3,1] n;", "", "m.tck:1:1: the range 3 .. 1 is empty"},
      {"InitialValueOutOfRange", "int[0,3] n = 4;", "",
       "m.tck:1:14: the initial value 4 of n is outside its range 0 .. 3"},
      {"NotAConstant", "int[0,3] n;\nconst int K = n;", "",
       "m.tck:2:15: the value of K must be a constant expression"},
      // Constant evaluation.
      {"DivisionByZero", "const int K = 4 / (2 - 2);", "",
       "m.tck:1:17: division by zero in a constant expression"},
      {"ConstantOverflow", "const int K = 65536 * 65536;", "",
       "m.tck:1:21: the constant expression's value 4294967296 does not fit in 32 bits"},
      {"IndexOutOfRange", "int[0,1] a[2];\n" + Process(idle + "trans a -> b { guard a[2] == 0; };"),
       "", "m.tck:6:24: the index 2 is outside the array a (0 .. 1)"},
      {"VariableIndexMayLeave",
       "int[0,1] a[2];\nint[0,2] i;\n" + Process(idle + "trans a -> b { guard a[i] == 0; };"), "",
       "m.tck:7:24: the index (0 .. 2 by the ranges of its variables) is outside the array a (0 "
       ".. 1)"},
      // What the checker cannot do exactly.
      {"ClockOfTwoProcesses",
       "clock x;\nprocess P() { state a; init a; trans a -> a { guard x > 1; }; }\n"
       "process Q() { state a; init a; trans a -> a { assign x = 0; }; }\nsystem P, Q;",
       "",
       "m.tck:3:54: the clock x is used by P and Q: a clock may be read and reset by one "
       "process only"},
      {"DisjunctiveBroadcastReceive",
       "broadcast chan b;\n" + Process(idle + "trans a -> b { guard x < 1 || x > 2; sync b?; };"),
       "",
       "m.tck:6:38: a broadcast receive needs a guard that is one conjunction over clocks "
       "(no ||, no != on a clock)"},
      {"SecondBroadcastReceive",
       "broadcast chan b;\n" + Process(idle + "trans a -> b { sync b?; }, a -> a { sync b?; };"),
       "", "m.tck:6:37: a second receive on the broadcast channel b out of a"},
      {"BroadcastReceiveWithVariableIndex",
       "broadcast chan b[2];\nint[0,1] i;\n" + Process(idle + "trans a -> b { sync b[i]?; };"), "",
       "m.tck:7:21: a broadcast receive needs a constant channel index"},
      // Queries.
      {"QueryWithoutKind", kModel, "P(1).busy", "m.q:1:1: a query starts with E<> or A[]"},
      {"Inevitability", kModel, "\nA<> P(1).busy",
       "m.q:2:1: cannot check \"A<> P(1).busy\": A<> cannot be decided by this checker (it needs "
       "infinite runs); only E<> and A[] can"},
      {"LeadsTo", kModel, "P(1).idle --> P(1).busy",
       "m.q:1:1: cannot check \"P(1).idle --> P(1).busy\": leads-to (-->) cannot be decided by "
       "this checker; only E<> and A[] can"},
      {"Deadlock", kModel, "A[] not deadlock",
       "m.q:1:9: cannot check \"A[] not deadlock\": deadlock cannot be checked"},
      {"ClockWithVariable", kModel, "E<> x > id",
       "m.q:1:7: cannot check \"E<> x > id\": a clock must be compared with a constant"},
      {"TwoVariables", kModel, "E<> id == a[0]",
       "m.q:1:8: cannot check \"E<> id == a[0]\": a variable may only be compared with a "
       "constant expression"},
      {"UnknownProcess", kModel, "E<> P(3).busy", "m.q:1:5: no process is named P(3)"},
      {"LocalWithoutProcess", kModel, "E<> y > 1",
       "m.q:1:5: unknown name y (a process's own names are written Process.y)"},
      {"QuerySyntax", kModel, "E<> P(1).busy &&",
       "m.q:1:17: expected an expression, found the end of "
       "the text"},
      {"QueryTooLarge", kModel,
       "E<> (id == 0 || id == 1) && (id == 0 || id == 1) && (id == 0 || id == 1) && (id == 0 || "
       "id == 1) && (id == 0 || id == 1) && (id == 0 || id == 1) && (id == 0 || id == 1)",
       "m.q:1:1: cannot check \"E<> (id == 0 || id == 1) && (id == 0 || id == 1) && (id == 0 || "
       "id == 1) && (id == 0 || id == 1) && (id == 0 || id == 1) && (id == 0 || id == 1) && (id "
       "== 0 || id == 1)\": its normal form has more than 64 conjunctions"},
  };
}

class CompilerErrorTest : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(CompilerErrorTest, ReportsOneLineAtItsPosition) {
  const ErrorRow& row = GetParam();
  std::vector<lang::Diagnostic> errors;
  std::optional<lang::SourceFile> queries;
  if (!row.queries.empty())
    queries = lang::SourceFile{"m.q", row.queries};
  EXPECT_FALSE(lang::Compile({"m.tck", row.model}, queries, errors));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].Format(), row.error);
}

INSTANTIATE_TEST_SUITE_P(Errors, CompilerErrorTest, ::testing::ValuesIn(ErrorRows()),
                         [](const ::testing::TestParamInfo<ErrorRow>& info) {
                           return info.param.name;
                         });

std::optional<lang::Compilation> Compiled(const std::string& model) {
  std::vector<lang::Diagnostic> errors;
  std::optional<lang::Compilation> compiled = lang::Compile({"m.tck", model}, std::nullopt, errors);
  EXPECT_TRUE(errors.empty()) << errors[0].Format();
  return compiled;
}

TEST(CompilerTest, ConstantsFoldWithCPrecedence) {
  const std::pair<const char*, int32_t> rows[] = {
      {"1 + 2 * 3", 7},        {"(1 + 2) * 3", 9},    {"7 - 2 - 1", 4},
      {"-7 / 2", -3},          {"-7 % 2", -1},        {"1 < 2 == 1", 1},
      {"0 || 1 && 0", 0},      {"1 ? 2 : 3 + 4", 2},  {"0 imply 0 && 1", 1},
      {"not 1 || 1", 1},       {"!0 + 1", 2},         {"true + true", 2},
      {"2 > 1 and 3 or 0", 1}, {"-(2 - 5) * -1", -3}, {"1 == 2 ? 5 : 6 - 1", 5}};
  for (const auto& [expression, value] : rows) {
    const std::optional<lang::Compilation> compiled =
        Compiled(std::string("const int R = ") + expression +
                 ";\nprocess P() { state a; init a; }\nsystem P;");
    ASSERT_TRUE(compiled) << expression;
    EXPECT_EQ(compiled->network.globals.at("R").value, value) << expression;
  }
}

TEST(CompilerTest, SystemInstantiatesTemplatesOverTheirParameters) {
  const std::optional<lang::Compilation> compiled = Compiled(
      "typedef int[1,2] id_t;\nint[0,1] n;\n"
      "process P(const id_t i, const bool b) {\n"
      "  int[0,3] n = i; state a; init a; trans a -> a { assign n = b; }; }\n"
      "process Q() { state a; init a; trans a -> a { assign n = 1; }; }\n"
      "R = P(2, false);\nsystem R, P, Q;");
  ASSERT_TRUE(compiled);
  std::vector<std::string> processes;
  for (const lang::Process& process : compiled->network.processes)
    processes.push_back(process.name);
  EXPECT_EQ(processes,
            (std::vector<std::string>{"R", "P(1,0)", "P(1,1)", "P(2,0)", "P(2,1)", "Q"}));
  std::vector<std::string> variables;
  for (const VariableSpec& variable : compiled->model.variables)
    variables.push_back(variable.name + "=" + std::to_string(*variable.initValue));
  EXPECT_EQ(variables, (std::vector<std::string>{"n=0", "R.n=2", "P(1,0).n=1", "P(1,1).n=1",
                                                 "P(2,0).n=2", "P(2,1).n=2"}));
  // A process's own n shadows the global one.
  std::vector<std::string> assigned;
  for (const lang::Process& process : compiled->network.processes) {
    const lang::Term& target = process.edges[0].assignments[0].target;
    assigned.push_back(compiled->network.variables[static_cast<size_t>(target.value)].name);
  }
  EXPECT_EQ(assigned,
            (std::vector<std::string>{"R.n", "P(1,0).n", "P(1,1).n", "P(2,0).n", "P(2,1).n", "n"}));
}

}  // namespace
}  // namespace tickcheck
