#include "counted/recognition.h"

#include <algorithm>
#include <set>

#include "counted/evaluation.h"
#include "counted/layout.h"
#include "counted/refusal.h"

namespace ruvello::counted {

namespace {

using smv::Expr;
using smv::Type;

bool is_name(const Expr& expr, std::string_view name) {
    return expr.kind == Expr::Kind::name && expr.text == name;
}

// x[Proc]: the name x, or nothing.
std::optional<std::string_view> per_process_name(const Expr& expr) {
    if (expr.kind == Expr::Kind::index && expr.operand(0).kind == Expr::Kind::name &&
        is_name(expr.operand(1), "Proc"))
        return expr.operand(0).text;
    return std::nullopt;
}

bool is_constant_expression(const Expr& expr) {
    return expr.kind == Expr::Kind::number || expr.kind == Expr::Kind::boolean ||
           (expr.kind == Expr::Kind::unary && expr.op == smv::Operator::minus &&
            expr.operand(0).kind == Expr::Kind::number);
}

class Recogniser {
public:
    explicit Recogniser(const smv::Model& model) : model_(model) { class_.model = &model; }

    ProcessClass run() {
        find_main();
        require_plain_sections(*class_.main);
        read_main_declarations();
        read_processes();
        require_plain_sections(*class_.process);
        read_module_declarations();
        read_names();
        require_symmetric_process_numbers(class_);
        read_main_assignments();
        read_module_assignments();
        read_fairness();
        require_no_free_variables();
        return std::move(class_);
    }

private:
    void find_main() {
        std::set<std::string_view> modules;
        for (const smv::Module& module : model_.modules)
            if (!modules.insert(module.name).second)
                refuse(
                    outside(module.span.line, "declares the module " + std::string(module.name) + " twice"));
        class_.main = model_.module("main");
        if (!class_.main) refuse("outside the class: the model has no MODULE main");
        if (!class_.main->parameters.empty())
            refuse(outside(class_.main->span.line, "gives main parameters, which NuSMV does not take"));
    }

    // No section the counted model does not read, and no constraint: INIT,
    // TRANS and INVAR could restrict the processes in any way.
    void require_plain_sections(const smv::Module& module) {
        for (const smv::OtherSection& other : module.others)
            refuse(outside(other.span.line, "has a " + std::string(other.keyword) +
                                                " section, which the counted model does not read"));
        for (const smv::Constraint& constraint : module.constraints) {
            const std::string_view keyword = constraint.keyword;
            if (keyword == "TRANS" && &module == class_.process) {
                require_running_guard(constraint);
                class_.guards.push_back(&constraint);
                continue;
            }
            if (keyword == "INIT" || keyword == "TRANS" || keyword == "INVAR")
                refuse(outside(constraint.span.line, "constrains the model with " + std::string(keyword)));
            if (&module == class_.main)
                refuse(outside(constraint.span.line, "has " + std::string(keyword) + " in main"));
        }
    }

    // A TRANS of a process constrains every step, whichever process takes
    // it: only (running & g) -> c, true when its process does not run, is a
    // condition on the steps of its own process.
    void require_running_guard(const smv::Constraint& constraint) const {
        const Expr& expression = *constraint.expressions.front();
        bool running = false;
        if (expression.kind == Expr::Kind::binary && expression.op == smv::Operator::implication) {
            std::vector<const Expr*> parts{&expression.operand(0)};
            while (!parts.empty() && !running) {
                const Expr* part = parts.back();
                parts.pop_back();
                running = is_name(*part, "running");
                if (part->kind == Expr::Kind::binary && part->op == smv::Operator::conjunction)
                    parts.insert(parts.end(), {&part->operand(0), &part->operand(1)});
            }
        }
        if (!running)
            refuse(outside(model_, expression.span,
                           "constrains the steps with a TRANS other than (running & g) -> c"));
    }

    std::size_t add_variable(Variable variable) {
        const std::size_t index = class_.variables.size();
        switch (variable.role) {
        case Role::own: class_.own.push_back(index); break;
        case Role::shared: class_.shared.push_back(index); break;
        case Role::holder: class_.holders.push_back(index); break;
        case Role::input: class_.inputs.push_back(index); break;
        case Role::pick:
            if (class_.pick)
                refuse(outside(variable.line, "declares a second input that names a process (" +
                                                  std::string(variable.name) + "): one step picks one other process"));
            class_.pick = index;
            break;
        }
        class_.variables.push_back(std::move(variable));
        return index;
    }

