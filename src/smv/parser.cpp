#include "smv/parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <utility>

#include "smv/excerpt.h"
#include "smv/vocabulary.h"

namespace ruvello::smv {

namespace {

struct SyntaxError {
    std::size_t line;
    std::string message;
};

// A synthetic token, read as if the model held it where `at` stands.
Token token_before(const Token& at, std::string_view text) {
    return {TokenKind::name, text, at.line, at.column, at.offset};
}

// How a token is named in a message.
std::string described(const Token& token) {
    if (token.kind == TokenKind::end) return "the end of the model";
    return "'" + excerpt(token.text, 20) + "'";
}

class Parser {
public:
    explicit Parser(const std::vector<Token>& tokens, std::size_t at = 0) : tokens_(tokens), at_(at) {}

    ExprPtr expression() {
        const Nesting nesting(*this);
        return implication();
    }

    bool at_end() const { return peek().kind == TokenKind::end; }
    std::size_t position() const { return at_; }

protected:
    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(at_ + ahead, tokens_.size() - 1)];
    }
    const Token& take() {
        const Token& token = peek();
        if (at_ + 1 < tokens_.size()) ++at_;
        return token;
    }
    bool accept(std::string_view word) {
        if (!peek().is(word)) return false;
        take();
        return true;
    }
    const Token& expect(std::string_view word, std::string_view after) {
        if (!peek().is(word))
            fail(peek(), "expected '" + std::string(word) + "' " + std::string(after) + ", found " +
                             described(peek()));
        return take();
    }
    std::string_view expect_name(std::string_view what) {
        const Token& token = peek();
        if (token.kind != TokenKind::name || is_reserved_word(token.text))
            fail(token, "expected " + std::string(what) + ", found " + described(token));
        return take().text;
    }
    [[noreturn]] void fail(const Token& token, std::string message) const {
        if (token.kind == TokenKind::invalid)
            message = "cannot read " + described(token) +
                      (token.text.front() >= '0' && token.text.front() <= '9'
                           ? " (a word constant, or a number run into a name)"
                           : "");
        throw SyntaxError{token.line, std::move(message)};
    }
    bool at_section_end() const {
        return at_end() || (peek().kind == TokenKind::name && is_section_keyword(peek().text));
    }

    Span span_from(std::size_t first) const {
        const Token& start = tokens_[first];
        const Token& last = tokens_[at_ > first ? at_ - 1 : first];
        return {start.line, start.offset, last.end_offset()};
    }

    ExprPtr node(Expr::Kind kind, std::size_t first, std::vector<ExprPtr> operands = {}) {
        auto made = std::make_unique<Expr>();
        made->kind = kind;
        made->span = span_from(first);
        for (const ExprPtr& operand : operands) made->depth = std::max(made->depth, operand->depth + 1);
        if (made->depth > max_depth)
            throw SyntaxError{made->span.line,
                              "an expression nests deeper than " + std::to_string(max_depth) + " levels"};
        made->operands = std::move(operands);
        return made;
    }
    ExprPtr operation(Expr::Kind kind, Operator op, std::size_t first, std::vector<ExprPtr> operands) {
        ExprPtr made = node(kind, first, std::move(operands));
        made->op = op;
        return made;
    }

    // Counts how deep the parser has gone into nested expressions (or
    // types), before it goes one level deeper: a rule that calls itself,
    // directly or through others, holds one while it does, so that no input
    // can take the parser deeper than max_nesting calls.
    struct Nesting {
        Parser& parser;
        explicit Nesting(Parser& parser, std::string_view what = "an expression") : parser(parser) {
            if (++parser.nesting_ > max_nesting) {
                --parser.nesting_;
                throw SyntaxError{parser.peek().line, std::string(what) + " nests deeper than " +
                                                          std::to_string(max_nesting) + " levels"};
            }
        }
        ~Nesting() { --parser.nesting_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
    };

private:
    // A level of left-associative binary operators: `next` reads the
    // operands, `op_of` tells the operator a token is at this level.
    template <class Next, class OpOf>
    ExprPtr left_associative(Next next, OpOf op_of) {
        const std::size_t first = at_;
        ExprPtr left = (this->*next)();
        while (const std::optional<Operator> op = op_of(peek())) {
            take();
            ExprPtr right = (this->*next)();
            std::vector<ExprPtr> operands;
            operands.push_back(std::move(left));
            operands.push_back(std::move(right));
            left = operation(Expr::Kind::binary, *op, first, std::move(operands));
        }
        return left;
    }

