#pragma once
// The load-time checks that only model files of format 2 (`[General] Format=2`) get, besides the
// check of each record's tree (model/expression_program.h): integer variables with a proper range
// and an initial value inside it, records that name variables as what their nodes need, and
// expressions used where they may not write or ask for a deadlock.

#include <cstdint>
#include <optional>
#include <string>

#include "model/messages.h"
#include "model/refusal.h"
#include "model/system.h"

namespace tickcheck {

// The refusal of integer variable `variable` (id `id`) when its Min is above its Max
// ("ERROR! Model refused: [Variable] Min<id>=<Min>: variable <name> has Min above its Max <Max>")
// or its initial value lies outside Min .. Max ("ERROR! Model refused: [Variable]
// InitValue<id>=<value>: variable <name> starts outside its range <Min> .. <Max>").
std::optional<Refusal> CheckFormat2Variable(const CVariable& variable, int32_t id);

// Refuses (ExpressionTable::Refuse, its line to `messages`) every loaded record whose array reads
// and writes name elements, or whose assignments name a target, that are not integer variables of
// the model.
void CheckFormat2Records(CSystem& system, MessageSink& messages);

// The refusal of a model whose guard or invariant writes a variable, whose guard, invariant or
// assignment asks whether the state is a deadlock (which only properties may), or which reads a
// clock other than as the compared variable of a guard or invariant comparison (so that a run-time
// error never depends on a delay): "ERROR! Model refused: process <p> (<name>) location <l>
// (<name>), invariant|guard of its jump <j>|assignment <n> of its jump <j>: expression <e> writes
// a variable; ...|asks for a deadlock, ...|reads clock <x> ...".
std::optional<Refusal> CheckFormat2Uses(const CSystem& system);

// Why expression `id` cannot be a property, or "": it is not loaded, writes a variable, or reads
// a clock other than as the left side of a comparison (1 to 6).
std::string PropertyExpressionProblem(const CSystem& system, int32_t id);

}  // namespace tickcheck