    void read_main_declarations() {
        for (const smv::Declaration& declaration : class_.main->declarations) {
            const std::size_t line = declaration.span.line;
            if (declaration.section != smv::VariableSection::var)
                refuse(outside(line, "declares an input or frozen variable in main"));
            const Type& type = declaration.type;
            if (type.kind == Type::Kind::instance) {
                read_instance_declaration(declaration);
                continue;
            }
            Variable variable{declaration.name, Role::shared, declaration.per_process, false, {}, {}, nullptr, line};
            if (declaration.per_process) {
                if (type.kind == Type::Kind::range && is_one_to_n(type))
                    refuse(outside(line, "declares " + std::string(declaration.name) +
                                             "[Proc] : 1 .. N, a number of N values for each process, as "
                                             "tickets and ranks are: the counted model keeps no order of "
                                             "processes (the bakery's tickets, Szymanski's protocol)"));
                if (type.kind == Type::Kind::proc)
                    refuse(outside(
                        line, "declares " + std::string(declaration.name) +
                                  "[Proc] of type Proc, which the line translator makes a process number"));
                variable.role = Role::own;
                variable.domain = domain_of(model_, type, declaration.name);
            } else if (names_a_process(type)) {
                variable.role = Role::holder;
            } else if (type.kind == Type::Kind::array) {
                require_indexed_by_process(type);
                variable.role = Role::own;
                variable.per_process = variable.element = true;
                variable.domain = domain_of(model_, *type.element, declaration.name);
            } else {
                variable.domain = domain_of(model_, type, declaration.name);
            }
            class_.main_variables.emplace(declaration.name, add_variable(std::move(variable)));
        }
        if (!class_.instances)
            refuse(outside(class_.main->span.line, "declares no processes (p[Proc] : transition m(...))"));
    }

    // Proc, or the range it stands for, 1 .. N.
    static bool names_a_process(const Type& type) {
        return type.kind == Type::Kind::proc || (type.kind == Type::Kind::range && is_one_to_n(type));
    }
    static bool is_one_to_n(const Type& type) {
        return type.low->kind == Expr::Kind::number && type.low->value == 1 && is_name(*type.high, "N");
    }

    // An array of main is one element per process: array 1 .. N.
    void require_indexed_by_process(const Type& type) const {
        if (!is_one_to_n(type))
            refuse(outside(model_, type.span,
                           "declares an array indexed otherwise than by process (array 1 .. N of ...)"));
    }

    void read_instance_declaration(const smv::Declaration& declaration) {
        const Type& type = declaration.type;
        const std::size_t line = declaration.span.line;
        if (type.keyword != "transition" || !declaration.per_process)
            refuse(outside(model_, type.span, "declares a module instance other than the processes"));
        if (class_.instances)
            refuse(
                outside(line, "declares a second kind of process (" + std::string(declaration.name) + ")"));
        class_.instances = &declaration;
    }

    void read_processes() {
        const Type& type = class_.instances->type;
        const std::size_t line = class_.instances->span.line;
        class_.process = model_.module(type.module);
        if (!class_.process || class_.process == class_.main)
            refuse(outside(
                line, "instantiates " + std::string(type.module) + ", which is not a module of its own"));
        // NuSMV's symbolic constants belong to no module.
        for (const smv::Module* module : {class_.main, class_.process})
            for (const smv::Declaration& declaration : module->declarations) {
                const Type& type = declaration.type.element ? *declaration.type.element : declaration.type;
                for (const smv::ExprPtr& value : type.values)
                    if (value->kind == Expr::Kind::name) class_.constants.insert(value->text);
            }
        const std::vector<std::string_view>& parameters = class_.process->parameters;
        if (parameters.size() != type.arguments.size())
            refuse(outside(model_, type.span,
                           "passes " + std::to_string(type.arguments.size()) + " arguments to " +
                               std::to_string(parameters.size()) + " parameters"));
        for (std::size_t k = 0; k < parameters.size(); ++k) {
            if (class_.parameters.contains(parameters[k]))
                refuse(outside(class_.process->span.line,
                               "names the parameter " + std::string(parameters[k]) + " twice"));
            class_.parameters.emplace(parameters[k], binding_of(*type.arguments[k]));
        }
    }