    static std::optional<Operator> symbol_operator(
        const Token& token, std::initializer_list<std::pair<std::string_view, Operator>> ops) {
        if (token.kind == TokenKind::invalid) return std::nullopt;
        for (const auto& [text, op] : ops)
            if (token.text == text) return op;
        return std::nullopt;
    }

    ExprPtr implication() {
        const std::size_t first = at_;
        ExprPtr left = equivalence();
        if (!accept("->")) return left;
        std::vector<ExprPtr> operands;
        operands.push_back(std::move(left));
        // a -> b -> c is a -> (b -> c): each arrow one level deeper.
        const Nesting deeper(*this);
        operands.push_back(implication());
        return operation(Expr::Kind::binary, Operator::implication, first, std::move(operands));
    }
    ExprPtr equivalence() {
        return left_associative(&Parser::ternary, [](const Token& token) {
            return symbol_operator(token, {{"<->", Operator::equivalence}});
        });
    }
    ExprPtr ternary() {
        const std::size_t first = at_;
        ExprPtr condition = disjunction();
        if (!accept("?")) return condition;
        std::vector<ExprPtr> operands;
        operands.push_back(std::move(condition));
        operands.push_back(expression());
        expect(":", "in a ? : expression");
        // a ? b : c ? d : e is a ? b : (c ? d : e): each one level deeper.
        const Nesting deeper(*this);
        operands.push_back(ternary());
        return node(Expr::Kind::if_then_else, first, std::move(operands));
    }
    ExprPtr disjunction() {
        return left_associative(&Parser::conjunction, [](const Token& token) {
            return symbol_operator(token, {{"|", Operator::disjunction},
                                           {"xor", Operator::exclusive_or},
                                           {"xnor", Operator::equivalent_xnor}});
        });
    }
    ExprPtr conjunction() {
        return left_associative(&Parser::comparison, [](const Token& token) {
            return symbol_operator(token, {{"&", Operator::conjunction}});
        });
    }
    ExprPtr comparison() {
        return left_associative(&Parser::membership, [](const Token& token) {
            return symbol_operator(token, {{"=", Operator::equal},
                                           {"!=", Operator::not_equal},
                                           {"<", Operator::less},
                                           {"<=", Operator::less_equal},
                                           {">", Operator::greater},
                                           {">=", Operator::greater_equal}});
        });
    }
    ExprPtr membership() {
        return left_associative(&Parser::set_union, [](const Token& token) {
            return symbol_operator(token, {{"in", Operator::member}});
        });
    }
    ExprPtr set_union() {
        return left_associative(&Parser::additive, [](const Token& token) {
            return symbol_operator(token, {{"union", Operator::set_union}});
        });
    }

protected:
    ExprPtr additive() {
        return left_associative(&Parser::multiplicative, [](const Token& token) {
            return symbol_operator(token, {{"+", Operator::plus}, {"-", Operator::difference}});
        });
    }

private:
    ExprPtr multiplicative() {
        return left_associative(&Parser::unary, [](const Token& token) {
            return symbol_operator(
                token, {{"*", Operator::times}, {"/", Operator::divided}, {"mod", Operator::modulo}});
        });
    }

