#pragma once
// The station sheet: every setting of a station on one printable page for a club's records,
// grouped by page and table row, each with its caption and its value as the window shows it.
// One writer for the command line and the window's printing.
#include <string>
#include <utility>
#include <vector>

#include "registry.h"

namespace zyvora {

enum class SheetFormat { html, markdown };

struct SheetOptions {
    SheetFormat format = SheetFormat::html;
    bool show_passwords = false;  // otherwise a password that is set shows as dots
};

// What the sheet says of itself above the settings: ("Source", "d.cfg"), ("Date", ...), the
// device's versions.
using SheetFacts = std::vector<std::pair<std::string, std::string>>;

// The sheet of `values` (file_values of the settings, by row). Every text is the settings' own
// bytes, shown as Latin-1 characters with control bytes as \xNN, escaped for the format: a
// complete HTML page (print styles, no script, nothing fetched) or a Markdown page.
std::string station_sheet(const Registry& registry, const std::vector<std::string>& values, const SheetFacts& facts,
                          const SheetOptions& options = {});

// The date and time a sheet gives, local: "2026-12-11 14:03".
std::string sheet_date();

}  // namespace zyvora