    // What an argument of the processes stands for.
    Binding binding_of(const Expr& argument) {
        if (is_name(argument, "Proc")) return {Binding::Kind::process_number, 0, {}};
        if (is_constant_expression(argument))
            return {Binding::Kind::constant, 0,
                    argument.kind == Expr::Kind::boolean
                        ? Value::boolean(argument.value != 0)
                        : Value::integer(argument.kind == Expr::Kind::number ? argument.value
                                                                             : -argument.operand(0).value)};
        const std::optional<std::string_view> own = per_process_name(argument);
        const std::string_view name = own ? *own : argument.kind == Expr::Kind::name ? argument.text : "";
        const auto found = class_.main_variables.find(name);
        if (found == class_.main_variables.end()) {
            if (!own && class_.constants.contains(name))
                return {Binding::Kind::constant, 0, Value::constant(name)};
            refuse(outside(model_, argument.span,
                           "passes something other than Proc, the process's own variable, a shared variable "
                           "or a constant"));
        }
        Variable& variable = class_.variables[found->second];
        if (variable.element && own)
            refuse(outside(model_, argument.span, "passes one element of an array: pass the array"));
        if (variable.per_process != own.has_value() && !variable.element)
            refuse(outside(model_, argument.span,
                           own ? "passes with [Proc] a variable that main does not declare per process"
                               : "passes a per-process variable without [Proc]"));
        if (!passed_.insert(found->second).second)
            refuse(outside(model_, argument.span, "passes the same variable twice"));
        return {Binding::Kind::variable, found->second, {}};
    }

    void read_module_declarations() {
        for (const smv::Declaration& declaration : class_.process->declarations) {
            const std::size_t line = declaration.span.line;
            if (declaration.per_process)
                refuse(outside(line, "declares a per-process variable inside the process module"));
            if (declaration.section == smv::VariableSection::frozenvar)
                refuse(outside(line, "declares a frozen variable"));
            const bool input = declaration.section == smv::VariableSection::ivar;
            if (input && names_a_process(declaration.type)) {
                class_.module_variables.emplace(
                    declaration.name,
                    add_variable({declaration.name, Role::pick, false, false, {}, {}, nullptr, line}));
                continue;
            }
            Variable variable{declaration.name,
                              input ? Role::input : Role::own,
                              false,
                              false,
                              domain_of(model_, declaration.type, declaration.name),
                              {},
                              nullptr,
                              line};
            class_.module_variables.emplace(declaration.name, add_variable(std::move(variable)));
        }
    }

    // Every name of a scope once, none of them N (which the line translator
    // defines in every module) or a constant of the types.
    void read_names() {
        for (const smv::Definition& definition : class_.main->definitions)
            class_.main_definitions.emplace(definition.name, definition.value.get());
        for (const smv::Definition& definition : class_.process->definitions)
            class_.module_definitions.emplace(definition.name, definition.value.get());
        require_distinct_names(*class_.main, {});
        require_distinct_names(*class_.process, class_.process->parameters);
    }

    void require_distinct_names(const smv::Module& module, const std::vector<std::string_view>& parameters) {
        std::vector<std::pair<std::string_view, std::size_t>> names;
        for (const std::string_view parameter : parameters) names.emplace_back(parameter, module.span.line);
        for (const smv::Declaration& declaration : module.declarations)
            names.emplace_back(declaration.name, declaration.span.line);
        for (const smv::Definition& definition : module.definitions)
            names.emplace_back(definition.name, definition.span.line);
        std::set<std::string_view> seen;
        for (const auto& [name, line] : names) {
            if (name == "N")
                refuse(outside(line, "declares N, which the line translator defines in every module"));
            if (!seen.insert(name).second) refuse(outside(line, "declares " + std::string(name) + " twice"));
            if (class_.constants.contains(name))
                refuse(outside(line, "names " + std::string(name) + " both as a variable and as a constant"));
        }
    }

    // The values of an initial value that may name constants only.
    ValueSet initial_values(const Expr& value, const Variable& variable) {
        Budget budget;
        Evaluator evaluator(model_, budget);
        const ValueSet values = evaluator.values(value, [&](const Expr& name, bool) -> ValueSet {
            if (name.kind == Expr::Kind::name && class_.constants.contains(name.text))
                return {Value::constant(name.text)};
            refuse(outside(model_, value.span,
                           "gives an initial value that depends on something other than constants"));
        });
        for (const Value& element : values)
            if (variable.domain.index_of(element) == Domain::npos)
                refuse(outside(model_, value.span,
                               "gives " + std::string(variable.name) + " an initial value outside its type"));
        return values;
    }

    void read_main_assignments() {
        for (const smv::Assignment& assignment : class_.main->assignments) {
            if (assignment.kind == smv::Assignment::Kind::next)
                refuse(outside(model_, assignment.span,
                               "assigns a next value in main, where only the processes may"));
            if (assignment.kind == smv::Assignment::Kind::always)
                refuse(outside(model_, assignment.span, "assigns a variable at every step in main"));
            const std::optional<std::string_view> own = per_process_name(*assignment.target);
            const std::string_view name = own ? *own
                                          : assignment.target->kind == Expr::Kind::name
                                              ? assignment.target->text
                                              : "";
            const auto found = class_.main_variables.find(name);
            if (found == class_.main_variables.end() ||
                class_.variables[found->second].per_process != own.has_value())
                refuse(outside(model_, assignment.span,
                               "gives an initial value to something main does not declare so"));
            set_initial(found->second, assignment);
        }
    }

