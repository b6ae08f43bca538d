#pragma once
// Where the page builder puts the controls of each page. A page is a row of columns; a column
// is a list of rows; a row is a caption (the first control's) and its controls side by side,
// each later control after a label with its own caption (the "-" before an SSID), or a note:
// a word-wrapped text across the column.
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zyvora_app {

// A place in a row: the control of that name, in a table a text shown instead (the "-" between
// a call sign and its SSID), or neither (no name, no text), which leaves the place empty.
struct LayoutCell {
    LayoutCell(std::string name) : control(std::move(name)) {}
    LayoutCell(const char* name) : control(name) {}
    std::string control;
    std::optional<std::string> text;
    std::string caption_of;  // in a table: shows the caption this control declares, as a text
};

struct LayoutRow {
    LayoutRow(std::initializer_list<LayoutCell> cells) : controls(cells) {}
    std::vector<LayoutCell> controls;  // none in a note row
    // Table: what a screen reader calls the row, before each control's own name ("Beacon 6");
    // empty: the text of its first cell, or else the name of the row above.
    std::string name;
    std::string note;
    std::string note_of;  // non-empty: the note is the caption this control declares
    int note_chars = 44;  // a note's wrap width in characters
    std::vector<std::string> after;  // a text shown after controls[i]; missing or empty: none
    bool sentence = false;  // the texts after the controls are the captions of the next ones
    bool span = false;      // table: the last control reaches to the last column; pairs: the
                            // controls after the first follow it in one line
    bool whole_line = false;  // the first caption too is in the line, which takes the row's full width
    bool bare = false;        // one control without its caption (a group title shows it), across the row
    bool warning = false;     // a note in red
    std::string button;     // a push button of this object name, captioned `note`, and no control;
                            // in a table, the button follows the row's controls in a cell of its own
};

// A row of controls with a text after each, for pages that read as sentences around the edits.
LayoutRow layout_sentence(std::vector<LayoutCell> controls, std::vector<std::string> after);

// A row that shows `text` and holds no control.
LayoutRow layout_note(std::string text, int wrap_chars = 44);
LayoutRow layout_warning(std::string text, int wrap_chars = 44);

// A note row that shows the caption `control` declares, for a control shown without it elsewhere.
LayoutRow layout_caption_note(std::string control, int wrap_chars = 44);

// A row holding the push button `name` with `caption`; the window connects it by name.
LayoutRow layout_button(std::string name, std::string caption);

// A table row whose controls are followed by the push button `name` with `caption`.
LayoutRow layout_row_with_button(std::vector<LayoutCell> controls, std::string name, std::string caption);

// A table cell that shows `text` instead of a control (the "-" between a call sign and its SSID).
LayoutCell cell_text(std::string text);

// A table cell that shows the caption that `control` declares (the "-" before an SSID).
LayoutCell cell_caption(std::string control);

// A table's column caption: a text of the window's own ("" for none), or without one the caption
// that the control under it in the table's first row declares.
struct LayoutHeader {
    LayoutHeader() = default;
    LayoutHeader(std::string text) : text(std::move(text)) {}
    LayoutHeader(const char* text) : text(text) {}
    std::optional<std::string> text;
};

// The header that shows the declared caption of the control under it.
inline const LayoutHeader kControlCaption{};

struct LayoutColumn {
    std::string title;  // a group box around the column; empty: none
    std::vector<LayoutRow> rows;
    // Non-empty: the column is a table with these captions over its columns; each row puts
    // controls[i] under headers[i] without a caption of its own ("" leaves the cell empty).
    std::vector<LayoutHeader> headers = {};
    // Table: the edits of column i are as wide as cell_chars[i] capitals rather than their
    // maximum length (0 or missing: their maximum length); they scroll what is longer.
    std::vector<int> cell_chars = {};
    int cell_spacing = 8;  // pixels between the cells of a row
    // Each control of a row gets its own caption and field cells, so that captions line up in
    // several columns of pairs.
    bool pairs = false;
    // Non-empty: the column is these columns stacked top to bottom (its own rows unused).
    std::vector<LayoutColumn> stack = {};
    std::string title_of = {};  // non-empty: the group box's title is the caption this control declares
    // Table: tables of one non-empty key (on pages that continue each other) give each column one
    // width, so their columns stand at the same places; every table does so within itself.
    std::string aligned = {};
    // Rows of captions and fields: the edits for free texts (more than a dozen characters) are
    // all as wide as the widest of them.
    bool even_texts = false;
};

struct PageLayout {
    std::string page;  // object name of the page
    std::vector<LayoutColumn> columns;
    int spacing = 28;  // between columns
};

// The main window's pages. A control that no layout names goes into a row of its own at the end
// of its page's last column, so every control is shown even before its page is arranged.
const std::vector<PageLayout>& page_layouts();

// The push buttons that run telemetry channel `channel`'s "Default parameters" preset; the
// layouts place them and the window connects them by these names.
std::string analog_preset_button(int channel);
std::string digital_preset_button(int channel);

// The layout among `layouts` that places the push button `name`; nullptr when none does.
const PageLayout* layout_placing_button(const std::vector<PageLayout>& layouts, const std::string& name);

}  // namespace zyvora_app
