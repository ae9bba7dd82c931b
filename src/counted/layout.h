// Whether the line translator writes a model as the front end reads it.
//
// The line translator works on lines, not on the syntax: a header is a
// section keyword in the first column, Proc is replaced wherever it stands
// in the lines of VAR and ASSIGN sections, a statement naming [Proc] is
// repeated whole for each process, as far as the first line with a ';', and
// a line of a SPEC section that mentions FORALL is written as its instances.
// A model is counted only when these readings agree with the front end's;
// the rules below are stricter than the translator, never looser.
#pragma once

#include "smv/syntax.h"

namespace ruvello::counted {

// Refuses the model, naming the line, where the line translator would write
// something else than what the front end reads.
void require_translator_layout(const smv::Model& model);

}  // namespace ruvello::counted
