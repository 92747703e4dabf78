#pragma once
// The records of a loaded model: one CSystem holds the processes (timed automata) with their
// locations and jumps, the declared variables and clocks, the expression table and the
// properties. Every cross-reference is a plain number: variable ids and process numbers are
// 1-based positions, location ids are 1-based within their process, expression ids are 0-based
// indices into the expression table. The model loader fills the records; later stages only read
// them: what they derive (the encoding, the clock limits) are objects of their own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/expression_table.h"
#include "model/messages.h"
#include "model/profile.h"
#include "model/property.h"
#include "model/refusal.h"

namespace tickcheck {

// Bounds of one active clock in one location, from the keys ".L" and ".U" (-1 when missing).
struct LUBound {
  int32_t clockId = 0;
  int32_t L = -1;
  int32_t U = -1;
  bool operator==(const LUBound&) const = default;
};

// Variable `varId` takes the value of expression `expId`; with varId 0 (format 2 only, an
// effect) the expression is run for what it writes into the target state.
struct Assignment {
  int32_t varId = 0;
  int32_t expId = -1;
  bool operator==(const Assignment&) const = default;
};

struct CJump {
  int32_t number = 0;  // its number m in section [Jump<p>] (From<m>, To<m>, ...)
  int32_t From = -1;
  int32_t To = -1;
  int32_t Syn = -1;      // channel; greater than 0 makes the jump synchronising
  int32_t SynType = -1;  // 0: only receives; 1: only sends; anything else: both
  bool Broadcast = false;
  bool iUrgent = false;
  bool noGuard = true;
  std::vector<Assignment> assignments;
  std::vector<int32_t> guardExpIds;    // conjunction of comparison expressions
  std::vector<int32_t> resetClockIds;  // the assigned variables that are clocks, in order
  bool operator==(const CJump&) const = default;
};

struct CLocation {
  bool noInvariant = true;
  // Key "Committed<l>=1": while a process is here no time passes, and the next transition must
  // have a participant that leaves a committed location.
  bool committed = false;
  // Key "Urgent<l>=1": while a process is here no time passes.
  bool urgent = false;
  bool allUAtMostL = true;  // false when some active clock has U greater than L
  std::string Name;
  std::vector<int32_t> activeClocks;     // ascending; equal ids keep their listing order
  std::vector<CJump> jumps;              // the jumps leaving this location, in file order
  std::vector<int32_t> invariantExpIds;  // conjunction of comparison expressions
  std::vector<LUBound> luBounds;         // entry k belongs to activeClocks[k]
  bool operator==(const CLocation&) const = default;
};

struct CProcess {
  std::string ProcessName;
  int32_t InitLocation = -1;
  int32_t locationCount = 0;
  std::vector<CLocation> locations;
  std::vector<int32_t> broadcastChannels;  // Syn of every broadcast jump, in load order
  bool operator==(const CProcess&) const = default;
};

struct CVariable {
  std::string Name;
  int32_t Max = -1;
  int32_t Min = -1;
  int32_t ownerProcess = 0;  // process number of the last location listing it as active clock
  int32_t Type = -1;         // 0 integer variable, 1 clock, 3 accepted third kind
  int32_t InitValue = -1;
  // BitLength(Max); for an integer variable of a format-2 model BitLength(Max - Min).
  int32_t bitWidth = 0;
  // What the encoding subtracts from a value: Min for an integer variable of a format-2 model,
  // else 0. States always hold the true value.
  int32_t encodingOffset = 0;
  // Integer variables only: the position of the variable's value among a state's integer values,
  // which follow the declaration order of the integer variables.
  int32_t intValueIndex = -1;
  bool operator==(const CVariable&) const = default;
};

// Variable types.
namespace VarType {
inline constexpr int32_t kInteger = 0;
inline constexpr int32_t kClock = 1;
inline constexpr int32_t kOther = 3;
}  // namespace VarType

// The number of times `max` can be halved (arithmetic shift right) before it reaches 0: 0 for 0,
// 1 for 1, 2 for 2 and 3, 31 for 2147483647. A negative `max` (a missing key reads -1) has no
// bit length; it gets width 0, so such a variable can only hold the value 0.
int32_t BitLength(int32_t max);
// The bit length of a span of values Max - Min (0 .. 4294967295): 32 for the whole int32 range.
int32_t SpanBitLength(int64_t span);

// A loop of a format-2 model's expressions, for the message of the loop bound: section "Loops",
// keys "Function<k>" and "Line<k>" for loop id k.
struct LoopSource {
  std::string function;
  int32_t line = -1;
  bool operator==(const LoopSource&) const = default;
};

// A set of interchangeable processes (format 2, section [Symmetry]; model/symmetry.h says what
// it means): per member its process number (1-based), its identity value, its own variables and
// its own channels, in roles that correspond from member to member; and the variables that hold
// the set's identities.
struct SymmetryMember {
  int32_t process = 0;
  int32_t value = 0;
  std::vector<int32_t> own;
  std::vector<int32_t> channels;  // Syn numbers
  bool operator==(const SymmetryMember&) const = default;
};
struct SymmetrySet {
  std::string name;
  std::vector<SymmetryMember> members;
  std::vector<int32_t> identities;
  bool operator==(const SymmetrySet&) const = default;
};

class CSystem {
 public:
  CSystem() = default;
  CSystem(const CSystem&) = delete;
  CSystem& operator=(const CSystem&) = delete;