    ExprPtr unary() {
        const std::size_t first = at_;
        const Token& token = peek();
        if (token.is("!") || token.is("-")) {
            take();
            const Nesting deeper(*this);
            std::vector<ExprPtr> operands;
            operands.push_back(unary());
            return operation(Expr::Kind::unary, token.is("!") ? Operator::negation : Operator::minus, first,
                             std::move(operands));
        }
        if (token.kind == TokenKind::name && is_ctl_operator(token.text)) {
            take();
            const Nesting deeper(*this);
            std::vector<ExprPtr> operands;
            operands.push_back(comparison());
            ExprPtr made = node(Expr::Kind::temporal, first, std::move(operands));
            made->text = token.text;
            return made;
        }
        if ((token.is("A") || token.is("E")) && peek(1).is("[")) {
            take();
            take();
            std::vector<ExprPtr> operands;
            operands.push_back(expression());
            expect("U", "in " + std::string(token.text) + " [ ... U ... ]");
            operands.push_back(expression());
            expect("]", "to close " + std::string(token.text) + " [ ... U ... ]");
            ExprPtr made = node(Expr::Kind::until, first, std::move(operands));
            made->text = token.text;
            return made;
        }
        return postfix();
    }

    ExprPtr postfix() {
        const std::size_t first = at_;
        ExprPtr made = primary();
        for (;;) {
            if (accept("[")) {
                std::vector<ExprPtr> operands;
                operands.push_back(std::move(made));
                operands.push_back(expression());
                expect("]", "to close an index");
                made = node(Expr::Kind::index, first, std::move(operands));
            } else if (peek().is(".") && peek(1).kind == TokenKind::name) {
                take();
                const std::string_view member = take().text;
                std::vector<ExprPtr> operands;
                operands.push_back(std::move(made));
                made = node(Expr::Kind::member, first, std::move(operands));
                made->text = member;
            } else {
                return made;
            }
        }
    }

    ExprPtr primary() {
        const std::size_t first = at_;
        const Token& token = peek();
        if (token.kind == TokenKind::number) return number();
        if (token.is("TRUE") || token.is("FALSE")) {
            take();
            ExprPtr made = node(Expr::Kind::boolean, first);
            made->value = token.is("TRUE") ? 1 : 0;
            return made;
        }
        if (token.is("(")) {
            take();
            ExprPtr inner = expression();
            expect(")", "to close '('");
            return inner;
        }
        if (token.is("{")) return set();
        if (token.is("case")) return choice();
        if (token.is("next") || token.is("init")) return next_or_init();
        if (token.kind == TokenKind::name && is_function_word(token.text) && peek(1).is("(")) return call();
        if (token.kind == TokenKind::name && !is_reserved_word(token.text)) {
            take();
            ExprPtr made = node(Expr::Kind::name, first);
            made->text = token.text;
            return made;
        }
        fail(token, "expected an expression, found " + described(token));
    }

    // A number of the model is a 32-bit integer.
    ExprPtr number() {
        const std::size_t first = at_;
        const Token& token = take();
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
        if (error != std::errc() || value > std::numeric_limits<std::int32_t>::max())
            fail(token, "the number " + described(token) + " is too large");
        ExprPtr made = node(Expr::Kind::number, first);
        made->value = value;
        return made;
    }

    // next(e) or init(e).
    ExprPtr next_or_init() {
        const std::size_t first = at_;
        const Token& token = take();
        expect("(", "after " + std::string(token.text));
        std::vector<ExprPtr> operands;
        operands.push_back(expression());
        expect(")", "to close " + std::string(token.text) + "(");
        return node(token.is("next") ? Expr::Kind::next : Expr::Kind::init, first, std::move(operands));
    }

    // A function word and its arguments, such as toint(b) or max(a, b).
    ExprPtr call() {
        const std::size_t first = at_;
        const Token& token = take();
        take();
        std::vector<ExprPtr> operands;
        if (!peek().is(")")) {
            operands.push_back(expression());
            while (accept(",")) operands.push_back(expression());
        }
        expect(")", "to close the arguments of " + std::string(token.text));
        ExprPtr made = node(Expr::Kind::call, first, std::move(operands));
        made->text = token.text;
        return made;
    }

