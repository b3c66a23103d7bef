#include "import/BrewfileReader.hpp"

#include <array>
#include <optional>

namespace cairnmoor::BrewfileReader {

namespace {

// A line shown back to the user is cut here, at a character boundary.
constexpr std::size_t shownLength = 160;

constexpr std::array otherKinds = {"mas", "vscode", "go",        "cargo",   "uv",
                                   "npm", "winget", "whalebrew", "flatpak", "krew"};
constexpr std::array blockWords = {"if",    "unless", "case", "while",  "until",
                                   "begin", "def",    "for",  "module", "class"};

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool isWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isWordPart(char c) {
    return isWordStart(c) || (c >= '0' && c <= '9');
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

template <std::size_t N>
bool isOneOf(std::string_view word, const std::array<const char*, N>& words) {
    for (const char* candidate : words) {
        if (word == candidate) {
            return true;
        }
    }
    return false;
}

// One physical line: its code without the comment, and how it leaves quotes and brackets.
struct LineCode {
    std::string_view code;
    int depth = 0; // brackets opened minus brackets closed
    bool unterminated = false;
};

LineCode scanLine(std::string_view line) {
    LineCode result;
    char quote = 0;
    std::size_t end = line.size();
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote != 0) {
            if (c == '\\') {
                ++i;
            } else if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '#') {
            end = i;
            break;
        } else if (c == '[' || c == '{' || c == '(') {
            ++result.depth;
        } else if (c == ']' || c == '}' || c == ')') {
            --result.depth;
        }
    }
    result.unterminated = quote != 0;
    result.code = trimmed(line.substr(0, end));
    return result;
}

// Reads Ruby-like code from left to right.
struct Cursor {
    std::string_view text;
    std::size_t at = 0;

    void skipSpaces() {
        while (at < text.size() && isSpace(text[at])) {
            ++at;
        }
    }
    bool done() const { return at >= text.size(); }
    std::string_view word() {
        skipSpaces();
        const std::size_t start = at;
        if (at < text.size() && isWordStart(text[at])) {
            while (at < text.size() && isWordPart(text[at])) {
                ++at;
            }
        }
        return text.substr(start, at - start);
    }
    // A quoted text's content; none when there is none here. An escape keeps the
    // character after the backslash; `#{` in double quotes sets `computed`.
    std::optional<std::string> literal(bool& computed) {
        skipSpaces();
        if (done() || (text[at] != '"' && text[at] != '\'')) {
            return std::nullopt;
        }
        const char quote = text[at++];
        std::string content;
        while (at < text.size() && text[at] != quote) {
            if (text[at] == '\\' && at + 1 < text.size()) {
                ++at;
            } else if (quote == '"' && text[at] == '#' && at + 1 < text.size() &&
                       text[at + 1] == '{') {
                computed = true;
            }
            content += text[at++];
        }
        if (done()) {
            return std::nullopt;
        }
        ++at;
        return content;
    }
};

// The words of the code outside quoted texts, for finding `if`, `unless` and `trusted:`.
struct Words {
    bool condition = false;
    bool trusted = false;
};

Words wordsOutsideQuotes(std::string_view code) {
    Words words;
    Cursor cursor{code};
    while (!cursor.done()) {
        const char c = code[cursor.at];
        if (c == '"' || c == '\'') {
            bool ignored = false;
            if (!cursor.literal(ignored)) {
                break;
            }
            continue;
        }
        if (!isWordStart(c)) {
            ++cursor.at;
            continue;
        }
        const std::string_view word = cursor.word();
        const bool isKey = cursor.at < code.size() && code[cursor.at] == ':';
        if ((word == "if" || word == "unless") && !isKey) {
            words.condition = true;
        }
        if (word == "trusted" && isKey) {
            Cursor value{code, cursor.at + 1};
            words.trusted = value.word() == "true";
        }
    }
    return words;
}

std::string shown(std::string_view text) {
    if (text.size() <= shownLength) {
        return std::string(text);
    }
    std::size_t cut = shownLength;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return std::string(text.substr(0, cut)) + "\u2026";
}

class Reader {
public:
    Brewfile result;

