// Section [Symmetry]: what the loader refuses (one line per malformed key) and what it leaves out
// because the model does not bear it out.
#include "model/symmetry.h"

#include <gtest/gtest.h>

#include <memory>

#include "model/expression_builder.h"
#include "support/model_files.h"

namespace tickcheck {
namespace {

using testing::TempDir;

// Two processes P1, P2 of one shape: id (0 .. 2, variable 1) holds an identity; member k owns
// c_k (variables 2, 3), the clock x_k (4, 5) and channel k; its jump l1 -> l2 sends on channel k,
// needs id == k and sets id := k, x_k := 0.
ModelSpec Model() {
  ModelSpec model;
  model.format = 2;
  model.variables = {{.name = "id", .type = 0, .initValue = 0, .min = 0, .max = 2},
                     {.name = "c1", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "c2", .type = 0, .initValue = 0, .min = 0, .max = 3},
                     {.name = "x1", .type = 1, .initValue = 0, .min = 0, .max = 2},
                     {.name = "x2", .type = 1, .initValue = 0, .min = 0, .max = 2}};
  model.expressions = {{0, Expr::Op(ExpType::kEqual, Expr::Var(1), Expr::Const(1)).Compile()},
                       {1, Expr::Op(ExpType::kEqual, Expr::Var(1), Expr::Const(2)).Compile()},
                       {2, Expr::Const(1).Compile()},
                       {3, Expr::Const(2).Compile()},
                       {4, Expr::Const(0).Compile()}};
  model.constraints = {{0}, {1}};
  for (int32_t k = 1; k <= 2; ++k) {
    ProcessSpec process{.name = std::string("P").append(std::to_string(k)), .initLocation = 1};
    process.locations = {{.name = "l1", .activeClocks = {{3 + k, 1, 1}}}, {.name = "l2"}};
    process.jumps = {{.from = 1,
                      .to = 2,
                      .guard = k,
                      .syn = k,
                      .synType = 1,
                      .assignments = {{1, k + 1}, {3 + k, 4}}}};
    model.processes.push_back(process);
  }
  model.symmetry = {{.name = "P",
                     .members = {{.process = 1, .value = 1, .own = {2, 4}, .channels = {1}},
                                 {.process = 2, .value = 2, .own = {3, 5}, .channels = {2}}},
                     .identities = {1}}};
  return model;
}

class SymmetryLoadTest : public ::testing::Test {
 protected:
  std::string Load(const ModelSpec& model) {
    const std::string path = testing::WriteModel(dir_, model);
    system_ = std::make_unique<CSystem>();
    const std::optional<Refusal> refusal = testing::LoadModelFile(*system_, path, &console_, true);
    return refusal ? refusal->line : "";
  }

