#include "station_sheet.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "files.h"
#include "page_tree.h"
#include "settings_source.h"

namespace zyvora {

namespace {

// How a text's bytes are meant: the settings' own texts are Latin-1, as the window shows them;
// a file name or a fact may already be UTF-8.
enum class Bytes { latin1, utf8 };

// U+25CF for each dot; the same eight whatever the password's length, which a sheet need not tell.
constexpr std::string_view kDots = "\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF";

void append_latin1(std::string& out, unsigned char byte) {
    if (byte < 0x80) {
        out += static_cast<char>(byte);
        return;
    }
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
}

std::string hex_byte(unsigned char byte) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    return hex;
}

// `text` in the format's markup: its special characters escaped, control bytes (C0, DEL, C1)
// as \xNN, everything else as UTF-8.
std::string escaped(std::string_view text, SheetFormat format, Bytes bytes = Bytes::latin1) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (bytes == Bytes::utf8 && byte >= 0xC2) {
            // A well-formed UTF-8 character stays one, unless it is a C1 control (C2 80 - C2 9F).
            const std::size_t length = utf8_length(text.substr(i));
            if (length > 0 && !(byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F)) {
                out += text.substr(i, length);
                i += length;
                continue;
            }
        }
        ++i;
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte <= 0x9F)) {
            out += format == SheetFormat::html ? "<span class=\"byte\">" + hex_byte(byte) + "</span>"
                                               : "\\" + hex_byte(byte);
            continue;
        }
        if (format == SheetFormat::html) {
            switch (byte) {
            case '<': out += "&lt;"; continue;
            case '>': out += "&gt;"; continue;
            case '&': out += "&amp;"; continue;
            case '"': out += "&quot;"; continue;
            case '\'': out += "&#39;"; continue;
            default: break;
            }
        } else if (std::string_view("\\`*_[]<>|~&").find(static_cast<char>(byte)) != std::string_view::npos) {
            // Backslash escapes, which CommonMark and wiki tables take for any ASCII punctuation.
            out += '\\';
        }
        append_latin1(out, byte);
    }
    return out;
}

// A setting's name on the sheet as a screen reader says it: its row and caption ("Path rule 3,
// Enable if"), and for a control whose caption is a mark ("-" before an SSID) what it sets; the
// key for one that has no name.
std::string setting_name(const Setting& setting) {
    const std::string name = row_and_name(setting.control);
    return name.empty() ? setting.key->name : name;
}

void add_pages(const std::vector<PageDecl>& pages, std::vector<std::string>& order) {
    for (const PageDecl& page : pages) {
        order.push_back(page.name);
        add_pages(page.pages, order);
    }
}

// The keyed rows by page: the pages in tab order (a tab before its sub-pages), then any other
// page (the filter window) in the order its first row comes; the rows of a page in save order.
std::vector<std::pair<std::string, std::vector<int>>> rows_by_page(const Registry& registry) {
    std::vector<std::string> order;
    add_pages(page_tree(), order);
    std::vector<std::pair<std::string, std::vector<int>>> pages;
    for (const std::string& name : order) pages.emplace_back(name, std::vector<int>{});
    for (const int row : registry.save_rows()) {
        const std::string& page = registry.settings()[row].control.page;
        auto found = std::find_if(pages.begin(), pages.end(), [&](const auto& p) { return p.first == page; });
        if (found == pages.end()) found = pages.insert(pages.end(), {page, {}});
        found->second.push_back(row);
    }
    std::erase_if(pages, [](const auto& p) { return p.second.empty(); });
    return pages;
}

std::string value_text(const Setting& setting, const std::string& value, const SheetOptions& options) {
    if (setting.control.secret && !options.show_passwords && !value.empty()) return std::string(kDots);
    return escaped(shown_value(setting, value), options.format);
}

// Styles for the screen and the printed page; no font or file is fetched.
constexpr std::string_view kStyle = R"(body { font-family: sans-serif; font-size: 10pt; color: #000; background: #fff; }
h1 { font-size: 16pt; margin: 0 0 4pt 0; }
h2 { font-size: 12pt; margin: 12pt 0 4pt 0; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #999; padding: 2px 6px; text-align: left; vertical-align: top; }
td.value { white-space: pre-wrap; }
td.key { color: #555; font-size: 8pt; }
tbody.row { border-top: 2px solid #555; }
.byte { color: #a00; }
@page { margin: 15mm; }
@media print {
  h2 { break-after: avoid; page-break-after: avoid; }
  tr { break-inside: avoid; page-break-inside: avoid; }
}
)";

std::string html_sheet(const Registry& registry, const std::vector<std::string>& values, const SheetFacts& facts,
                       const SheetOptions& options) {
    const auto e = [&](std::string_view text, Bytes bytes = Bytes::latin1) {
        return escaped(text, SheetFormat::html, bytes);
    };
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Station sheet</title>\n";
    out += "<style>\n" + std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Station sheet</h1>\n";
    out += "<table class=\"facts\">\n";
    for (const auto& [caption, text] : facts) {
        out += "<tr><th>" + e(caption, Bytes::utf8) + "</th><td>" + e(text, Bytes::utf8) + "</td></tr>\n";
    }
    out += "</table>\n";
    for (const auto& [page, rows] : rows_by_page(registry)) {
        out += "<h2>" + e(page_caption(page)) + "</h2>\n<table class=\"page\">\n";
        out += "<thead><tr><th>Setting</th><th>Value</th><th>Key</th></tr></thead>\n";
        // A table row's settings together, set apart from the next row's.
        const std::string* member = nullptr;
        for (const int row : rows) {
            const Setting& setting = registry.settings()[row];
            if (!member || *member != setting.control.member) {
                if (member) out += "</tbody>\n";
                out += setting.control.member.empty() ? "<tbody>\n" : "<tbody class=\"row\">\n";
                member = &setting.control.member;
            }
            out += "<tr class=\"setting\"><td>" + e(setting_name(setting)) + "</td><td class=\"value\">" +
                   value_text(setting, values[row], options) + "</td><td class=\"key\">" + e(setting_path(setting)) +
                   "</td></tr>\n";
        }
        out += "</tbody>\n</table>\n";
    }
    return out + "</body>\n</html>\n";
}

std::string markdown_sheet(const Registry& registry, const std::vector<std::string>& values, const SheetFacts& facts,
                           const SheetOptions& options) {
    const auto e = [&](std::string_view text, Bytes bytes = Bytes::latin1) {
        return escaped(text, SheetFormat::markdown, bytes);
    };
    std::string out = "# Station sheet\n\n";
    for (const auto& [caption, text] : facts) out += "- " + e(caption, Bytes::utf8) + ": " + e(text, Bytes::utf8) + "\n";
    for (const auto& [page, rows] : rows_by_page(registry)) {
        out += "\n## " + e(page_caption(page)) + "\n\n| Setting | Value | Key |\n| --- | --- | --- |\n";
        for (const int row : rows) {
            const Setting& setting = registry.settings()[row];
            out += "| " + e(setting_name(setting)) + " | " + value_text(setting, values[row], options) + " | " +
                   e(setting_path(setting)) + " |\n";
        }
    }
    return out;
}

}  // namespace

std::string station_sheet(const Registry& registry, const std::vector<std::string>& values, const SheetFacts& facts,
                          const SheetOptions& options) {
    return options.format == SheetFormat::html ? html_sheet(registry, values, facts, options)
                                               : markdown_sheet(registry, values, facts, options);
}

std::string sheet_date() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace zyvora