    ExprPtr set() {
        const std::size_t first = at_;
        take();
        std::vector<ExprPtr> operands;
        operands.push_back(expression());
        while (accept(",")) operands.push_back(expression());
        expect("}", "to close a set");
        return node(Expr::Kind::set, first, std::move(operands));
    }

    ExprPtr choice() {
        const Nesting nesting(*this);
        const std::size_t first = at_;
        take();
        std::vector<ExprPtr> operands;
        while (!peek().is("esac")) {
            if (at_section_end())
                fail(peek(), "expected 'esac' to close the case, found " + described(peek()));
            operands.push_back(expression());
            expect(":", "after a case condition");
            operands.push_back(expression());
            expect(";", "after a case value");
        }
        take();
        if (operands.empty()) fail(tokens_[first], "a case without branches");
        return node(Expr::Kind::choice, first, std::move(operands));
    }

    const std::vector<Token>& tokens_;
    std::size_t at_ = 0;
    int nesting_ = 0;
};

// Reads a formula from tokens put together as the line translator writes
// a FORALL instance: `prefix` before the model's tokens [from, to).
ExprPtr translated_formula(const std::vector<Token>& tokens, std::size_t from, std::size_t to,
                           std::initializer_list<std::string_view> prefix) {
    std::vector<Token> instance;
    const Token& start = tokens[from < to ? from : to];
    for (const std::string_view word : prefix) instance.push_back(token_before(start, word));
    instance.insert(instance.end(), tokens.begin() + static_cast<std::ptrdiff_t>(from),
                    tokens.begin() + static_cast<std::ptrdiff_t>(to));
    const Token& last = tokens[to > from ? to - 1 : from];
    instance.push_back(
        {TokenKind::end, last.text.substr(last.text.size()), last.line, last.column, last.end_offset()});
    Parser parser(instance);
    ExprPtr formula = parser.expression();
    if (!parser.at_end())
        throw SyntaxError{instance[parser.position()].line, "the FORALL formula goes on after its end, at " +
                                                                described(instance[parser.position()])};
    return formula;
}

class ModelParser : public Parser {
public:
    explicit ModelParser(Model& model) : Parser(model.tokens), model_(model) {}

    void run() {
        while (!at_end()) {
            if (peek().is("MODULE")) {
                module();
            } else {
                record([&] { fail(peek(), "expected MODULE, found " + described(peek())); });
                while (!at_end() && !peek().is("MODULE")) take();
            }
        }
    }

private:
    // Runs `read`; a part of the model it cannot read is recorded, and
    // reading goes on at the next section.
    template <class Read>
    void record(Read&& read) {
        try {
            read();
        } catch (const SyntaxError& error) {
            if (!model_.error) model_.error = ParseError{error.line, error.message};
            skip_to_section();
        }
    }
    void skip_to_section() {
        while (!at_section_end()) take();
    }

    void module() {
        Module& made = model_.modules.emplace_back();
        made.keyword_token = position();
        const std::size_t first = position();
        take();
        record([&] {
            made.name = expect_name("the name of the module");
            if (accept("(")) {
                if (!peek().is(")")) {
                    made.parameters.push_back(expect_name("a parameter"));
                    while (accept(",")) made.parameters.push_back(expect_name("a parameter"));
                }
                expect(")", "to close the parameters of " + std::string(made.name));
            }
        });
        made.span = span_from(first);
        while (!at_end() && !peek().is("MODULE")) {
            const Token& keyword = peek();
            if (keyword.kind != TokenKind::name || !is_section_keyword(keyword.text)) {
                record([&] { fail(keyword, "expected a section keyword, found " + described(keyword)); });
                continue;
            }
            take();
            section(made, keyword);
        }
    }

