#pragma once
// The verbs for several stations' files: `apply` makes a station's settings file from a club's
// base file and the partial files of its site, `report` writes the printable sheet of a source.
#include <string>
#include <vector>

namespace zyvora::cli {

// The arguments they fill besides Options::in and Options::out and the source of SettingVerbs.
struct SheetVerbs {
    std::vector<std::string> overrides;  // apply: the partial files, in the order they apply
    std::string format = "html";         // report: html or markdown
    bool show_passwords = false;         // report
};

}  // namespace zyvora::cli
