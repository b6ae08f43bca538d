// The bash completion and the manual page (as made from docs/cli.md) against the parser the verb
// table makes: each names every verb and option the parser knows, and none it does not.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "command_line.h"

namespace zyvora::cli {
namespace {

using Names = std::set<std::string>;

// The parser, as main makes it.
struct Parser {
    Parser() {
        define_options(line);
        define_verbs(line);
    }
    CommandLine line;
};

// Every name of the options of `app` (-h and --help alike), arguments left out.
Names option_names(const CLI::App& app) {
    Names names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& s : option->get_snames()) names.insert("-" + s);
        for (const std::string& l : option->get_lnames()) names.insert("--" + l);
    }
    return names;
}

// The options every verb takes after it, from the command: --quiet and --verbose.
const Names kEveryVerb = {"-q", "--quiet", "-v", "--verbose"};

Names verb_names() {
    Names names{kHelpVerb};
    for (const Verb& verb : verb_table()) names.insert(verb.name);
    return names;
}

Names joined(Names a, const Names& b) {
    a.insert(b.begin(), b.end());
    return a;
}

std::string text_of(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The words bash completes after `words` (the last the one being typed), one per line.
Names completed(const std::vector<std::string>& words) {
    std::string quoted;
    for (const std::string& w : words) quoted += " '" + w + "'";
    const std::string script =
        "source /usr/share/bash-completion/bash_completion && source '" ZYVORA_COMPLETION "' || exit 1\n"
        "COMP_WORDS=(zyvora-cli" + quoted + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
        "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}; COMPREPLY=()\n"
        "_zyvora_cli zyvora-cli \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
        "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
    // A name of this process's own: other test runs may be at it at the same time.
    const std::string file = testing::TempDir() + "zyvora-complete-" + std::to_string(getpid()) + ".sh";
    std::ofstream(file) << script;
    FILE* pipe = popen(("bash " + file).c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    EXPECT_EQ(pipe ? pclose(pipe) : -1, 0) << script;
    std::remove(file.c_str());
    Names names;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) names.insert(line);
    }
    return names;
}

TEST(VerbDocs, TheCompletionKnowsEveryVerbAndOptionAndNoOther) {
    const Parser parser;
    EXPECT_EQ(completed({""}), verb_names());
    EXPECT_EQ(completed({kHelpVerb, ""}), verb_names());
    EXPECT_EQ(completed({"-"}), option_names(parser.line.app));
    for (const auto& [verb, app] : parser.line.verbs) {
        EXPECT_EQ(completed({verb->name, "-"}), joined(option_names(*app), kEveryVerb)) << verb->name;
    }
}

// The manual page's roff as text: escapes, fonts and quotes gone, one entry per tagged paragraph.
struct ManualPage {
    // Section, then each .TP entry's tag line and its paragraph.
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> entries;
};

std::string plain(std::string line) {
    line = std::regex_replace(line, std::regex(R"(^\.[A-Z]+ ?)"), "");
    line = std::regex_replace(line, std::regex(R"(\\f[BIRPC])"), "");
    line = std::regex_replace(line, std::regex(R"(\\\((lq|rq))"), "\"");
    line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
    line = std::regex_replace(line, std::regex(R"(\\&|")"), "");
    return line;
}

ManualPage read_manual_page(const std::string& path) {
    ManualPage page;
    std::istringstream lines(text_of(path));
    std::string section;
    std::pair<std::string, std::string>* entry = nullptr;
    bool tag_next = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH ", 0) == 0) {
            section = plain(line);
            entry = nullptr;
        } else if (line == ".TP") {
            entry = &page.entries[section].emplace_back();
            tag_next = true;
        } else if (entry && tag_next) {
            entry->first = plain(line);
            tag_next = false;
        } else if (entry && line.rfind(".PP", 0) != 0) {
            entry->second += plain(line) + '\n';
        }
    }
    return page;
}

Names options_in(const std::string& text) {
    Names names;
    static const std::regex option(R"((?:^|[\s\[(|,])(--?[A-Za-z][A-Za-z0-9-]*))");
    for (std::sregex_iterator i(text.begin(), text.end(), option), end; i != end; ++i) names.insert((*i)[1]);
    return names;
}

TEST(VerbDocs, TheManualPageKnowsEveryVerbAndOptionAndNoOther) {
    const Parser parser;
    const ManualPage page = read_manual_page(ZYVORA_MANUAL_PAGE);

    // VERBS: an entry for each verb, its tag starting with the verb's name.
    std::map<std::string, Names> named_with;  // the options each verb's entry names
    for (const auto& [tag, paragraph] : page.entries.at("VERBS")) {
        named_with[tag.substr(0, tag.find(' '))] = options_in(tag + '\n' + paragraph);
    }
    Names documented_verbs;
    for (const auto& [verb, options] : named_with) documented_verbs.insert(verb);
    EXPECT_EQ(documented_verbs, verb_names());

    // OPTIONS: the command's options and those several verbs share.
    Names in_options_section;
    for (const auto& [tag, paragraph] : page.entries.at("OPTIONS")) {
        const Names named = options_in(tag);
        in_options_section.insert(named.begin(), named.end());
    }
    const Names command_options = option_names(parser.line.app);
    Names known = command_options;
    for (const auto& [verb, app] : parser.line.verbs) {
        const Names own = option_names(*app);
        known.insert(own.begin(), own.end());
        const Names& named = named_with[verb->name];
        for (const std::string& option : named) {
            EXPECT_TRUE(own.count(option) || kEveryVerb.count(option))
                << "the manual page's " << verb->name << " names " << option << ", an option it does not take";
        }
        for (const std::string& option : own) {
            EXPECT_TRUE(named.count(option) || in_options_section.count(option))
                << "the manual page names " << option << " of " << verb->name << " nowhere";
        }
    }
    for (const std::string& option : command_options) {
        EXPECT_TRUE(in_options_section.count(option)) << "the manual page's OPTIONS lack " << option;
    }
    for (const std::string& option : in_options_section) {
        EXPECT_TRUE(known.count(option)) << "the manual page's OPTIONS name " << option << ", which the parser does not know";
    }
}

}  // namespace
}  // namespace zyvora::cli