    void section(Module& module, const Token& keyword) {
        const std::string_view word = keyword.text;
        if (is_variables_keyword(word)) {
            const VariableSection kind = word == "VAR"    ? VariableSection::var
                                         : word == "IVAR" ? VariableSection::ivar
                                                          : VariableSection::frozenvar;
            while (!at_section_end()) record([&] { declaration(module, kind); });
        } else if (word == "DEFINE") {
            while (!at_section_end()) record([&] { definition(module); });
        } else if (word == "ASSIGN") {
            while (!at_section_end()) record([&] { assignment(module); });
        } else if (word == "INIT" || word == "TRANS" || word == "INVAR" || word == "FAIRNESS" ||
                   word == "JUSTICE") {
            record([&] {
                Constraint& made = module.constraints.emplace_back();
                made.keyword = word;
                const std::size_t first = position() - 1;
                made.expressions.push_back(expression());
                accept(";");
                made.span = span_from(first);
                made.first_token = first;
                made.last_token = position() - 1;
            });
        } else if (word == "COMPASSION") {
            record([&] {
                Constraint& made = module.constraints.emplace_back();
                made.keyword = word;
                const std::size_t first = position() - 1;
                expect("(", "after COMPASSION");
                made.expressions.push_back(expression());
                expect(",", "between the two sides of COMPASSION");
                made.expressions.push_back(expression());
                expect(")", "to close COMPASSION");
                accept(";");
                made.span = span_from(first);
            });
        } else if (is_property_keyword(word)) {
            property(module, keyword);
        } else {
            module.others.push_back({word, {keyword.line, keyword.offset, keyword.end_offset()}});
            skip_to_section();
        }
    }

    void declaration(Module& module, VariableSection section) {
        const std::size_t first = position();
        Declaration made;
        made.section = section;
        made.name = expect_name("the name of a variable");
        if (accept("[")) {
            if (!peek().is("Proc") || !peek(1).is("]"))
                fail(peek(), "expected Proc in the brackets of " + std::string(made.name) + "[...], found " +
                                 described(peek()));
            take();
            take();
            made.per_process = true;
        }
        expect(":", "after the name of " + std::string(made.name));
        made.type = type();
        expect(";", "after the declaration of " + std::string(made.name));
        made.span = span_from(first);
        made.first_token = first;
        made.last_token = position() - 1;
        module.declarations.push_back(std::move(made));
    }

    Type type() {
        const std::size_t first = position();
        Type made;
        const Token& token = peek();
        if (token.is("boolean")) {
            take();
            made.kind = Type::Kind::boolean;
        } else if (token.is("{")) {
            take();
            made.kind = Type::Kind::enumeration;
            do made.values.push_back(enumeration_value());
            while (accept(","));
            expect("}", "to close the values of an enumeration");
        } else if (token.is("array")) {
            take();
            const Nesting deeper(*this, "a type");
            made.kind = Type::Kind::array;
            made.low = additive();
            expect("..", "in the range of an array");
            made.high = additive();
            expect("of", "after the range of an array");
            made.element = std::make_unique<Type>(type());
        } else if (token.is("process") || token.is("transition")) {
            take();
            made.keyword = token.text;
            instance(made);
        } else if (token.is("Proc") && peek(1).is(";")) {
            take();
            made.kind = Type::Kind::proc;
        } else if (token.kind == TokenKind::name &&
                   is_type_word(token.text)) {
            made.kind = Type::Kind::other;
            while (!peek().is(";") && !at_section_end()) take();
        } else if (token.kind == TokenKind::name && !is_reserved_word(token.text) &&
                   (peek(1).is("(") || peek(1).is(";"))) {
            instance(made);
        } else {
            made.kind = Type::Kind::range;
            made.low = additive();
            expect("..", "in a range");
            made.high = additive();
        }
        made.span = span_from(first);
        return made;
    }

    ExprPtr enumeration_value() {
        const std::size_t first = position();
        if (peek().kind == TokenKind::number || peek().is("-")) {
            const bool negative = accept("-");
            ExprPtr value = expression_of_kind(TokenKind::number, "a number");
            if (negative) value->value = -value->value;
            value->span = span_from(first);
            return value;
        }
        return expression_of_kind(TokenKind::name, "a value of an enumeration");
    }

