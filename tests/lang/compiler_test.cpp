// The compiler on small models: every kind of error with its one line and position (the table of
// bad inputs), and what a correct model compiles to (constants, instantiation, the layout of
// records and arrays, select, queries).
#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace

namespace lang {
void PrintTo(const JumpOrigin& origin, std::ostream* out) {
  *out << origin.edge << ":";
  for (int32_t value : origin.selectValues)
    *out << " " << value;
}
}  // namespace lang

namespace {

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
      {"ReservedWord", "int[0,1] init;", "", "m.tck:1:10: 'init' is a reserved word"},
      {"ReservedWordCommit", "int commit;", "", "m.tck:1:5: 'commit' is a reserved word"},
      {"UnsupportedOperator", "const int N = 1 <? 2;", "",
       "m.tck:1:17: the operator '<?' is not supported"},
      {"Priority", Process("state a; init a;") + "chan c; chan priority c;", "",
       "m.tck:5:14: priorities are not supported"},
      {"SystemPriority",
       "process P() { state a; init a; }\nprocess Q() { state a; init a; }\n"
       "system P < Q;",
       "", "m.tck:3:10: priorities are not supported"},
      {"FunctionInFunction", "void f() { int g() { return 1; } }", "",
       "m.tck:1:12: a function cannot be declared inside a function"},
      // Timing constructs: time stops while an urgent synchronisation can be taken, so its edges
      // compare no clock.
      {"UrgentChannelWithClockGuard",
       "urgent chan u;\n" + Process(idle + "trans a -> b { guard x > 1; sync u!; };"), "",
       "m.tck:6:22: an edge on the urgent channel u cannot have a clock in its guard"},
      {"UrgentBroadcastReceiveWithClockGuard",
       "urgent broadcast chan u[2];\n" +
           Process(idle + "trans a -> b { guard true && !(x <= 2); sync u[1]?; };"),
       "", "m.tck:6:32: an edge on the urgent channel u cannot have a clock in its guard"},
      {"UnknownUrgent", Process("state a; urgent c; init a;"), "",
       "m.tck:2:17: unknown location c"},
      // Templates and the system.
      {"ReferenceParameter", "process P(int &n) { state a; init a; }\nsystem P;", "",
       "m.tck:1:16: template parameters by reference are not supported"},
      {"VariableParameter", "process P(int n) { state a; init a; }\nsystem P;", "",
       "m.tck:1:11: a template parameter must be declared const (constants only)"},
      {"RecordParameter",
       "typedef struct { int a; } r_t;\nprocess P(const r_t r) { state a; init a; }\nsystem P;", "",
       "m.tck:2:21: a template parameter must be an integer, a bool or a scalar value"},
      {"UnknownName", Process(idle + "trans a -> b { guard m == 1; };"), "",
       "m.tck:5:22: unknown name m"},
      {"DoublyDeclared", "int[0,1] n;\nclock n;", "",
       "m.tck:2:7: n is already declared at line 1, column 10"},
      {"LocationTwice", Process("state a, a; init a;"), "",
       "m.tck:2:10: the location a is already declared at line 2, column 7"},
      {"UnknownLocation", Process("state a; init a; trans a -> c {};"), "",
       "m.tck:2:29: unknown location c"},
      {"UnknownCommitted", Process("state a; commit c; init a;"), "",
       "m.tck:2:17: unknown location c"},
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
      {"ClockDifference", "clock z;\n" + Process(idle + "trans a -> b { guard x < z; };"), "",
       "m.tck:6:24: clock differences (x - z) are not supported"},
      {"ClockDifferenceInArithmetic",
       "clock y;\n" + Process(idle + "trans a -> b { guard x - y < 3; };"), "",
       "m.tck:6:24: clock differences (x - y) are not supported"},
      {"ClockInFunction", "clock x;\nvoid f() { x = 0; }", "",
       "m.tck:2:12: a function cannot use the clock x"},
      {"AssignToConstant", "const int K = 1;\n" + Process(idle + "trans a -> b { assign K = 2; };"),
       "", "m.tck:6:23: cannot assign to the constant K"},
      {"AssignToConstantArray",
       "const int K[2] = {1, 2};\n" + Process(idle + "trans a -> b { assign K[0] = 2; };"), "",
       "m.tck:6:23: cannot assign to the constant array K"},
      {"ChannelAsValue",
       "chan c;\nint[0,1] n;\n" + Process(idle + "trans a -> b { assign n = c; };"), "",
       "m.tck:7:27: the channel c is used as a value"},
      {"SyncOnVariable", "int[0,1] n;\n" + Process(idle + "trans a -> b { sync n!; };"), "",
       "m.tck:6:21: the variable n is not a channel"},
      {"ClockSetNegative", "int[-1,1] n;\n" + Process(idle + "trans a -> b { assign x = n; };"), "",
       "m.tck:6:27: the clock x may be set to a negative value (the value lies in -1 .. 1 by the "
       "ranges of its variables)"},
      {"LowerBoundInvariant", Process("clock x;\nstate a { x > 1 };\ninit a;"), "",
       "m.tck:3:13: an invariant must be a conjunction of clock upper bounds (x < e, x <= e) and "
       "conditions without clocks"},
      {"EmptyRange", "int[3,1] n;", "", "m.tck:1:1: the range 3 .. 1 is empty"},
      {"InitialValueOutOfRange", "int[0,3] n = 4;", "",
       "m.tck:1:14: the initial value 4 of n is outside its range 0 .. 3"},
      {"NotAConstant", "int[0,3] n;\nconst int K = n;", "",
       "m.tck:2:15: the value of K must be a constant expression"},
      {"ArrayNeedsList", "int a[2] = 1;", "",
       "m.tck:1:12: the array a needs a list { ... } of 2 initial values"},
      {"RecordNeedsFields", "struct { int f; bool g; } r = {1};", "",
       "m.tck:1:31: the record r has 2 fields but 1 initial values"},
      {"ArrayTooLarge", "int a[64][65];", "", "m.tck:1:7: the array a has more than 4096 elements"},
      {"ArraySizedByInt", "int a[int];", "",
       "m.tck:1:7: the array a needs an index type of 1 .. 4096 values (a range, bool or a scalar "
       "set), not int[-32768,32767]"},
      {"FieldTwice", "struct { int f; bool f; } r;", "",
       "m.tck:1:22: the field f is declared twice"},
      {"ClockField", "struct { clock x; } r;", "", "m.tck:1:16: a record field cannot be a clock"},
      {"NoSuchField",
       "struct { int a; } r;\n" + Process(idle + "trans a -> b { assign r.b = 1; };"), "",
       "m.tck:6:25: the record r has no field b"},
      {"NotARecord", "int n;\n" + Process(idle + "trans a -> b { assign n.b = 1; };"), "",
       "m.tck:6:23: n is not a record"},
      {"NotAnArray", "int n;\n" + Process(idle + "trans a -> b { assign n[0] = 1; };"), "",
       "m.tck:6:23: n is not an array"},
      {"RecordAsValue",
       "struct { int a; } r;\nint n;\n" + Process(idle + "trans a -> b { assign n = r; };"), "",
       "m.tck:7:27: the record r needs a field (r.name)"},
      {"ArrayAsValue", "int a[2];\nint n;\n" + Process(idle + "trans a -> b { guard n == a; };"),
       "", "m.tck:7:27: the array a needs an index"},
      {"RecordOfOtherShape",
       "struct { int a; } r;\nstruct { int a; int b; } s;\n" +
           Process(idle + "trans a -> b { assign r = s; };"),
       "", "m.tck:7:27: r (a record) needs a value of the same type, not a record"},
      {"ScalarArithmetic",
       "typedef scalar[3] s_t;\ns_t p;\nint n;\n" +
           Process(idle + "trans a -> b { assign n = p + 1; };"),
       "",
       "m.tck:8:27: a scalar value can only be compared with == and !=, assigned and used as an "
       "index"},
      {"ScalarIndexOfIntArray",
       "typedef scalar[3] s_t;\ns_t p;\nint a[3];\n" +
           Process(idle + "trans a -> b { assign a[p] = 1; };"),
       "", "m.tck:8:25: a is indexed by integers, not by a scalar set"},
      {"BranchesOfTwoTypes",
       "typedef scalar[3] s_t;\ns_t p;\nint n;\n" +
           Process(idle + "trans a -> b { guard (n > 0 ? p : 1) == p; };"),
       "", "m.tck:8:29: the two branches of '?:' have different types"},
      {"CompoundOnBool", "bool f;\n" + Process(idle + "trans a -> b { assign f++; };"), "",
       "m.tck:6:23: '++' needs an integer variable"},
      {"NoEffect", "int n;\n" + Process(idle + "trans a -> b { assign n + 1; };"), "",
       "m.tck:6:25: an assignment, an increment or a call is needed here"},
      // Constant evaluation.
      {"DivisionByZero", "const int K = 4 / (2 - 2);", "",
       "m.tck:1:17: division by zero in a constant expression"},
      {"ShiftOutOfRange", "const int K = 1 << 32;", "",
       "m.tck:1:17: the shift count 32 is outside 0 .. 31"},
      {"ConstantOverflow", "const int K = 65536 * 65536;", "",
       "m.tck:1:21: the constant expression's value 4294967296 does not fit in 32 bits"},
      {"IndexOutOfRange", "int[0,1] a[2];\n" + Process(idle + "trans a -> b { guard a[2] == 0; };"),
       "", "m.tck:6:24: the index 2 is outside the array a (0 .. 1)"},
      {"IndexOutOfTypedRange",
       "typedef int[1,3] id_t;\nbool a[id_t];\n" + Process(idle + "trans a -> b { guard a[0]; };"),
       "", "m.tck:7:24: the index 0 is outside the array a (1 .. 3)"},
      // Select and quantifiers.
      {"SelectOverInt", Process(idle + "trans a -> b { select i : int; };"), "",
       "m.tck:5:23: a select needs a bounded type such as int[0,3], bool or a scalar set, not int"},
      {"SelectTooLarge", Process(idle + "trans a -> b { select i : int[0,99], j : int[0,99]; };"),
       "", "m.tck:5:38: the select of this edge stands for more than 4096 edges"},
      {"QuantifierOverRecord",
       "typedef struct { int a; } r_t;\nconst bool B = forall (i : r_t) true;", "",
       "m.tck:2:24: forall needs an integer range, bool or a scalar set, not a record"},
      {"QuantifierTooLarge", "const int S = sum (i : int[0,5000]) i;", "",
       "m.tck:1:20: sum ranges over 5001 values, more than 4096"},
      {"AssignToSelectName", Process(idle + "trans a -> b { select i : int[0,1]; assign i = 1; };"),
       "", "m.tck:5:44: cannot assign to the name i"},
      // Functions.
      {"Recursion", "int f(int x) { return f(x - 1); }", "",
       "m.tck:1:23: recursion is not supported: f calls itself"},
      {"FunctionArgumentCount", "int f(int x) { return x; }\nconst int K = f(1, 2);", "",
       "m.tck:2:15: f takes 1 arguments, 2 given"},
      {"NotAFunction", "int n;\nconst int K = n(1);", "",
       "m.tck:2:15: the variable n is not a function"},
      {"ReferenceArgumentNotAVariable", "void f(int &x) { x = 1; }\nvoid g() { f(2); }", "",
       "m.tck:2:14: the argument for the reference parameter x must be a variable, an array "
       "element or a record field"},
      {"ReferenceArgumentOfOtherType", "void f(int &x) { x = 1; }\nint[0,3] n;\nvoid g() { f(n); }",
       "",
       "m.tck:3:14: the argument (int[0,3]) does not match the type of the reference parameter x "
       "(int[-32768,32767])"},
      {"ConstantToReference", "const int K = 1;\nvoid f(int &x) { x = 1; }\nvoid g() { f(K); }", "",
       "m.tck:3:14: the argument for the reference parameter x must be a variable, an array "
       "element or a record field"},
      {"ConstantArrayToReference",
       "const int K[2] = {1, 2};\nvoid f(int x[2]) { x[0] = 1; }\nvoid g() { f(K); }", "",
       "m.tck:3:14: cannot pass the constant array K to the reference parameter x"},
      {"MissingReturnValue", "int f() { return; }", "", "m.tck:1:11: f must return a value"},
      {"VoidReturnsValue", "void f() { return 1; }", "",
       "m.tck:1:19: f is void: its return gives no value"},
      {"VoidAsValue", "void f() { }\nint n = f();", "",
       "m.tck:2:9: the call gives no value (its function is void)"},
      {"BreakOutsideLoop", "void f() { break; }", "", "m.tck:1:12: break outside a loop"},
      {"ClockParameter", "void f(clock &x) { }", "",
       "m.tck:1:15: a function's parameter cannot be a clock"},
      {"ClockLocal", "void f() { clock x; }", "", "m.tck:1:18: a function cannot declare a clock"},
      {"RecordResult", "typedef struct { int a; } r_t;\nr_t f() { r_t r; return r; }", "",
       "m.tck:2:1: a function returns an integer, a bool, a scalar value or nothing (void), not a "
       "record"},
      {"ForOverInt", "void f() { for (i : int) { } }", "",
       "m.tck:1:17: for (i : ...) needs a bounded type such as int[0,3], bool or a scalar set, "
       "not int[-32768,32767]"},
      {"AssignLoopName", "void f() { for (i : int[0,2]) { i = 1; } }", "",
       "m.tck:1:33: cannot assign to the variable i"},
      // Side effects where none may be.
      {"SideEffectInGuard", "int n;\n" + Process(idle + "trans a -> b { guard n++ > 0; };"), "",
       "m.tck:6:22: a guard cannot have side effects"},
      {"AssignmentInGuard", "int n;\n" + Process(idle + "trans a -> b { guard (n = 1) > 0; };"), "",
       "m.tck:6:23: a guard cannot have side effects"},
      {"CallWithSideEffectInGuard",
       "int n;\nbool f() { n = 1; return true; }\n" +
           Process(idle + "trans a -> b { guard f(); };"),
       "", "m.tck:7:22: a guard cannot have side effects"},
      {"CallWritingAReferenceInInvariant",
       "int n;\nbool f(int &y) { y = 1; return true; }\n" + Process("state a { f(n) };\ninit a;"),
       "", "m.tck:4:11: an invariant cannot have side effects"},
      {"ClockSetInFunction",
       "clock x;\nint n;\nvoid f() { n = 1; }\n" +
           Process(idle + "trans a -> b { guard (x = 1) > 0; };"),
       "", "m.tck:8:23: a guard cannot have side effects"},
      {"DeadlockInGuard", Process(idle + "trans a -> b { guard deadlock; };"), "",
       "m.tck:5:22: deadlock can only stand in a query"},
      {"SideEffectInSync",
       "int n;\nchan c[2];\n" + Process(idle + "trans a -> b { sync c[n++]!; };"), "",
       "m.tck:7:23: a sync cannot have side effects"},
      {"ClockSetInsideAValue", "int n;\n" + Process(idle + "trans a -> b { assign n = (x = 1); };"),
       "", "m.tck:6:28: a clock can only be set in an edge's assignments"},
      {"WholeRecordAsAValue",
       "struct { int a; } r, s;\nint n;\n" +
           Process(idle + "trans a -> b { assign n = (r = s) > 0; };"),
       "",
       "m.tck:7:28: a whole record or array can only be assigned in a statement or an edge's "
       "assignments"},
      {"ScalarFromInteger",
       "typedef scalar[2] s_t;\ns_t p;\nint n;\n" +
           Process(idle + "trans a -> b { assign p = n; };"),
       "", "m.tck:8:27: p needs a value of its scalar set"},
      {"RecordOfOtherShapeByValue",
       "struct { int a; } r;\nvoid f(struct { int a; bool b; } v) { }\nvoid g() { f(r); }", "",
       "m.tck:3:14: the argument (a record) does not match the parameter v (a record)"},
      {"ClockArrayNeedsIndex", "clock y[2];\n" + Process(idle + "trans a -> b { guard y > 1; };"),
       "", "m.tck:6:22: the clock array y needs an index"},
      {"ChannelArrayNeedsIndex", "chan c[2];\n" + Process(idle + "trans a -> b { sync c!; };"), "",
       "m.tck:6:21: the channel array c needs an index"},
      {"ClockIndexOutsideForASelectValue",
       "clock y[2];\n" + Process(idle + "trans a -> b { select i : int[0,2]; assign y[i] = 0; };"),
       "", "m.tck:6:44: the index of the clock lies outside its array"},
      {"VoidVariable", "void v;", "", "m.tck:1:6: a variable cannot be void"},
      {"InitialisedClock", "clock x = 1;", "", "m.tck:1:11: a clock cannot be initialised"},
      {"EmptyScalarSet", "typedef scalar[0] s_t;", "",
       "m.tck:1:9: the size of a scalar set (0) must lie in 1 .. 4096"},
      {"ContinueOutsideLoop", "void f() { if (true) continue; }", "",
       "m.tck:1:22: continue outside a loop"},
      {"ProcessFunctionOutsideQuery",
       "process P() { bool f() { return true; } state a; init a; trans a -> a { guard P.f(); }; "
       "}\nsystem P;",
       "", "m.tck:1:81: only a query may call a process's function (P.f(...))"},
      {"ProcessArgumentNotConstant", kModel, "E<> P(id).busy",
       "m.q:1:7: a process's argument must be a constant or a quantifier's name"},
      {"TooManyTermsOnceUnrolled",
       "int[0,2] a[2];\n" +
           Process(idle + "trans a -> b { guard forall (i : int[0,255]) forall (j : int[0,511]) "
                          "a[i % 2] != j; };"),
       "",
       "m.tck:6:22: the expression has more than 100000 terms once its calls are inlined and its "
       "quantifiers unrolled"},
      {"NestedTooDeeply",
       [] {
         std::string text = "typedef ";
         for (int k = 0; k < 300; ++k)
           text += "struct { ";
         return text;
       }(),
       "", "m.tck:1:1809: the expression is nested too deeply"},
      // What the checker cannot do exactly.
      // Queries.
      {"QueryWithoutKind", kModel, "P(1).busy",
       "m.q:1:1: a query starts with E<>, A[], A<> or E[], or is p --> q"},
      {"LeadsToAfterAKind", kModel, "\nA<> P(1).idle --> P(1).busy",
       "m.q:2:1: cannot check \"A<> P(1).idle --> P(1).busy\": --> stands between the two "
       "formulas of a leads-to query (p --> q), which has no A<>"},
      {"TwoArrows", kModel, "P(1).idle --> P(1).busy --> P(2).busy",
       "m.q:1:1: cannot check \"P(1).idle --> P(1).busy --> P(2).busy\": a leads-to query has "
       "one -->"},
      {"LeadsToWithoutSecondFormula", kModel, "P(1).idle -->",
       "m.q:1:14: expected an expression, found the end of the text"},
      {"LeadsToWithoutFirstFormula", kModel, "E<> P(1).idle\n--> P(1).busy",
       "m.q:1:1: cannot check \"E<> P(1).idle --> P(1).busy\": --> stands between the two "
       "formulas of a leads-to query (p --> q), which has no E<>"},
      {"UnknownNameInSecondFormula", kModel, "P(1).idle --> P(1).done",
       "m.q:1:20: unknown name P(1).done"},
      {"SideEffectInSecondFormula", kModel, "P(1).idle --> id++ > 0",
       "m.q:1:15: a query cannot have side effects"},
      {"UnknownProcess", kModel, "E<> P(3).busy", "m.q:1:5: no process is named P(3)"},
      {"LocalWithoutProcess", kModel, "E<> y > 1",
       "m.q:1:5: unknown name y (a process's own names are written Process.y)"},
      {"UnknownLocal", kModel, "E<> P(1).z > 1", "m.q:1:10: unknown name P(1).z"},
      {"SideEffectInQuery", kModel, "E<> id++ > 0", "m.q:1:5: a query cannot have side effects"},
      {"QuerySyntax", kModel, "E<> P(1).busy &&",
       "m.q:1:17: expected an expression, found the end of "
       "the text"},
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

std::optional<lang::Compilation> Compiled(const std::string& model,
                                          const std::string& queries = "") {
  std::vector<lang::Diagnostic> errors;
  std::optional<lang::Compilation> compiled = lang::Compile(
      {"m.tck", model},
      queries.empty() ? std::nullopt : std::optional<lang::SourceFile>({"m.q", queries}), errors);
  EXPECT_TRUE(errors.empty()) << errors[0].Format();
  return compiled;
}

TEST(CompilerTest, ConstantsFoldWithCPrecedence) {
  const std::pair<const char*, int32_t> rows[] = {
      {"1 + 2 * 3", 7},
      {"(1 + 2) * 3", 9},
      {"7 - 2 - 1", 4},
      {"-7 / 2", -3},
      {"-7 % 2", -1},
      {"1 < 2 == 1", 1},
      {"0 || 1 && 0", 0},
      {"1 ? 2 : 3 + 4", 2},
      {"0 imply 0 && 1", 1},
      {"not 1 || 1", 1},
      {"!0 + 1", 2},
      {"true + true", 2},
      {"2 > 1 and 3 or 0", 1},
      {"-(2 - 5) * -1", -3},
      {"1 == 2 ? 5 : 6 - 1", 5},
      {"1 << 4 | 3", 19},
      {"6 & 3 ^ 1", 3},
      {"~0 >> 1", -1},
      {"-9 >> 1", -5},
      {"1 + 1 << 2", 8},
      {"5 & 4 == 4", 1},
      {"sum (i : int[1,4]) i * i", 30},
      {"forall (i : bool) i", 0},
      {"exists (i : int[-2,2]) i * i == 4 && i < 0", 1}};
  for (const auto& [expression, value] : rows) {
    const std::optional<lang::Compilation> compiled = Compiled(
        std::string("int R = ") + expression + ";\nprocess P() { state a; init a; }\nsystem P;");
    ASSERT_TRUE(compiled) << expression;
    EXPECT_EQ(compiled->network.variables[0].initial, value) << expression;
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
    const lang::Term& target = process.edges[0].updates[0].operands[0];
    assigned.push_back(compiled->network.variables[static_cast<size_t>(target.value)].name);
  }
  EXPECT_EQ(assigned,
            (std::vector<std::string>{"R.n", "P(1,0).n", "P(1,1).n", "P(2,0).n", "P(2,1).n", "n"}));
}

// Records and arrays are laid out cell by cell, each cell a variable with its range, named by
// its indices (the values of the index type) and fields; nothing initialised starts at 0, or at
// its lower bound when the range does not hold 0.
TEST(CompilerTest, RecordsAndArraysAreCellsWithTheirRanges) {
  const std::optional<lang::Compilation> compiled = Compiled(
      "typedef int[1,2] id_t;\n"
      "typedef struct { int[-3,3] level; bool on[2]; } cell_t;\n"
      "cell_t c[id_t] = {{-1, {true, false}}, {2, {5, 0}}};\n"
      "int[2,4] m[2][2];\nint n;\nmeta int[-1,1] k;\n"
      "process P() { state a; init a; }\nsystem P;");
  ASSERT_TRUE(compiled);
  std::vector<std::string> variables;
  for (const VariableSpec& variable : compiled->model.variables) {
    variables.push_back(variable.name + ":" + std::to_string(*variable.min) + ".." +
                        std::to_string(*variable.max) + "=" + std::to_string(*variable.initValue));
  }
  EXPECT_EQ(variables, (std::vector<std::string>{
                           "c[1].level:-3..3=-1", "c[1].on[0]:0..1=1", "c[1].on[1]:0..1=0",
                           "c[2].level:-3..3=2", "c[2].on[0]:0..1=1", "c[2].on[1]:0..1=0",
                           "m[0][0]:2..4=2", "m[0][1]:2..4=2", "m[1][0]:2..4=2", "m[1][1]:2..4=2",
                           "n:-32768..32767=0", "k:-1..1=0"}));
  EXPECT_EQ(compiled->model.format, 2);
}

// Scalar sets behave as ranges of values here; the network records what holds, indexes and
// instantiates them, for the symmetry of their values.
TEST(CompilerTest, ScalarSetsAreRecorded) {
  const std::optional<lang::Compilation> compiled = Compiled(
      "typedef scalar[2] pid_t;\npid_t owner;\nbool ready[pid_t];\nchan go[pid_t];\n"
      "process P(const pid_t me) { state a; init a;\n"
      "  trans a -> a { guard owner != me && !ready[me]; sync go[me]!; assign owner = me; }; }\n"
      "system P;");
  ASSERT_TRUE(compiled);
  ASSERT_EQ(compiled->network.scalars.size(), 1u);
  const lang::ScalarSet& set = compiled->network.scalars[0];
  EXPECT_EQ(set.name, "pid_t");
  EXPECT_EQ(set.size, 2);
  EXPECT_EQ(set.variables, (std::vector<int32_t>{0}));
  ASSERT_EQ(set.arrays.size(), 2u);
  EXPECT_EQ(set.arrays[0].kind, lang::ScalarSet::Indexed::Kind::kVariables);
  EXPECT_EQ(set.arrays[0].first, 1);
  EXPECT_EQ(set.arrays[1].kind, lang::ScalarSet::Indexed::Kind::kChannels);
  EXPECT_EQ(set.processes, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 1}}));
}

