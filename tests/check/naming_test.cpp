// Naming the properties of a translation so that the checker's verdicts
// can be told apart, and the prefix no name of the model starts with.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

#include "check/naming.h"
#include "smv/vocabulary.h"

namespace {

using namespace ruvello::check;
using ruvello::StringSource;

std::string described(const NamedProperty& property) {
    std::string text = property.name + " line " + std::to_string(property.line) + " " + std::string(ruvello::smv::text_of(property.kind)) +
                       " in " + property.module;
    if (property.processes)
        for (const int process : *property.processes) text += " " + std::to_string(process);
    if (property.stand_in) text += " (stand-in)";
    return text;
}

TEST(Naming, NamesEveryPropertyByItsModelLineAndKeepsTheModelsOwnNames) {
    const std::string translation =
        "--Source file: m.in , by ruvello--\n"  // the model's line 1 is the next
        "MODULE main\n"
        "SPEC AG x -- SPEC in a comment\n"
        "CTLSPEC NAME my$own#1 := AG y\n"
        "LTLSPEC\n"
        "  -- the formula on the next line of code\n"
        "  G z\n"
        "SPEC\n"
        "\tNAME ruvello_8_1_3 := AG (!(s[1] & s[3]))\n"
        "# 12 \"m.in\"\n"
        "SPEC\n"
        "\tNAME ruvello_12_none := TRUE\n"
        "MODULE user(id)\n"
        "PSLSPEC always (id > 0);\n"
        "INVARSPEC (id > 0) COMPUTE MIN [ a , b ]\n"
        "SPEC\n"
        "VAR x : boolean;\n";
    const NamedText named = name_properties(translation, "ruvello_");
    EXPECT_EQ(named.text, "--Source file: m.in , by ruvello--\n"
                          "MODULE main\n"
                          "SPEC NAME ruvello_2 := AG x -- SPEC in a comment\n"
                          "CTLSPEC NAME my$own#1 := AG y\n"
                          "LTLSPEC\n"
                          "  -- the formula on the next line of code\n"
                          "  NAME ruvello_6 := G z\n"
                          "SPEC\n"
                          "\tNAME ruvello_8_1_3 := AG (!(s[1] & s[3]))\n"
                          "# 12 \"m.in\"\n"
                          "SPEC\n"
                          "\tNAME ruvello_12_none := TRUE\n"
                          "MODULE user(id)\n"
                          "PSLSPEC always (id > 0);\n"
                          "INVARSPEC NAME ruvello_16 := (id > 0) COMPUTE NAME ruvello_16_p2 := MIN [ a , b ]\n"
                          "SPEC\n"
                          "VAR x : boolean;\n");
    std::vector<std::string> properties;
    for (const NamedProperty& property : named.named.properties) properties.push_back(described(property));
    EXPECT_EQ(properties, (std::vector<std::string>{
                              "ruvello_2 line 2 CTL in main",
                              "my$own#1 line 3 CTL in main",
                              "ruvello_6 line 6 LTL in main",
                              "ruvello_8_1_3 line 8 CTL in main 1 3",
                              "ruvello_12_none line 12 CTL in main (stand-in)",
                              " line 15 PSL in user",
                              "ruvello_16 line 16 INVAR in user",
                              "ruvello_16_p2 line 16 COMPUTE in user",
                          }));
}

TEST(Naming, ChoosesAPrefixNoNameStartsWithAndCountsTheInstancesOfEachModule) {
    EXPECT_EQ(name_prefix_for("SPEC NAME ruvello := AG x; ruvellox_2 ruvello1_"), "ruvello_");
    EXPECT_EQ(name_prefix_for("NAME ruvello_8_7 := AG x -- ruvellox_"), "ruvelloxx_");
    EXPECT_EQ(name_prefix_for("a-ruvello_1 ruvello_"), "ruvellox_");

    const NamedText named = name_properties(
        "--Source file: m.in , by ruvello--\n"
        "MODULE main\nVAR\n  a : w(x);\n  N1_p : process u(x);\n  N2_p : process u(x);\n"
        "  b : array 1 .. 3 of w(x);\n  r : 0 .. 3;\n  s : lo .. hi;\n"
        "MODULE w(v)\nVAR c : u(v);\nSPEC NAME own := AG v\n"
        "MODULE u(v)\nSPEC AG v\n",
        "ruvello_");
    EXPECT_EQ(named.named.instance_count("w"), 4u);
    EXPECT_EQ(named.named.instance_count("u"), 6u);
    EXPECT_EQ(named.named.module_of("b[2].c"), "u");
    EXPECT_EQ(named.named.module_of("s"), std::nullopt);
    const auto found = named.named.property_listed_as("b[3].c.ruvello_13");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, "b[3].c");
    EXPECT_EQ(named.named.properties[found->property].module, "u");
    EXPECT_FALSE(named.named.property_listed_as("own"));  // a property of w, not of main
    EXPECT_TRUE(named.named.property_listed_as("a.own"));
}

}  // namespace