    ExprPtr expression_of_kind(TokenKind kind, std::string_view what) {
        if (peek().kind != kind)
            fail(peek(), "expected " + std::string(what) + ", found " + described(peek()));
        ExprPtr value = expression();
        const bool plain = value->kind == (kind == TokenKind::number ? Expr::Kind::number : Expr::Kind::name);
        if (!plain) fail(peek(), "expected " + std::string(what) + " alone");
        return value;
    }

    void instance(Type& made) {
        made.kind = Type::Kind::instance;
        made.module = expect_name("the name of a module");
        if (accept("(")) {
            if (!peek().is(")")) {
                made.arguments.push_back(expression());
                while (accept(",")) made.arguments.push_back(expression());
            }
            expect(")", "to close the arguments of " + std::string(made.module));
        }
    }

    void definition(Module& module) {
        const std::size_t first = position();
        Definition made;
        made.name = expect_name("the name of a definition");
        expect(":=", "after the name of " + std::string(made.name));
        made.value = expression();
        expect(";", "after the definition of " + std::string(made.name));
        made.span = span_from(first);
        module.definitions.push_back(std::move(made));
    }

    void assignment(Module& module) {
        const std::size_t first = position();
        Assignment made;
        if ((peek().is("init") || peek().is("next")) && peek(1).is("(")) {
            made.kind = peek().is("init") ? Assignment::Kind::init : Assignment::Kind::next;
            const std::string what(take().text);
            take();
            made.target = expression();
            expect(")", "to close " + what + "(");
        } else {
            made.kind = Assignment::Kind::always;
            made.target = expression();
        }
        expect(":=", "in an assignment");
        made.value = expression();
        expect(";", "after an assignment");
        made.span = span_from(first);
        made.first_token = first;
        made.last_token = position() - 1;
        module.assignments.push_back(std::move(made));
    }

    void property(Module& module, const Token& keyword) {
        Property made;
        made.keyword = keyword.text;
        made.kind = *property_kind_of_keyword(keyword.text);
        made.keyword_token = position() - 1;
        made.line = at_end() ? keyword.line : peek().line;
        try {
            if (accept("NAME")) {
                made.name = expect_name("the name of the property");
                expect(":=", "after the name of the property");
            }
            made.first_token = position();
            const bool read = made.kind == PropertyKind::ctl || made.kind == PropertyKind::invar;
            if (!read) {
                skip_to_section();
            } else if (peek().is("FORALL")) {
                made.line = peek().line;
                if (made.kind == PropertyKind::invar)
                    fail(peek(),
                         "FORALL after INVARSPEC is not written as the property says; put it under a SPEC "
                         "line of its own");
                forall(made);
            } else {
                made.formula = expression();
                accept(";");
                if (!at_section_end())
                    fail(peek(), "the property goes on after its formula, at " + described(peek()));
            }
            made.last_token = position() > made.first_token ? position() - 1 : made.first_token;
        } catch (const SyntaxError& error) {
            made.problem = "line " + std::to_string(error.line) + ": " + error.message;
            skip_to_section();
            made.last_token = position() > made.first_token ? position() - 1 : made.first_token;
        }
        module.properties.push_back(std::move(made));
    }

