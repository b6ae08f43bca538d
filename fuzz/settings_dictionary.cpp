// Writes the libFuzzer dictionary of the settings-file targets: every section and key the
// registry reads, the header the operations check, and the integer forms of the parser.
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "registry.h"
#include "settingsfile.h"

namespace {

// libFuzzer's dictionary syntax: a quoted string with \\, \" and \xNN escapes.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\\' || c == '"' || c < 0x20 || c > 0x7E) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.dict\n", argv[0]);
        return 2;
    }
    std::set<std::string> entries = {
        "[!WARNING]",
        "Application=",
        "Version=",
        std::string(zyvora::kApplicationName),
        std::string(zyvora::kVersionTag),
        "\r\n",
        "=0x",
        "=$",
        "=-",
        "=x",
        "\"",
    };
    for (const auto& setting : zyvora::Registry::instance().settings()) {
        if (!setting.key) continue;
        entries.insert("[" + setting.key->section + "]");
        entries.insert(setting.key->name + "=");
    }
    std::ofstream out(argv[1], std::ios::binary);
    for (const auto& entry : entries) out << quoted(entry) << '\n';
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
