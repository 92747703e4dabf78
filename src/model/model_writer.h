#pragma once
// Makes a complete model file from an in-memory description: the sections and keys that the
// model loader, the constraint loader, the expression table and the property loader read, with
// every expression as its binary record. Every optional field that is unset is left out of the
// file, so a description can also stand for a model with missing keys. The bytes are read back
// through the profile reader's index before anyone sees them: every written key must read back
// to what was written and every list must end where the description ends, otherwise the file
// fails with a message.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/expression_record.h"

namespace tickcheck {

struct VariableSpec {
  std::string name{};
  std::optional<int32_t> type{};
  std::optional<int32_t> initValue{};
  std::optional<int32_t> min{};
  std::optional<int32_t> max{};
};

// An "ActiveClock" entry of a location, with the clock's ".L" and ".U" bounds there.
struct ActiveClockSpec {
  int32_t clock = 0;
  std::optional<int32_t> L{};
  std::optional<int32_t> U{};
};

struct LocationSpec {
  std::string name{};
  std::vector<ActiveClockSpec> activeClocks{};
  std::optional<int32_t> invariant{};  // constraint number; 0 or unset: none
  std::optional<int32_t> committed{};  // key Committed<l>; 1: committed
  std::optional<int32_t> urgent{};     // key Urgent<l>; 1: urgent
};

struct AssignmentSpec {
  int32_t variable = 0;
  std::optional<int32_t> expression{};
};

struct JumpSpec {
  int32_t from = 1;
  std::optional<int32_t> to{};
  std::optional<int32_t> guard{};  // constraint number; 0 or unset: none
  std::optional<int32_t> urgent{};
  std::optional<int32_t> syn{};
  std::optional<int32_t> synType{};
  std::optional<int32_t> broadcast{};
  std::vector<AssignmentSpec> assignments{};
};

struct ProcessSpec {
  std::optional<std::string> name{};
  std::optional<int32_t> initLocation{};
  std::vector<LocationSpec> locations{};
  std::vector<JumpSpec> jumps{};
};

// One atom of a property: keys K, N, V, B and R; K is written with value 1.
struct AtomSpec {
  std::optional<int32_t> negated{};
  std::optional<int32_t> variable{};  // > 0 a variable id; <= 0 a location atom of process -V
  std::optional<int32_t> bound{};     // the bound, or the location of a location atom
  std::optional<int32_t> relation{};  // as the file writes it: 1 ==, 2 >, 3 >=, 4 <, 5 <=, 6 !=
};

struct PropertySpec {
  std::optional<int32_t> type{};  // 0 reachability, 1 invariance, 2 liveness
  std::vector<AtomSpec> atoms{};
  // Format 2: key "Expr<i>", the id of the expression that is the property (atoms left empty).
  std::optional<int32_t> expression{};
  // Key "Liveness<i>" (model/property.h): 1 E[], 2 A<>, 3 leads-to.
  std::optional<int32_t> liveness{};
  // The second formula of a leads-to: atoms "<i>-2-<j>", or (format 2) key "Expr<i>-2".
  std::vector<AtomSpec> thenAtoms{};
  std::optional<int32_t> thenExpression{};
};

// Format 2: a loop's source for the message of the loop bound ([Loops] Function<k>, Line<k>).
struct LoopSpec {
  std::string function{};
  int32_t line = 0;
};

// Format 2: a set of interchangeable processes ([Symmetry], model/symmetry.h).
struct SymmetryMemberSpec {
  int32_t process = 0;
  int32_t value = 0;
  std::vector<int32_t> own{};
  std::vector<int32_t> channels{};  // Channel<s>-<k>-<j>, none written when empty
};
struct SymmetrySetSpec {
  std::string name{};
  std::vector<SymmetryMemberSpec> members{};
  std::vector<int32_t> identities{};
};

struct ModelSpec {
  std::optional<int32_t> processNumber{};  // unset: the number of processes described
  std::optional<int32_t> format{};         // [General] Format; unset: not written (format 1)
  std::optional<int32_t> broadcastRule{};  // [General] BroadcastRule; 1: the usual rule
  std::vector<VariableSpec> variables{};
  std::vector<ProcessSpec> processes{};
  std::vector<int32_t> urgentChannels{};  // [Channels] Urgent<c>=1 for each channel c listed
  std::vector<std::vector<int32_t>> constraints{};    // constraint n is entry n - 1
  std::optional<int32_t> totalExpNum{};               // unset: one more than the highest index
  std::map<int32_t, ExpressionRecord> expressions{};  // by expression index
  std::optional<int32_t> propertyNum{};               // unset: the number of properties described
  std::vector<PropertySpec> properties{};
  std::vector<LoopSpec> loops{};            // loop id k is entry k - 1; empty: no [Loops] section
  std::vector<SymmetrySetSpec> symmetry{};  // empty: no [Symmetry] section
};

// The bytes of the model file of `model`, verified.
struct ModelFileText {
  std::string bytes;    // the file, when `failure` is empty
  std::string failure;  // otherwise what did not read back, in one line
};
ModelFileText ComposeModelFile(const ModelSpec& model);

// Writes the verified bytes of `model` to `path`. Returns an empty string on success, otherwise a
// one-line description of what failed.
std::string WriteModelFile(const ModelSpec& model, const std::string& path);

}  // namespace tickcheck
