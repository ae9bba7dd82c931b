// The syntax of a vorn model as the front end reads it: modules, their
// sections, and the expressions in them. Every part keeps where it stands in
// the model text, so that a reason can name its line and quote it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "smv/lexer.h"
#include "smv/vocabulary.h"

namespace ruvello::smv {

// Where a part of the model stands: its first line and the bytes it spans.
struct Span {
    std::size_t line = 0;
    std::size_t begin = 0, end = 0;  // offsets into the model text
};

enum class Operator {
    // unary
    negation,  // !
    minus,     // unary -
    // binary
    conjunction,
    disjunction,
    exclusive_or,
    equivalent_xnor,
    implication,
    equivalence,  // <->
    equal,
    not_equal,
    less,
    less_equal,
    greater,
    greater_equal,
    plus,
    difference,
    times,
    divided,
    modulo,
    set_union,
    member,  // in
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        number,        // value
        boolean,       // value 1 or 0
        name,          // text
        index,         // operands: what is indexed, the index
        member,        // operands: the instance; text: the member's name
        next,          // next(operand)
        init,          // init(operand) in an expression
        unary,         // op, operands: one
        binary,        // op, operands: two
        if_then_else,  // operands: condition, then, else
        choice,        // case: operands: condition, value, condition, value, ...
        set,           // { operands }
        temporal,      // text: EX AX EF AF EG AG; operands: one
        until,         // text: "A" or "E"; operands: the two sides of U
        call,          // text: the function; operands: its arguments
    };
    Kind kind;
    Operator op = Operator::negation;
    std::string_view text;
    std::int64_t value = 0;
    std::vector<ExprPtr> operands;
    Span span;
    int depth = 1;  // of the tree below and including this node

    const Expr& operand(std::size_t k) const { return *operands[k]; }
};

struct Type {
    enum class Kind {
        boolean,
        enumeration,  // values: number or name expressions
        range,        // low .. high
        proc,         // the placeholder Proc as a type
        array,        // array low .. high of element
        instance,     // a module instance: module, arguments, keyword
        other,        // a type the class does not use
    };
    Kind kind = Kind::other;
    std::vector<ExprPtr> values;
    ExprPtr low, high;
    std::unique_ptr<Type> element;
    std::string_view module;
    std::vector<ExprPtr> arguments;
    std::string_view keyword;  // "process" or "transition", or empty for a plain instance
    Span span;
};

enum class VariableSection { var, ivar, frozenvar };

struct Declaration {
    std::string_view name;
    bool per_process = false;  // declared name[Proc]
    Type type;
    VariableSection section = VariableSection::var;
    Span span;
    std::size_t first_token = 0, last_token = 0;  // indices into Model::tokens
};

struct Definition {
    std::string_view name;
    ExprPtr value;
    Span span;
};

struct Assignment {
    enum class Kind { init, next, always };
    Kind kind = Kind::always;
    ExprPtr target;  // a name, or name[...]
    ExprPtr value;
    Span span;
    std::size_t first_token = 0, last_token = 0;
};

// INIT, TRANS, INVAR, FAIRNESS, JUSTICE, COMPASSION and their expressions.
struct Constraint {
    std::string_view keyword;
    std::vector<ExprPtr> expressions;
    Span span;
    std::size_t first_token = 0, last_token = 0;  // the keyword, and the last token read
};

// FORALL (i1, ..., ik) followed by its body, as the line translator writes
// it: with one parameter, AG followed by the text after the list; with more,
// AG ( followed by the text after the guard's "->".
struct Forall {
    std::vector<std::string_view> parameters;
    ExprPtr guard;                       // with more than one parameter: what comes before "->"
    std::optional<std::string> problem;  // why the line is not read as the translator writes it
};

struct Property {
    std::string_view keyword;  // SPEC, CTLSPEC, LTLSPEC, INVARSPEC, PSLSPEC or COMPUTE
    PropertyKind kind = PropertyKind::ctl;  // the keyword's
    std::size_t keyword_token = 0;
    std::size_t line = 0;   // of the first token after the keyword
    std::string_view name;  // after NAME, if any
    ExprPtr formula;        // read for SPEC, CTLSPEC and INVARSPEC
    std::optional<Forall> forall;
    std::optional<std::string> problem;           // why the formula could not be read
    std::size_t first_token = 0, last_token = 0;  // of the formula
};

// A section the front end does not read (ISA, CONSTANTS, ...).
struct OtherSection {
    std::string_view keyword;
    Span span;
};

struct Module {
    std::string_view name;
    std::vector<std::string_view> parameters;
    Span span;
    std::size_t keyword_token = 0;
    std::vector<Declaration> declarations;
    std::vector<Definition> definitions;
    std::vector<Assignment> assignments;
    std::vector<Constraint> constraints;
    std::vector<Property> properties;
    std::vector<OtherSection> others;
};

struct ParseError {
    std::size_t line = 0;
    std::string message;
};

struct Model {
    std::string_view text;
    std::vector<Token> tokens;
    std::vector<Module> modules;
    std::optional<ParseError> error;  // the first part of the model that could not be read

    const Module* module(std::string_view name) const {
        for (const Module& module : modules)
            if (module.name == name) return &module;
        return nullptr;
    }
    std::string_view text_of(const Span& span) const {
        return text.substr(span.begin, span.end - span.begin);
    }
};

}  // namespace ruvello::smv