// An edge with select stands for one edge per combination of values, the last name fastest;
// each jump remembers its source edge and values.
TEST(CompilerTest, SelectGivesOneEdgePerCombination) {
  const std::optional<lang::Compilation> compiled = Compiled(
      "int[0,5] n;\nbroadcast chan b;\n"
      "process P() { state a; init a; trans a -> a { sync b!; },\n"
      "  a -> a { select i : int[0,1], j : bool; guard i + j > 0; assign n = 2 * i + j; }; }\n"
      "process Q() { state a, c; init a; trans c -> c { sync b?; }; }\n"
      "system P, Q;");
  ASSERT_TRUE(compiled);
  std::vector<std::string> edges;
  for (const lang::Edge& edge : compiled->network.processes[0].edges) {
    std::string values;
    for (int32_t value : edge.selectValues)
      values.append(" ").append(std::to_string(value));
    edges.push_back(std::to_string(edge.source) + ":" + values);
  }
  EXPECT_EQ(edges, (std::vector<std::string>{"0:", "1: 0 0", "1: 0 1", "1: 1 0", "1: 1 1"}));
  // i + j > 0 folds to false for (0, 0): that edge makes no jump.
  EXPECT_EQ(compiled->origins[0],
            (std::vector<lang::JumpOrigin>{{0, {}}, {1, {0, 1}}, {1, {1, 0}}, {1, {1, 1}}}));
  EXPECT_EQ(compiled->origins[1], (std::vector<lang::JumpOrigin>{{0, {}}}));
}