    void set_initial(std::size_t index, const smv::Assignment& assignment) {
        Variable& variable = class_.variables[index];
        if (variable.initial || started_holders_.contains(index))
            refuse(outside(model_, assignment.span,
                           "gives " + std::string(variable.name) + " a second initial value"));
        if (variable.role == Role::holder) {
            // By symmetry any one process may hold it at first; process 1 is in every N.
            if (assignment.value->kind != Expr::Kind::number || assignment.value->value != 1)
                refuse(outside(model_, assignment.span,
                               "starts " + std::string(variable.name) + " at a process other than 1"));
            started_holders_.insert(index);
            return;
        }
        variable.initial = initial_values(*assignment.value, variable);
    }

    // The variable a name of the process module stands for, or nothing.
    std::optional<std::size_t> module_variable(const Expr& target) const {
        if (target.kind != Expr::Kind::name) return std::nullopt;
        if (const auto found = class_.module_variables.find(target.text);
            found != class_.module_variables.end())
            return found->second;
        const auto parameter = class_.parameters.find(target.text);
        if (parameter != class_.parameters.end() && parameter->second.kind == Binding::Kind::variable)
            return parameter->second.variable;
        return std::nullopt;
    }

    // a[Proc], a an array passed to the process: every process's element.
    std::optional<std::size_t> every_element(const Expr& target) const {
        if (target.kind != Expr::Kind::index || !is_name(target.operand(1), "Proc")) return std::nullopt;
        const std::optional<std::size_t> index = module_variable(target.operand(0));
        if (!index || !class_.variables[*index].element) return std::nullopt;
        return index;
    }

    void read_module_assignments() {
        for (const smv::Assignment& assignment : class_.process->assignments) {
            const std::optional<std::size_t> element = every_element(*assignment.target);
            if (element && assignment.kind != smv::Assignment::Kind::next)
                refuse(outside(model_, assignment.span,
                               "assigns the elements of an array otherwise than by next in the process module"));
            const std::optional<std::size_t> index = element ? element : module_variable(*assignment.target);
            if (!element && index && class_.variables[*index].element)
                refuse(outside(model_, assignment.target->span,
                               "assigns an array otherwise than as next(a[Proc]) for every process"));
            if (!index || class_.variables[*index].role == Role::input || class_.variables[*index].role == Role::pick)
                refuse(outside(model_, assignment.target->span,
                               "assigns something other than a variable of the process"));
            Variable& variable = class_.variables[*index];
            switch (assignment.kind) {
            case smv::Assignment::Kind::next:
                if (variable.next)
                    refuse(outside(model_, assignment.span,
                                   "assigns next(" + std::string(variable.name) + ") twice"));
                variable.next = &assignment;
                break;
            case smv::Assignment::Kind::init:
                if (variable.role != Role::own)
                    refuse(outside(model_, assignment.span,
                                   "gives a shared variable its initial value in the process module"));
                if (variable.initial)
                    refuse(outside(model_, assignment.span,
                                   "gives " + std::string(variable.name) + " a second initial value"));
                variable.initial = initial_values(*assignment.value, variable);
                break;
            case smv::Assignment::Kind::always:
                refuse(outside(model_, assignment.span, "assigns a variable at every step, not by next"));
            }
        }
    }

    // Fairness only removes paths: a property of every reachable state holds
    // of the fair ones too. Only the plain kind is taken in.
    void read_fairness() {
        for (const smv::Constraint& constraint : class_.process->constraints)
            if (constraint.keyword != "TRANS" &&
                (constraint.keyword == "COMPASSION" || !is_name(*constraint.expressions.front(), "running")))
                refuse(outside(constraint.span.line, "has fairness other than FAIRNESS running"));
    }

    void require_no_free_variables() {
        for (const Variable& variable : class_.variables)
            if (variable.role != Role::input && variable.role != Role::pick && !variable.next)
                refuse(outside(variable.line,
                               "declares " + std::string(variable.name) +
                                   ", which no process assigns with next, so NuSMV leaves it free "
                                   "at every step"));
    }

    const smv::Model& model_;
    ProcessClass class_;
    std::set<std::size_t> started_holders_;
    std::set<std::size_t> passed_;  // the variables passed to the processes
};

}  // namespace

ProcessClass recognise(const smv::Model& model) {
    // A model that cannot be read is in error, not outside the class.
    if (model.error)
        refuse("line " + std::to_string(model.error->line) + " cannot be read: " + model.error->message);
    require_translator_layout(model);
    return Recogniser(model).run();
}

}  // namespace ruvello::counted