    // FORALL (i1, ..., ik) and its body up to the next section: with one
    // parameter, the formula is AG followed by the body; with more, the body
    // is AG (guard -> psi), and the formula is AG ( followed by what comes
    // after the guard's "->", as the line translator writes the instances.
    void forall(Property& made) {
        const std::size_t forall_token = position();
        take();
        Forall& quantifier = made.forall.emplace();
        expect("(", "after FORALL");
        quantifier.parameters.push_back(expect_name("a parameter of FORALL"));
        while (accept(",")) quantifier.parameters.push_back(expect_name("a parameter of FORALL"));
        expect(")", "to close the parameters of FORALL");
        const std::size_t body = position();
        skip_to_section();
        const std::size_t end = position();
        quantifier.problem = forall_layout_problem(made, forall_token, body, end);
        // A property may end with ';'.
        const std::size_t formula_end = end > body && model_.tokens[end - 1].is(";") ? end - 1 : end;
        if (quantifier.parameters.size() == 1) {
            made.formula = translated_formula(model_.tokens, body, formula_end, {"AG"});
            return;
        }
        if (!(body + 1 < end && model_.tokens[body].is("AG") && model_.tokens[body + 1].is("(")))
            fail(model_.tokens[body],
                 "a FORALL over several parameters must begin with AG ( and the guard, as in "
                 "AG (i != j -> ...)");
        // The line translator drops everything up to the first '>'.
        std::size_t arrow = body + 2;
        while (arrow < end && model_.tokens[arrow].text.find('>') == std::string_view::npos) ++arrow;
        if (arrow == end || !model_.tokens[arrow].is("->"))
            fail(model_.tokens[arrow < end ? arrow : body],
                 "the guard of a FORALL must end with '->', as in AG (i != j -> ...)");
        quantifier.guard = translated_formula(model_.tokens, body + 2, arrow, {});
        made.formula = translated_formula(model_.tokens, arrow + 1, formula_end, {"AG", "("});
    }

    // Why the line translator would not write a FORALL property as its
    // tokens read: it must stand alone on one line, after a header line of
    // SPEC or CTLSPEC, with its parameters used only alone in brackets.
    std::optional<std::string> forall_layout_problem(const Property& made, std::size_t forall_token,
                                                     std::size_t body, std::size_t end) const {
        const std::vector<Token>& tokens = model_.tokens;
        const Token& keyword = tokens[made.keyword_token];
        const Token& forall = tokens[forall_token];
        const std::size_t line = forall.line;
        if (!made.name.empty())
            return "FORALL must come first after its SPEC line; a NAME before it is dropped";
        if (!is_header(keyword) || keyword.line == line)
            return "FORALL must be on a line of its own after a SPEC or CTLSPEC header in the first column";
        if (forall_token > 0 && tokens[forall_token - 1].line == line)
            return "FORALL must be the first word of its line";
        if (tokens[end - 1].line != line ||
            (end < tokens.size() && tokens[end].line == line && tokens[end].kind != TokenKind::end))
            return "the FORALL property must be written on one line, alone";
        const std::vector<std::string_view>& parameters = made.forall->parameters;
        for (std::size_t k = 0; k < parameters.size(); ++k)
            if (std::find(parameters.begin(), parameters.begin() + static_cast<std::ptrdiff_t>(k),
                          parameters[k]) != parameters.begin() + static_cast<std::ptrdiff_t>(k))
                return "FORALL names the parameter " + std::string(parameters[k]) + " twice";
        // With several parameters the guard is dropped, and may name them bare.
        std::size_t from = body;
        if (parameters.size() > 1)
            while (from < end && !tokens[from].is("->")) ++from;
        for (std::size_t at = from; at < end; ++at) {
            if (std::find(parameters.begin(), parameters.end(), tokens[at].text) == parameters.end())
                continue;
            const bool bracketed = tokens[at - 1].is("[") &&
                                   tokens[at - 1].end_offset() == tokens[at].offset &&
                                   tokens[at + 1].is("]") && tokens[at].end_offset() == tokens[at + 1].offset;
            if (!bracketed)
                return "the parameter " + std::string(tokens[at].text) +
                       " is used otherwise than alone in brackets, as in x[" + std::string(tokens[at].text) +
                       "], and the line translator leaves it standing";
        }
        return std::nullopt;
    }

    // A header of the line translator: a section keyword in the first column
    // followed by a space, a line end or the end of the model.
    bool is_header(const Token& keyword) const {
        const std::size_t after = keyword.end_offset();
        return keyword.column == 0 &&
               (after == model_.text.size() || model_.text[after] == ' ' || model_.text[after] == '\n');
    }

    Model& model_;
};

}  // namespace

Model parse_model(std::string_view text) {
    Model model;
    model.text = text;
    model.tokens = tokenize(text);
    ModelParser(model).run();
    return model;
}

}  // namespace ruvello::smv