    // One statement: its code joined over its lines, numbered by its first line.
    void statement(std::size_t line, std::string_view firstLine, std::string_view code) {
        const auto refuse = [&](std::string reason) {
            result.unusable.push_back({line, shown(trimmed(firstLine)), std::move(reason)});
        };
        Cursor cursor{code};
        const std::string_view kind = cursor.word();
        if (blockDepth_ > 0 || isOneOf(kind, blockWords) || kind == "end" || endsWithDo(code)) {
            trackBlocks(kind, code);
            return refuse("part of a Ruby condition or block; Cairnmoor does not run the "
                          "Brewfile");
        }
        if (kind != "brew" && kind != "cask" && kind != "tap") {
            if (isOneOf(kind, otherKinds)) {
                return refuse("a " + std::string(kind) +
                              " entry; Cairnmoor installs only brew and cask entries");
            }
            if (kind == "cask_args") {
                return refuse("options for every cask are not applied");
            }
            return refuse("not a brew, cask or tap entry");
        }
        cursor.skipSpaces();
        const bool parenthesised = !cursor.done() && code[cursor.at] == '(';
        cursor.at += parenthesised ? 1 : 0;
        bool computed = false;
        const std::optional<std::string> name = cursor.literal(computed);
        if (!name) {
            return refuse("the name is not in quotes");
        }
        if (computed) {
            return refuse("the name is computed by Ruby code");
        }
        cursor.skipSpaces();
        const std::string_view rest = code.substr(cursor.at);
        const Words words = wordsOutsideQuotes(rest);
        if (words.condition) {
            return refuse("it has a Ruby condition; Cairnmoor does not run the Brewfile");
        }
        if (!rest.empty() && rest.front() != ',' && !(parenthesised && rest.front() == ')')) {
            return refuse("not understood after the name");
        }
        const PackageManager homebrew = PackageManager::homebrew;
        if (!homebrew.isValidPackageName(*name)) {
            return refuse("\"" + shown(*name) + "\" is not a valid Homebrew name");
        }
        if (kind == "tap") {
            result.taps.push_back({*name, words.trusted, line});
            return;
        }
        result.packages.push_back(ProfilePackage{
            *name, kind == "cask" ? ProfilePackage::Kind::cask : ProfilePackage::Kind::formula});
    }

    void broken(std::size_t line, std::string_view firstLine, std::string reason) {
        result.unusable.push_back({line, shown(trimmed(firstLine)), std::move(reason)});
    }

private:
    static bool endsWithDo(std::string_view code) {
        if (!code.empty() && code.back() == '|') {
            const std::size_t bar = code.find('|');
            code = trimmed(code.substr(0, bar));
        }
        return code == "do" ||
               (code.ends_with("do") && code.size() > 2 && !isWordPart(code[code.size() - 3]));
    }

    void trackBlocks(std::string_view kind, std::string_view code) {
        if (kind == "end") {
            blockDepth_ -= blockDepth_ > 0 ? 1 : 0;
            return;
        }
        const bool opens = isOneOf(kind, blockWords) || endsWithDo(code);
        // "if x then y end" on one line opens nothing.
        const bool closesItself =
            code.ends_with("end") && (code.size() == 3 || !isWordPart(code[code.size() - 4]));
        if (opens && !closesItself) {
            ++blockDepth_;
        }
    }

    int blockDepth_ = 0;
};

} // namespace

Brewfile read(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    Reader reader;
    std::string code;            // the statement being gathered
    std::size_t firstNumber = 0; // its first line's number, 0 when none is open
    std::string_view firstLine;
    int depth = 0;
    std::size_t number = 0;
    bool more = !text.empty();
    while (more) {
        const std::size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        more = newline != std::string_view::npos;
        text = more ? text.substr(newline + 1) : std::string_view{};
        ++number;
        const LineCode scanned = scanLine(line);
        if (firstNumber == 0) {
            if (scanned.code.empty()) {
                continue;
            }
            firstNumber = number;
            firstLine = line;
            code.clear();
            depth = 0;
        }
        if (scanned.unterminated) {
            reader.broken(firstNumber, firstLine,
                          "a quote is not closed on line " + std::to_string(number));
            firstNumber = 0;
            continue;
        }
        code += code.empty() ? "" : " ";
        code += scanned.code;
        depth += scanned.depth;
        if (depth < 0) {
            reader.broken(firstNumber, firstLine,
                          "a bracket is closed on line " + std::to_string(number) +
                              " that was never opened");
            firstNumber = 0;
        } else if (depth == 0 && !code.ends_with(',') && !code.ends_with('\\')) {
            reader.statement(firstNumber, firstLine, code);
            firstNumber = 0;
        }
    }
    if (firstNumber != 0) {
        reader.broken(firstNumber, firstLine, "the file ends before this entry does");
    }
    return std::move(reader.result);
}

} // namespace cairnmoor::BrewfileReader