  TempDir dir_;
  std::unique_ptr<CSystem> system_;
  std::string console_;
};

TEST_F(SymmetryLoadTest, ASetThatTheModelBearsOutIsKept) {
  ASSERT_EQ(Load(Model()), "");
  ASSERT_EQ(system_->symmetry.size(), 1u);
  EXPECT_EQ(system_->symmetry[0].identities, std::vector<int32_t>{1});
  EXPECT_TRUE(system_->symmetryNotes.empty());
}

TEST_F(SymmetryLoadTest, MalformedKeysRefuseTheModel) {
  struct Case {
    const char* what;
    void (*change)(SymmetrySetSpec&);
    const char* line;
  };
  const std::vector<Case> cases = {
      {"one member", [](SymmetrySetSpec& s) { s.members.pop_back(); },
       "[Symmetry] Set1=1: a set needs at least two members (Process1-1, ...)"},
      {"no such process", [](SymmetrySetSpec& s) { s.members[1].process = 9; },
       "[Symmetry] Process1-2=9: not a process of the model, or a member twice"},
      {"a process twice", [](SymmetrySetSpec& s) { s.members[1].process = 1; },
       "[Symmetry] Process1-2=1: not a process of the model, or a member twice"},
      {"one identity twice", [](SymmetrySetSpec& s) { s.members[1].value = 1; },
       "[Symmetry] Value1-2=1: the identity of two members"},
      {"no such variable", [](SymmetrySetSpec& s) { s.members[0].own[0] = 9; },
       "[Symmetry] Own1-1-1=9: not an integer variable or a clock"},
      {"a variable of two members", [](SymmetrySetSpec& s) { s.members[1].own[0] = 2; },
       "[Symmetry] Own1-2-1=2: the own variable of two members"},
      {"roles that differ",
       [](SymmetrySetSpec& s) { std::swap(s.members[1].own[0], s.members[1].own[1]); },
       "[Symmetry] Own1-2-1=5: not of the type, Min and Max of member 1's variable c1"},
      {"more own variables", [](SymmetrySetSpec& s) { s.members[0].own.pop_back(); },
       "[Symmetry] Own1-2-2=5: member 1 has fewer own variables"},
      {"fewer own variables", [](SymmetrySetSpec& s) { s.members[1].own.pop_back(); },
       "[Symmetry] Process1-2=2: a member with another number of own variables than member 1"},
      {"a clock for identities", [](SymmetrySetSpec& s) { s.identities = {4}; },
       "[Symmetry] Identity1-1=4: not an integer variable"},
      {"no such channel", [](SymmetrySetSpec& s) { s.members[0].channels[0] = 0; },
       "[Symmetry] Channel1-1-1=0: not a channel"},
      {"a channel of two members", [](SymmetrySetSpec& s) { s.members[1].channels[0] = 1; },
       "[Symmetry] Channel1-2-1=1: the own channel of two members"},
      {"fewer own channels", [](SymmetrySetSpec& s) { s.members[1].channels.clear(); },
       "[Symmetry] Process1-2=2: a member with another number of own channels than member 1"},
      {"an urgent channel in the role of one that is not",
       [](SymmetrySetSpec& s) { s.members[1].channels[0] = 3; },
       "[Symmetry] Channel1-2-1=3: urgent where member 1's channel 1 is not, or the reverse"},
  };
  for (const Case& c : cases) {
    ModelSpec model = Model();
    model.urgentChannels = {3};
    model.processes[1].jumps.push_back({.from = 2, .to = 1, .syn = 3, .synType = 1});
    c.change(model.symmetry[0]);
    EXPECT_EQ(Load(model), std::string("ERROR! Model refused: ") + c.line) << c.what;
  }
}

TEST_F(SymmetryLoadTest, ASetThatTheModelDoesNotBearOutIsLeftOut) {
  struct Case {
    const char* what;
    void (*change)(ModelSpec&);
    const char* note;
  };
  const std::vector<Case> cases = {
      {"P2 sets another clock bound",
       [](ModelSpec& m) { m.processes[1].locations[0].activeClocks[0].U = 2; },
       "process P1 is not matched when P1 and P2 are exchanged"},
      {"P2 assigns its own counter a constant",
       [](ModelSpec& m) {
         m.processes[1].jumps[0].assignments[0] = {3, 3};
       },
       "process P1 is not matched when P1 and P2 are exchanged"},
      {"P2 sends on P1's channel", [](ModelSpec& m) { m.processes[1].jumps[0].syn = 1; },
       "process P1 is not matched when P1 and P2 are exchanged"},
      {"id starts at an identity", [](ModelSpec& m) { m.variables[0].initValue = 1; },
       "the initial value of id is not exchanged with P1 and P2"},
      {"id in arithmetic",
       [](ModelSpec& m) {
         m.expressions[2] = Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Const(1)).Compile();
       },
       "id is not used only as an identity (a jump of P1)"},
  };
  for (const Case& c : cases) {
    ModelSpec model = Model();
    c.change(model);
    ASSERT_EQ(Load(model), "") << c.what;
    EXPECT_TRUE(system_->symmetry.empty()) << c.what;
    ASSERT_EQ(system_->symmetryNotes.size(), 1u) << c.what;
    EXPECT_NE(system_->symmetryNotes[0].find(c.note), std::string::npos)
        << c.what << ": " << system_->symmetryNotes[0];
  }
}

}  // namespace
}  // namespace tickcheck
