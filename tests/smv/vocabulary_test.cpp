// The words of SMV as every part reads them: the parser takes each section
// keyword as a section and refuses every reserved word as a name, and the
// names of FORALL instances read back as they were written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smv/parser.h"
#include "smv/vocabulary.h"

namespace {

using namespace ruvello::smv;

// Whether the parser reads `word` as the name of a variable declared in a
// VAR section.
bool declares(const std::string& word) {
    const std::string text = "MODULE main\nVAR\n  " + word + " : boolean;\n";
    const Model model = parse_model(text);
    return !model.error && model.modules.size() == 1 && model.modules[0].declarations.size() == 1 &&
           model.modules[0].declarations[0].name == word;
}

TEST(Vocabulary, EverySectionKeywordEndsTheSectionBeforeIt) {
    for (const SectionKeyword& keyword : section_keywords) {
        // A VAR section runs to the next section keyword; any other word
        // there would be read as a declaration.
        const std::string text = "MODULE main\nVAR\n  x : boolean;\n" + std::string(keyword.word) + "\n";
        const Model model = parse_model(text);
        ASSERT_FALSE(model.modules.empty()) << keyword.word;
        EXPECT_EQ(model.modules[0].declarations.size(), 1u) << keyword.word;
    }
}

TEST(Vocabulary, NoReservedWordNamesAVariableAndOtherWordsDo) {
    for (const std::string word : {"MODULE", "SPEC", "COMPWFF", "process", "case", "TRUE", "AG", "FORALL", "toint",
                                   "word1", "NAME", "xnor"}) {
        EXPECT_TRUE(is_reserved_word(word)) << word;
        EXPECT_FALSE(declares(word)) << word;
    }
    for (const std::string word : {"Proc", "N", "clock", "count", "running", "ag"}) {
        EXPECT_FALSE(is_reserved_word(word)) << word;
        EXPECT_TRUE(declares(word)) << word;
    }
}

TEST(Vocabulary, EveryPropertyKeywordHasItsKindAndEveryKindItsText) {
    const std::vector<std::pair<std::string, std::string>> keywords = {
        {"SPEC", "CTL"}, {"CTLSPEC", "CTL"}, {"LTLSPEC", "LTL"},
        {"INVARSPEC", "INVAR"}, {"PSLSPEC", "PSL"}, {"COMPUTE", "COMPUTE"}};
    for (const auto& [keyword, text] : keywords) {
        const std::optional<PropertyKind> kind = property_kind_of_keyword(keyword);
        ASSERT_TRUE(kind) << keyword;
        EXPECT_EQ(text_of(*kind), text);
        EXPECT_EQ(property_kind_of_text(text), kind);
        EXPECT_EQ(property_keyword(keyword), keyword);
        const std::optional<SectionKeyword> section = section_keyword(keyword);
        ASSERT_TRUE(section) << keyword;
        EXPECT_EQ(section->use, KeywordUse::property);
        // The parser gives a property of the model the kind of its keyword.
        const std::string model_text = "MODULE main\nVAR\n  x : boolean;\n" + keyword + " x\n";
        const Model model = parse_model(model_text);
        ASSERT_EQ(model.modules.at(0).properties.size(), 1u) << keyword;
        EXPECT_EQ(model.modules[0].properties[0].kind, kind);
    }
    for (const SectionKeyword& keyword : section_keywords)
        EXPECT_EQ(keyword.use == KeywordUse::property, keyword.property_kind.has_value()) << keyword.word;
    for (const std::string word : {"INVAR", "spec", "ctl", "SPECS", ""}) {
        EXPECT_FALSE(property_kind_of_keyword(word)) << word;
        EXPECT_EQ(property_keyword(word), "") << word;
    }
    EXPECT_FALSE(property_kind_of_text("ctl"));
    EXPECT_FALSE(property_kind_of_text("CTLSPEC"));
}

TEST(Vocabulary, NamesOfAWordForTheTranslatorAndOfANameForNuSMV) {
    // The translator's words stop at '-', NuSMV's names go on over it, and
    // the checker's listing also over '\'.
    EXPECT_EQ(word_at("N-1", 0), "N");
    EXPECT_EQ(find_word("x[N-1] & N1 & aN", "N"), 2u);
    EXPECT_EQ(find_word("N1 $N N# _N", "N"), std::string::npos);
    EXPECT_TRUE(continues_name('-') && !is_word_char('-'));
    EXPECT_TRUE(continues_listed_name('\\') && !continues_name('\\'));
    EXPECT_FALSE(starts_name('1') || starts_name('$') || starts_name('-'));
    // The lexer reads a name as NuSMV does: no--ne is one name.
    const std::vector<Token> tokens = tokenize("no--ne -- a comment\nx$#-1");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].text, "no--ne");
    EXPECT_EQ(tokens[1].text, "x$#-1");
}

TEST(Vocabulary, InstanceNamesReadBackAsWritten) {
    struct Case {
        std::string prefix;
        std::size_t line;
        std::vector<int> processes;
        std::string name;
    };
    const Case cases[] = {
        {"ruvello_", 14, {1, 3}, "ruvello_14_1_3"},
        {"ruvello_", 7, {}, "ruvello_7_none"},
        {"ruvelloxx_", 123456, {12, 1, 100000}, "ruvelloxx_123456_12_1_100000"},
        {"ruvello_", 1, {2}, "ruvello_1_2"},
    };
    for (const Case& each : cases) {
        std::string name = "NAME ";
        append_instance_name(name, each.prefix, each.line, each.processes);
        EXPECT_EQ(name, "NAME " + each.name);
        const std::optional<InstanceName> read = read_instance_name(each.name, each.prefix);
        ASSERT_TRUE(read) << each.name;
        EXPECT_EQ(read->line, each.line);
        EXPECT_EQ(read->processes, each.processes);
    }
    // Names of the model's own, and names of another prefix, tell nothing.
    for (const std::string name : {"ruvello_14", "ruvello_14_", "ruvello_14_1_", "ruvello_14_1x", "ruvello__1",
                                   "ruvello_14_none_1", "ruvellox_14_1", "safe", "ruvello_x_1"})
        EXPECT_FALSE(read_instance_name(name, "ruvello_")) << name;
}

}  // namespace
