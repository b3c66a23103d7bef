#include "ExportTestSupport.hpp"
#include "export/ScriptExporter.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace cairnmoor {
namespace {

TEST(ShellQuoting, SafeTextStaysBareAndEverythingElseIsSingleQuoted) {
    std::string quoted;
    for (const char* text : {"A-Z_a.z@0/9", "--cask", "", "c++", "a b", "it's", "''", "$HOME",
                             "caf\xC3\xA9", "a\nb", "back\\slash"}) {
        quoted += ScriptExporter::shellQuoted(text) + " ";
    }
    EXPECT_EQ(quoted, R"(A-Z_a.z@0/9 --cask '' 'c++' 'a b' 'it'\''s' ''\'''\''' '$HOME' )"
                      "'caf\xC3\xA9' 'a\nb' 'back\\slash' ");
}

// Random texts weighted towards what a shell treats specially.
std::vector<std::string> generatedTexts() {
    std::vector<std::string> pieces = {
        "--",           "$(id)",        "${HOME}",          "'\\''",
        "*.txt",        "\xFE\x80",     "\xC3\xA9",         "\xE2\x86\x92",
        "\xE6\x97\xA5", "\xE6\x9C\xAC", "\xF0\x9F\x8D\xBA", "\n\n"};
    for (const char c :
         std::string_view("'\" \n\t$`*?[]{}~!#&;|<>()\\%=-aZ9./@_+,:^\r\x01\x7f\xFF")) {
        pieces.emplace_back(1, c);
    }
    std::vector<std::string> texts = {"",      "'",          "''",     "-n",     "-e",
                                      "--",    "trailing\n", "\nlead", "$'\\n'", "!!",
                                      "~root", "a b  c",     "\\",     "%s%n",   "'\"'\"'"};
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(1, 12);
    for (int i = 0; i < 600; ++i) {
        std::string text;
        for (int n = length(random); n > 0; --n) {
            text += pieces[pick(random)];
        }
        texts.push_back(text);
    }
    return texts;
}

// Bash itself must read every quoted text back as the original bytes. One bash run for
// all texts keeps this fast; NUL bytes separate the results because no text holds one.
TEST(ShellQuoting, BashReadsEveryQuotedTextBackUnchanged) {
    const std::vector<std::string> texts = generatedTexts();
    std::string script = "set -eu\n";
    for (const std::string& text : texts) {
        script += "printf '%s' " + ScriptExporter::shellQuoted(text) + "\nprintf '\\0'\n";
    }
    testing::TempDir dir;
    const auto path = dir.write("quoting.sh", script);
    const auto result = testing::runCommand({"/bin/bash", path.string()}, {{"LC_ALL", "C.UTF-8"}});
    ASSERT_EQ(result.status, 0) << result.output;

    std::vector<std::string> read;
    std::string::size_type start = 0;
    for (auto end = result.output.find('\0'); end != std::string::npos;
         end = result.output.find('\0', start)) {
        read.push_back(result.output.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(start, result.output.size()) << "output after the last text";
    ASSERT_EQ(read.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(read[i], texts[i]) << "quoted as " << ScriptExporter::shellQuoted(texts[i]);
    }
}

} // namespace
} // namespace cairnmoor
