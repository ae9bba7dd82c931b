// The class of models counted for every N, and what a model of it is made of.
//
// A model is in the class when its N processes are identical instances of
// one module, declared once as p[Proc] : transition m(...), that interact
// only through shared variables of main:
// - each argument is Proc (the process's number), the process's own
//   variable x[Proc], a shared variable of main or a constant;
// - every type is finite and independent of N, but for a shared array
//   a : array 1 .. N of T of main, whose element k belongs to process k: it
//   is counted as part of process k's local state, read as a[id], and
//   written by a statement for every process, next(a[Proc]) := ..., which
//   moves the acting process's element and, as a broadcast, every other's;
// - main gives initial values only; nothing constrains the model but TRANS
//   of the process module of the form (running & g) -> c, repeated for every
//   process when c reads a[Proc]: g fires only when every process k
//   satisfies c (a guard over all other processes);
// - every variable that may change is assigned by next in the process
//   module (NuSMV leaves any other free at every step);
// - a process number is only compared, = or !=, between the process's own
//   number, a shared variable of type Proc or 1 .. N, and an input of the
//   process module of type 1 .. N; such a shared variable is only given the
//   process's own number, the input's, or the value of such a variable (a
//   "holder" variable);
// - the input of type 1 .. N, at most one, picks the acting process or
//   another one: the step may read the picked process's elements, a[y], and
//   move it by next(a[Proc]) for Proc = y, or give it a holder variable;
// - fairness is FAIRNESS running, or none.
// Anything else, or anything not understood, puts the model outside.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "counted/values.h"
#include "smv/syntax.h"

namespace ruvello::counted {

enum class Role {
    own,     // a variable of each process: x[Proc] of main, or declared in the process module
    shared,  // a variable of main, the same for all processes
    holder,  // a shared variable of type Proc: which process it names
    input,   // an IVAR of the process module
    pick,    // an IVAR of the process module of type 1 .. N: the acting process or another one
};

struct Variable {
    std::string_view name;  // as main names it, or as the process module declares it
    Role role = Role::own;
    bool per_process = false;               // own, and declared x[Proc] in main, or an array's element
    bool element = false;                   // an element of a shared array a : array 1 .. N of T
    Domain domain;                          // none for a holder
    std::optional<ValueSet> initial;        // nothing: any value of the domain
    const smv::Assignment* next = nullptr;  // in the process module
    std::size_t line = 0;                   // of the declaration
};

// What a parameter of the process module stands for.
struct Binding {
    enum class Kind { process_number, variable, constant };
    Kind kind = Kind::constant;
    std::size_t variable = 0;  // index into ProcessClass::variables
    Value constant;
};

struct ProcessClass {
    const smv::Model* model = nullptr;
    const smv::Module* main = nullptr;
    const smv::Module* process = nullptr;         // the module the processes instantiate
    const smv::Declaration* instances = nullptr;  // p[Proc] : transition m(...)
    std::vector<Variable> variables;
    std::vector<std::size_t> own, shared, holders, inputs;     // indices into variables, by role
    std::optional<std::size_t> pick;                           // the variable of role pick
    std::map<std::string_view, Binding> parameters;            // of the process module
    std::map<std::string_view, std::size_t> module_variables;  // declared in the process module
    std::map<std::string_view, std::size_t> main_variables;    // declared in main
    std::map<std::string_view, const smv::Expr*> module_definitions, main_definitions;
    std::unordered_set<std::string_view> constants;  // the symbolic constants of the types
    std::vector<const smv::Constraint*> guards;      // TRANS (running & g) -> c of the process module
};

// The model's class description; refuses a model outside the class with
// the reason, naming its line.
ProcessClass recognise(const smv::Model& model);

// Refuses the first use of a process number in the process module, in the
// order of its text, that would treat some process otherwise than the
// others (process_numbers.cpp).
void require_symmetric_process_numbers(const ProcessClass& processes);

}  // namespace ruvello::counted
