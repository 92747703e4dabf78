#pragma once
// The models and expectations that the tests of stopped runs share: SIGINT (interrupt_test) and
// a reached resource limit (limits_test) end the search the same way.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "model/model_writer.h"
#include "support/model_files.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck::testing {

// Writes Fischer's protocol for 10 processes, whose search takes about a minute, to `dir` as
// model.txt, with report files that hold an earlier run's lines.
inline void WriteLongFischerBesideOldReports(const TempDir& dir) {
  WriteModel(dir, FischerModel(10, 2, 2), "model.txt");
  WriteFile(dir.File("model.txt-----cuddManagerInfo.txt"), "an earlier run's manager report\n");
  WriteFile(dir.File("model.txt------modelInfo.txt"), "an earlier run's model report\n");
}

// A stopped run leaves the earlier run's reports as they were.
inline void ExpectOldReportsKept(const TempDir& dir) {
  EXPECT_EQ(ReadFile(dir.File("model.txt-----cuddManagerInfo.txt")),
            "an earlier run's manager report\n");
  EXPECT_EQ(ReadFile(dir.File("model.txt------modelInfo.txt")), "an earlier run's model report\n");
}

// The console of that model's run stopped in its search: property 1 (mutual exclusion violated)
// and 3 (an invariant that holds) cannot be decided before the search ends; property 2 may have
// been found already. Group 2 is the count of stored states.
inline const std::regex& StoppedFischerConsole() {
  static const std::regex console(
      "(.|\n)*begin checking\n"
      "DsState Number in pastList:\t([0-9]+)\n"
      "property1 : unknown\nproperty2 : (1|unknown)\nproperty3 : unknown\n"
      "execute time:[0-9]+\ntransrule size:[0-9]+\n"
      "composition destruct end\ndestruct system\n");
  return console;
}

// Fischer's protocol for 2 processes with delays of 4000 ticks: its property 2 (found true) and a
// leads-to, true, whose states are visited tick by tick, which takes long and much memory.
inline ModelSpec SlowLivenessModel() {
  ModelSpec model = FischerModel(2, 4000, 3999);
  const AtomSpec req{.negated = 0, .variable = -1, .bound = 2};
  const AtomSpec wait{.negated = 0, .variable = -1, .bound = 3};
  model.properties = {model.properties[1],
                      {.type = 2, .atoms = {req}, .liveness = 3, .thenAtoms = {wait}}};
  return model;
}

}  // namespace tickcheck::testing