// Queries may span lines, with comments anywhere; each becomes one property of its kind.
TEST(CompilerTest, QueriesSpanLinesBetweenComments) {
  const std::optional<lang::Compilation> compiled = Compiled(
      "int[0,2] id;\nint[0,3] a[2];\n"
      "process P(const int[1,2] pid) { int y; state idle, busy; init idle;\n"
      "  trans idle -> busy { assign id = pid; }; }\nsystem P;",
      "// first\nE<> P(1).busy &&\n   P(2).busy /* both */\n\n"
      "/* second */ A[] id <= 2 // bound\n"
      "E<> forall (i : int[1,2]) P(i).idle && a[id] == P(1).y\n");
  ASSERT_TRUE(compiled);
  std::vector<std::string> queries;
  for (const lang::Query& query : compiled->queries) {
    queries.push_back(std::to_string(query.pos.line) + ":" + std::to_string(query.pos.column) +
                      " " + query.text);
  }
  EXPECT_EQ(queries, (std::vector<std::string>{
                         "2:1 E<> P(1).busy && P(2).busy", "5:14 A[] id <= 2",
                         "6:1 E<> forall (i : int[1,2]) P(i).idle && a[id] == P(1).y"}));
  ASSERT_EQ(compiled->model.properties.size(), 3u);
  EXPECT_EQ(compiled->model.properties[0].type, 0);
  EXPECT_EQ(compiled->model.properties[1].type, 1);
  EXPECT_TRUE(compiled->model.properties[2].expression.has_value());
}