  // Fills processes, variables and the expression table from the model file `file` (a refused
  // expression record's line goes to `messages`, after "expNum:<count>"). Answers nothing, or the
  // refusal of the model with the line that says why: a variable Type other than 0, 1 and 3
  // ("Variable Type Error!", nothing later is read), more than 65534 processes, an active clock
  // that names no clock, a jump whose From names no location of its process, an assignment to no
  // variable, an expression id (of a constraint or an assignment) outside the table, or a clock
  // compared in an invariant or guard with != or a code outside 1 to 6. The answers are those of
  // one lookup per key. A format-2 model (model/format2.h says what else it checks) may also be
  // refused for a [General] Format other than 1 and 2, an integer variable with Min above Max or
  // an initial value outside its range, and a guard or invariant that writes a variable.
  std::optional<Refusal> Load(const ProfileIndex& file, MessageSink& messages);

  // Fills `properties` and `propertyCount` from the model file; call after Load. An atom with an
  // invalid relation writes "ERROR! In Load atom relation!" to `messages`. A format-2 model is
  // refused when an expression property names no loaded expression or one that writes a
  // variable or reads a clock other than as the left side of a comparison.
  std::optional<Refusal> LoadProperties(const ProfileIndex& file, MessageSink& messages);

  // Sets `locationProduct` to the product of all processes' location counts, in signed 32-bit
  // arithmetic that wraps, and returns it; 1 with no process.
  int32_t computeLocationProduct();

  std::vector<CProcess> processes;
  std::vector<CVariable> variables;
  std::vector<CProperty> properties;
  // [General] Format: 1 (the key missing) or 2.
  int32_t format = 1;
  // Format 2: the loops' sources by loop id (entry k - 1 for id k), up to the first missing one.
  std::vector<LoopSource> loops;
  // Format 2: the sets of interchangeable processes, none when the file has no [Symmetry].
  std::vector<SymmetrySet> symmetry;
  // Format 2: why sets of [Symmetry] were left out (model/symmetry_check.h), one line each.
  std::vector<std::string> symmetryNotes;
  int32_t processNumber = 0;
  int32_t clockCount = 0;
  int32_t intVarCount = 0;
  int32_t otherVarCount = 0;
  int32_t locationProduct = 0;
  int32_t expressionCount = 0;
  ExpressionTable expressions;
  int32_t propertyCount = 0;
  // Key "[Channels] Urgent<c>=1", read for every channel that a jump names: no time passes while
  // a transition synchronising on one of these channels can be taken. Ascending.
  std::vector<int32_t> urgentChannels;
  // Key "[General] BroadcastRule=1": a broadcast takes, in every other process, one of its
  // receiving jumps whose guard holds, and leaves out the processes with none (see
  // compose/composition.h); otherwise every listening process takes its first jump on the channel.
  bool usualBroadcast = false;

  // Whether channel `channel` is urgent.
  bool IsUrgentChannel(int32_t channel) const;
  // Whether some location is committed or urgent, or some channel urgent: without them time
  // passes as the invariants allow.
  bool HasTimeStops() const;
  // Whether the expression of property `property` (0-based) asks for a deadlock (node 240).
  bool AsksDeadlock(size_t property) const;
  // Whether some property's expression asks for a deadlock.
  bool AnyAsksDeadlock() const;
};

}  // namespace tickcheck
