// TOML texts that nest keys deep enough to overflow the parser's stack are
// refused before parsing, naming their line, by every reader; what only
// looks deep (dots in strings, comments, numbers) is read as before.
#include "LayeredText.h"
#include "Recipe.h"
#include "TomlText.h"

#include "Bleepforge.h"
#include "RenderJob.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace
{

std::string dotted(int parts)
{
    std::string key = "a";
    for (int i = 1; i < parts; ++i)
        key += ".a";
    return key;
}

// The line a parse refusal names, or 0 when the text was read.
size_t refusedLine(const std::string& text)
{
    try
    {
        ParseTomlText(text, "deep.toml");
    }
    catch (const toml::parse_error& e)
    {
        return e.source().begin.line;
    }
    return 0;
}

std::string refusal(const std::function<void()>& read)
{
    try
    {
        read();
    }
    catch (const std::exception& e)
    {
        return e.what();
    }
    return "";
}

TEST(TomlText, KeysNestedPastTheMostAreRefusedAtTheirLineHoweverTheyNest)
{
    const std::string far = dotted(150000);
    EXPECT_EQ(refusedLine("description = \"x\"\n\n" + far + " = 1\n"), 3u);
    EXPECT_EQ(refusedLine("[" + far + "]\nx = 1\n"), 1u);
    EXPECT_EQ(refusedLine("x = 1\n[[" + far + "]]\n"), 2u);
    EXPECT_EQ(refusedLine(dotted(kMostTomlDepth + 1) + " = 1\n"), 1u);
    EXPECT_EQ(refusedLine("\"" + std::string("q\".\"q") + "\"." + dotted(kMostTomlDepth) + " = 1\n"), 1u)
        << "quoted parts count too";
    // Each part shallow, the whole deep: under a table, and through inline tables.
    EXPECT_EQ(refusedLine("[" + dotted(200) + "]\n# the table\n" + dotted(100) + " = 1\n"), 3u);
    std::string inlineTables = "x = ";
    for (int i = 0; i < 250; ++i)
        inlineTables += "{ " + dotted(250) + " = ";
    EXPECT_EQ(refusedLine(inlineTables + "1" + std::string(250, '}') + "\n"), 1u);
    std::string arrays = "x = [\n";
    for (int i = 0; i < 300; ++i)
        arrays += "[";
    EXPECT_EQ(refusedLine(arrays), 2u);
}

TEST(TomlText, WhatOnlyLooksDeepIsReadAsItIs)
{
    EXPECT_EQ(refusedLine(dotted(kMostTomlDepth) + " = 1\n"), 0u);
    EXPECT_EQ(refusedLine("[" + dotted(kMostTomlDepth - 1) + "]\nb = 1\n"), 0u);
    const std::string dots(5000, '.');
    std::string floats = "numbers = [";
    for (int i = 0; i < 1000; ++i)
        floats += "1.5, ";
    const std::string text = "text = \"" + dots + "\\\"" + dots + "\"  # " + dots + "\n"
                             "literal = '" + dots + "'\n"
                             "long = \"\"\"\n" + dots + "\n\"quoted\" \\\"\"\" " + dots + "\"\"\"\"\n"
                             "raw = '''" + dots + "''" + dots + "'''\n"
                             "when = 1979-05-27T00:32:00.999999\n" +
                             floats + "]\n"
                             "table = { a.b = 1.25, c = [{ d.e = 2.5 }] }\n"
                             "[\"" + dots + "\".x]\n"
                             "y = 2\n";
    EXPECT_EQ(refusedLine(text), 0u);
    const toml::table table = ParseTomlText(text);
    EXPECT_EQ(table["long"].value<std::string>(), dots + "\n\"quoted\" \"\"\" " + dots + "\"");
    EXPECT_EQ(table["table"]["c"][0]["d"]["e"].value<double>(), 2.5);
    EXPECT_EQ(table[dots]["x"]["y"].value<int>(), 2);
}

// The readers refuse such a text with its line, as any text that is not
// TOML, and never take it for a layered sound.
TEST(TomlText, RecipesLayeredSoundsAndTheirTestAllRefuseADeepText)
{
    InstrumentBackend instrument;
    instrument.Open(44100.0, 512, std::nullopt);
    const std::string text = "description = \"deep\"\n" + dotted(150000) + " = 1\n";
    EXPECT_EQ(refusal([&] { ParseRecipe(text, "kinds/deep.toml", instrument.Params()); })
                  .find("kinds/deep.toml:2: not TOML: keys nested more than 256 deep"),
              0u);
    const std::string layered = "version = 1\n[[layer]]\n" + dotted(150000) + " = 1\n";
    EXPECT_EQ(refusal([&] { ParseLayeredText(layered, "deep.toml"); })
                  .find("deep.toml:3: not TOML: keys nested more than 256 deep"),
              0u);
    EXPECT_FALSE(DescribesLayers(text));
}

} // namespace