TEST(CompilerTest, LivenessQueriesBecomeLivenessProperties) {
  // A leads-to starts a line; its --> may begin the next one. A clock that only the second
  // formula compares still counts for the clock's Max.
  const std::optional<lang::Compilation> compiled = Compiled(
      "int[0,2] id;\n"
      "process P(const int[1,2] pid) { clock x; state idle, busy { x <= 3 }; init idle;\n"
      "  trans idle -> busy { assign id = pid, x = 0; }, busy -> idle { guard x >= 2; }; }\n"
      "system P;",
      "E[] id <= 1\nA<> P(2).busy\nP(1).idle\n  --> /* then */ P(1).busy &&\n  P(1).x > 6\n"
      "P(2).busy --> id == 2\n");
  ASSERT_TRUE(compiled);
  std::vector<std::string> queries;
  for (const lang::Query& query : compiled->queries) {
    queries.push_back(std::to_string(query.pos.line) + ":" + std::to_string(query.pos.column) +
                      " " + query.text);
  }
  EXPECT_EQ(queries, (std::vector<std::string>{"1:1 E[] id <= 1", "2:1 A<> P(2).busy",
                                               "3:1 P(1).idle --> P(1).busy && P(1).x > 6",
                                               "6:1 P(2).busy --> id == 2"}));
  std::vector<std::string> properties;
  for (const PropertySpec& property : compiled->model.properties) {
    properties.push_back(std::to_string(property.type.value_or(-1)) + " " +
                         std::to_string(property.liveness.value_or(0)) + " " +
                         (property.expression ? "p" : "-") + (property.thenExpression ? "q" : "-"));
  }
  EXPECT_EQ(properties, (std::vector<std::string>{"2 1 p-", "2 2 p-", "2 3 pq", "2 3 pq"}));
  const auto clock =
      std::find_if(compiled->model.variables.begin(), compiled->model.variables.end(),
                   [](const VariableSpec& variable) { return variable.name == "P(1).x"; });
  ASSERT_NE(clock, compiled->model.variables.end());
  EXPECT_EQ(clock->max, 7);
}

}  // namespace
}  // namespace tickcheck
