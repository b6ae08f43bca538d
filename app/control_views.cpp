#include "control_views.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QSignalBlocker>
#include <QValidator>
#include <QWhatsThis>
#include <algorithm>
#include <map>
#include <stdexcept>

#include "position_entry.h"
#include "texts.h"

namespace zyvora_app {

namespace {

using zyvora::ControlDecl;
using zyvora::ControlKind;

constexpr int kUnlimited = 32767;  // QLineEdit's own limit

// Control texts are stored as Latin-1 bytes: refuse what Latin-1 cannot hold.
class Latin1Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar c : input) {
            if (c.unicode() > 0xFF) return Invalid;
        }
        return Acceptable;
    }
};

// The bold "-" and "," that join call signs, SSIDs and path elements in one line.
bool is_joiner(const std::string& caption) { return caption == "-" || caption == ","; }

QString decl_text(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

constexpr int kShortText = 12;  // the most characters of a call sign or number edit

// Wide enough for the longest text the edit takes, within reason for long free texts.
int edit_width(const QWidget* edit, int max_length) {
    // Call signs and numbers are measured in capitals; long free texts scroll within a width of
    // lower-case letters that leaves room for the page's other columns.
    const int chars = std::clamp(max_length > 0 ? max_length : 20, 2, 40);
    if (chars > kShortText) return edit->fontMetrics().horizontalAdvance(QString(std::min(chars, 24), u'n')) + 12;
    return edit->fontMetrics().horizontalAdvance(QString(chars, u'N')) + 12;
}

// As wide as `chars` characters (see edit_width) and never narrower than the control's start-up text.
int field_width(const QWidget* edit, int chars, const ControlDecl& decl) {
    return std::max(edit_width(edit, chars), edit->fontMetrics().horizontalAdvance(decl_text(decl.default_text)) + 12);
}

QString spoken(const ControlDecl& decl) { return decl_text(zyvora::spoken_name(decl)); }

// Names a control for screen readers. On Linux a combo box reads its current item as its name and
// takes its name from a label whose buddy it is: a hidden one, where the page shows the caption
// elsewhere or not at all.
void name_control(QWidget* field, const QString& name) {
    field->setAccessibleName(name);
    if (!qobject_cast<QComboBox*>(field)) return;
    auto* label = new QLabel(name, field->parentWidget());
    label->setBuddy(field);
    label->hide();
}

// The width a cell takes: its fixed width, or else the width it asks for.
int cell_width(const QWidget* cell) {
    return cell->minimumWidth() == cell->maximumWidth() ? cell->minimumWidth() : cell->sizeHint().width();
}

bool is_field(const QWidget* cell) { return qobject_cast<const QLineEdit*>(cell) || qobject_cast<const QComboBox*>(cell); }

// Gives `fields` the width of the widest of them.
void even_widths(const std::vector<QWidget*>& fields) {
    int widest = 0;
    for (const QWidget* field : fields) widest = std::max(widest, cell_width(field));
    for (QWidget* field : fields) field->setFixedWidth(widest);
}

// One width per column across `grids`: the edits and lists of a column as wide as the widest of
// them, and the column as wide as its widest cell, so that the grids' columns line up.
void align_columns(const std::vector<QGridLayout*>& grids) {
    std::map<int, std::vector<QWidget*>> fields;
    std::map<int, std::vector<QWidget*>> cells;
    for (QGridLayout* grid : grids) {
        for (int i = 0; i < grid->count(); ++i) {
            int row = 0, column = 0, rows = 0, columns = 0;
            grid->getItemPosition(i, &row, &column, &rows, &columns);
            QWidget* cell = grid->itemAt(i)->widget();
            if (!cell || columns != 1) continue;  // a cell across several columns sets none of them
            cells[column].push_back(cell);
            if (is_field(cell)) fields[column].push_back(cell);
        }
    }
    for (const auto& [column, in_column] : fields) even_widths(in_column);
    for (const auto& [column, in_column] : cells) {
        int widest = 0;
        for (const QWidget* cell : in_column) widest = std::max(widest, cell_width(cell));
        for (QGridLayout* grid : grids) grid->setColumnMinimumWidth(column, widest);
    }
}

// A field that takes whatever width its cells give it, in place of its own fixed width.
void stretch(QWidget* field) {
    field->setMinimumWidth(0);
    field->setMaximumWidth(QWIDGETSIZE_MAX);
    field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

// The keys of the tables in `column` (and the columns stacked in it) that line up with tables
// elsewhere.
void aligned_keys(const LayoutColumn& column, std::vector<std::string>& out) {
    for (const auto& sub : column.stack) aligned_keys(sub, out);
    if (!column.aligned.empty()) out.push_back(column.aligned);
}

}  // namespace

namespace {

// A note in red that reads on the page's background, light or dark, also when the palette
// changes after the page is built.
class WarningNote : public QLabel {
public:
    explicit WarningNote(const QString& text) : QLabel(text) { follow_palette(); }

protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::PaletteChange) follow_palette();
    }

private:
    void follow_palette() {
        // The dark red of a light window is too dark on a dark one: a light red reads there.
        const QColor red = palette().color(QPalette::Window).lightness() < 128 ? QColor(0xff, 0x80, 0x80)
                                                                                : QColor(0xc0, 0x00, 0x00);
        if (palette().color(QPalette::WindowText) == red) return;
        QPalette own;  // sets the text colour alone, so that the rest still follows the page
        own.setColor(QPalette::WindowText, red);
        setPalette(own);
    }
};

}  // namespace

// A column of caption/field rows; captions in one column, fields after them.
class ColumnBuilder {
public:
    explicit ColumnBuilder(QGridLayout* grid) : grid_(grid) {
        grid_->setHorizontalSpacing(8);
        grid_->setVerticalSpacing(5);
    }

    // The first caption in column 0, the fields and later captions in one line from column 1
    // across `columns` grid columns.
    void add_row(const std::vector<QWidget*>& fields, const std::vector<const ControlDecl*>& decls,
                 const LayoutRow& row, int columns) {
        const auto& after = row.after;
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        std::vector<std::pair<QWidget*, QString>> unlabelled;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const bool check = decls[i]->kind == ControlKind::Check;  // shows its caption itself
            QLabel* label = nullptr;
            if (i == 0 && !check && row.whole_line) {
                label = new QLabel(decl_text(decls[i]->caption));
                line->addWidget(label);
            } else if (i == 0 && !check) {
                label = new QLabel(decl_text(decls[i]->caption));
                grid_->addWidget(label, row_, 0, Qt::AlignLeft | Qt::AlignVCenter);
            } else if (i > 0 && !check && !row.sentence && !decls[i]->caption.empty()) {
                label = new QLabel(decl_text(decls[i]->caption));
                if (is_joiner(decls[i]->caption)) label->setStyleSheet(QStringLiteral("font-weight: bold"));
                line->addWidget(label);
            }
            // A caption that does not say what the control sets (a "-" or "," between fields)
            // leaves the naming to the control's spoken name.
            if (label && decls[i]->spoken.empty()) label->setBuddy(fields[i]);
            else if (!check) unlabelled.emplace_back(fields[i], spoken(*decls[i]));
            line->addWidget(fields[i]);
            // The text after a field (a unit, or the rest of a sentence) names none of them.
            if (i < after.size() && !after[i].empty()) line->addWidget(new QLabel(decl_text(after[i])));
        }
        line->addStretch(1);
        if (decls.front()->kind == ControlKind::Check || row.whole_line) grid_->addLayout(line, row_, 0, 1, columns + 1);
        else grid_->addLayout(line, row_, 1, 1, columns);
        for (const auto& [field, name] : unlabelled) name_control(field, name);
        ++row_;
    }

    // Caption and field cells side by side for each control, so captions line up down the column.
    void add_pairs(const std::vector<QWidget*>& fields, const std::vector<const ControlDecl*>& decls) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const int column = static_cast<int>(2 * i);
            if (!fields[i]) continue;
            if (decls[i]->kind == ControlKind::Check) {
                grid_->addWidget(fields[i], row_, column, 1, 2, Qt::AlignLeft | Qt::AlignVCenter);
                continue;
            }
            auto* label = new QLabel(decl_text(decls[i]->caption));
            grid_->addWidget(label, row_, column, Qt::AlignLeft | Qt::AlignVCenter);
            grid_->addWidget(fields[i], row_, column + 1, Qt::AlignLeft | Qt::AlignVCenter);
            if (decls[i]->spoken.empty()) label->setBuddy(fields[i]);
            else name_control(fields[i], spoken(*decls[i]));
        }
        grid_->setColumnStretch(static_cast<int>(2 * fields.size()), 1);
        ++row_;
    }

    // A field across the row; a group title above shows its caption.
    void add_bare(QWidget* field, const ControlDecl& decl) {
        stretch(field);
        grid_->addWidget(field, row_, 0, 1, 2);
        name_control(field, spoken(decl));
        ++row_;
    }

    void add_widget(QWidget* widget) {
        grid_->addWidget(widget, row_, 0, 1, 2, Qt::AlignLeft | Qt::AlignVCenter);
        ++row_;
    }

    // Wraps within a width that keeps it clear of the page's other columns.
    void add_note(const QString& text, const QString& name, int wrap_chars, bool warning = false) {
        QLabel* label = warning ? new WarningNote(text) : new QLabel(text);
        label->setObjectName(name);
        label->setWordWrap(true);
        label->setFixedWidth(label->fontMetrics().horizontalAdvance(QString(wrap_chars, u'n')));
        grid_->addWidget(label, row_, 0, 1, 2, Qt::AlignLeft | Qt::AlignTop);
        ++row_;
    }

    // A table row: each control in its own cell under its column's caption.
    void add_headers(const std::vector<std::string>& headers) {
        grid_->setVerticalSpacing(2);
        for (std::size_t i = 0; i < headers.size(); ++i) {
            // A caption broken for a narrow form reads on one line over a column.
            auto* label = new QLabel(decl_text(headers[i]).replace(u'\n', u' '));
            grid_->addWidget(label, row_, static_cast<int>(i), Qt::AlignLeft | Qt::AlignBottom);
        }
        ++row_;
    }
    // With `span_to`, the last cell reaches up to that column. `names` holds what each control or
    // button cell sets, which with the row's name names it: a header or a text in the row stands
    // for the whole column or for part of the row, so none of them is its label. A row without a
    // name of its own continues the row above.
    void add_cells(const std::vector<QWidget*>& cells, const std::vector<QString>& names, const QString& row_name,
                   int span_to = 0) {
        if (!row_name.isEmpty()) row_name_ = row_name;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (!cells[i]) continue;
            if (qobject_cast<QLabel*>(cells[i])) {
                grid_->addWidget(cells[i], row_, static_cast<int>(i), Qt::AlignLeft | Qt::AlignVCenter);
                continue;
            }
            if (auto* check = qobject_cast<QCheckBox*>(cells[i])) check->setText(QString());  // the header shows it
            name_control(cells[i], row_name_.isEmpty() ? names[i] : row_name_ + QStringLiteral(", ") + names[i]);
            if (span_to > 0 && i + 1 == cells.size()) {
                const int column = static_cast<int>(i);
                stretch(cells[i]);
                grid_->addWidget(cells[i], row_, column, 1, span_to - column);
                continue;
            }
            grid_->addWidget(cells[i], row_, static_cast<int>(i), Qt::AlignLeft | Qt::AlignVCenter);
        }
        ++row_;
    }

    void finish() { grid_->setRowStretch(row_, 1); }

private:
    QGridLayout* grid_;
    int row_ = 0;
    QString row_name_;
};

ControlViews::ControlViews(const zyvora::Registry& registry, zyvora::ControlStore& store, zyvora::Feedback& feedback,
                           const std::vector<QWidget*>& roots, const std::vector<PageLayout>& layouts)
    : registry_(registry),
      store_(store),
      feedback_(feedback),
      page_of_(store.size(), -1),
      widgets_(store.size(), nullptr) {
    // The widgets under the roots by name, looked up once rather than once per control.
    QHash<QString, QWidget*> named;
    for (QWidget* root : roots) {
        named.insert(root->objectName(), root);
        for (QWidget* w : root->findChildren<QWidget*>()) {
            if (!named.contains(w->objectName())) named.insert(w->objectName(), w);
        }
    }
    const auto find_page = [&](const std::string& name) -> QWidget* { return named.value(QString::fromStdString(name)); };
    // A layout whose page is not there would be dropped unseen.
    for (const PageLayout& layout : layouts) {
        if (!find_page(layout.page)) {
            throw std::logic_error("a layout names the page " + layout.page + ", which is not there");
        }
    }
    // Pages in the order their first control is declared, controls in declaration order.
    for (std::size_t i = 0; i < store.size(); ++i) {
        const int id = static_cast<int>(i);
        auto* page = find_page(store.decl(id).page);
        if (!page) continue;
        auto found = std::find_if(pages_.begin(), pages_.end(), [&](const Page& p) { return p.widget == page; });
        if (found == pages_.end()) {
            found = pages_.insert(pages_.end(), Page{page, {}, std::nullopt, pages_.size(), false});
            const auto layout = std::find_if(layouts.begin(), layouts.end(), [&](const PageLayout& l) {
                return l.page == page->objectName().toStdString();
            });
            if (layout != layouts.end()) found->layout = *layout;
        }
        found->ids.push_back(id);
        page_of_[i] = static_cast<int>(found - pages_.begin());
    }
    // Pages whose tables line up are built together, so that a later one cannot widen a column
    // already shown.
    std::vector<std::vector<std::string>> keys(pages_.size());
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i].layout) {
            for (const auto& column : pages_[i].layout->columns) aligned_keys(column, keys[i]);
        }
        for (std::size_t j = 0; j < i; ++j) {
            const bool shared = std::any_of(keys[i].begin(), keys[i].end(), [&](const std::string& key) {
                return std::find(keys[j].begin(), keys[j].end(), key) != keys[j].end();
            });
            if (!shared) continue;
            const std::size_t from = pages_[i].unit;
            for (Page& p : pages_) {
                if (p.unit == from) p.unit = pages_[j].unit;
            }
        }
    }
    store_.set_listener([this](int id) { refresh(id); });
}

void ControlViews::build_all() {
    build_pages([](const Page&) { return true; });
}

void ControlViews::build(QWidget* within) {
    std::vector<std::size_t> units;
    for (const Page& p : pages_) {
        if (!p.built && (p.widget == within || within->isAncestorOf(p.widget))) units.push_back(p.unit);
    }
    build_pages([&](const Page& p) { return std::find(units.begin(), units.end(), p.unit) != units.end(); });
}

bool ControlViews::build_next() {
    const auto next = std::find_if(pages_.begin(), pages_.end(), [](const Page& p) { return !p.built; });
    if (next == pages_.end()) return false;
    const std::size_t unit = next->unit;
    build_pages([unit](const Page& p) { return p.unit == unit; });
    return true;
}

namespace {

// Builds a page as it is first shown.
class ShowWatch : public QObject {
public:
    explicit ShowWatch(std::function<void(QWidget*)> shown) : shown_(std::move(shown)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) shown_(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(QWidget*)> shown_;
};

// Widgets made on a page already shown stay hidden until shown: show them, laid out, before the
// page is painted, as if they had been there when it was shown.
void show_made_on_shown_page(QWidget* page) {
    if (!page->isVisible()) return;
    for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && !child->testAttribute(Qt::WA_WState_ExplicitShowHide)) child->show();
    }
    if (page->layout()) page->layout()->activate();
}

}  // namespace

void ControlViews::build_when_shown() {
    if (!shown_) shown_ = std::make_unique<ShowWatch>([this](QWidget* page) { build(page); });
    for (const Page& p : pages_) {
        if (!p.built) p.widget->installEventFilter(shown_.get());
    }
}

void ControlViews::build_pages(const std::function<bool(const Page&)>& wanted) {
    new_tables_.clear();
    std::vector<QWidget*> built;
    std::vector<int> ids;
    for (Page& p : pages_) {
        if (p.built || !wanted(p)) continue;
        p.built = true;
        if (shown_) p.widget->removeEventFilter(shown_.get());
        build_page(p.widget, p.ids, p.layout ? &*p.layout : nullptr);
        p.widget->updateGeometry();  // sizes measured before it had controls are stale now
        built.push_back(p.widget);
        ids.insert(ids.end(), p.ids.begin(), p.ids.end());
    }
    if (built.empty()) return;
    align_tables(new_tables_);
    std::sort(ids.begin(), ids.end());
    for (int id : ids) refresh(id);
    for (QWidget* page : built) show_made_on_shown_page(page);
    if (build_listener_) build_listener_(built);
}

QWidget* ControlViews::widget(int id) {
    const int page = page_of_[static_cast<std::size_t>(id)];
    if (page >= 0 && !pages_[static_cast<std::size_t>(page)].built) build(pages_[static_cast<std::size_t>(page)].widget);
    return widgets_[static_cast<std::size_t>(id)];
}

ControlViews::~ControlViews() { store_.set_listener({}); }

namespace {

// The texts over a table's columns. A header without a text of its own takes the caption of the
// control under it in the first row; one over a text or an empty cell is a fault of the layout.
std::vector<std::string> header_texts(const LayoutColumn& column, const QWidget& page, const zyvora::ControlStore& store,
                                      const std::map<std::string, int, std::less<>>& on_page) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < column.headers.size(); ++i) {
        if (column.headers[i].text) {
            texts.push_back(*column.headers[i].text);
            continue;
        }
        const std::vector<LayoutCell>* first = column.rows.empty() ? nullptr : &column.rows.front().controls;
        if (!first || i >= first->size() || (*first)[i].text || (*first)[i].control.empty()) {
            throw std::logic_error("the layout of " + page.objectName().toStdString() + " takes header " +
                                   std::to_string(i + 1) + " from a cell that holds no control");
        }
        texts.push_back(store.decl(on_page.find((*first)[i].control)->second).caption);
    }
    return texts;
}

// The caption that `control` declares, which a layout shows apart from the control; a control that
// is not on the page is a fault of the layout.
const std::string& declared_caption(const std::string& control, const zyvora::ControlStore& store,
                                    const std::map<std::string, int, std::less<>>& on_page) {
    const auto found = on_page.find(control);
    if (found == on_page.end()) {
        throw std::logic_error("a layout shows the caption of " + control + ", which is no control of its page");
    }
    return store.decl(found->second).caption;
}

// Every control name a column (and the columns stacked in it) places.
void placed_names(const LayoutColumn& column, std::vector<std::string>& out) {
    for (const auto& sub : column.stack) placed_names(sub, out);
    if (!column.stack.empty()) return;
    for (const auto& row : column.rows) {
        for (const LayoutCell& cell : row.controls) {
            if (cell.text || cell.control.empty()) continue;  // a text, or an empty cell
            out.push_back(cell.control);
        }
    }
}

}  // namespace

void ControlViews::build_page(QWidget* page, const std::vector<int>& ids, const PageLayout* layout) {
    OnPage on_page;
    for (int id : ids) on_page.emplace(store_.decl(id).name, id);

    std::vector<LayoutColumn> columns = layout ? layout->columns : std::vector<LayoutColumn>{};
    std::vector<bool> placed(store_.size(), false);
    std::vector<std::string> names;
    for (const auto& column : columns) placed_names(column, names);
    for (const auto& name : names) {
        const auto found = on_page.find(name);
        if (found == on_page.end()) {
            throw std::logic_error("the layout of " + page->objectName().toStdString() + " names " + name +
                                   ", which is no control of that page");
        }
        if (placed[static_cast<std::size_t>(found->second)]) {
            throw std::logic_error("the layout of " + page->objectName().toStdString() + " names " + name + " twice");
        }
        placed[static_cast<std::size_t>(found->second)] = true;
    }
    for (int id : ids) {
        if (placed[static_cast<std::size_t>(id)]) continue;
        if (columns.empty() || !columns.back().stack.empty()) columns.emplace_back();
        columns.back().rows.push_back({store_.decl(id).name});
    }

    auto* row_of_columns = new QHBoxLayout(page);
    row_of_columns->setContentsMargins(10, 10, 10, 6);
    row_of_columns->setSpacing(layout ? layout->spacing : 28);
    for (const auto& column : columns) row_of_columns->addWidget(build_column(page, column, on_page), 0, Qt::AlignTop);
    row_of_columns->addStretch(1);
}

QWidget* ControlViews::build_column(QWidget* page, const LayoutColumn& column, const OnPage& on_page) {
    if (!column.stack.empty()) return build_stack(page, column, on_page);
    const std::string& title =
        column.title_of.empty() ? column.title : declared_caption(column.title_of, store_, on_page);
    QWidget* holder = title.empty() ? new QWidget(page) : new QGroupBox(decl_text(title), page);
    auto* grid = new QGridLayout(holder);
    if (title.empty()) grid->setContentsMargins(0, 0, 0, 0);
    ColumnBuilder builder(grid);
    grid->setHorizontalSpacing(column.cell_spacing);
    // Columns of pairs are tables of captions and fields too.
    if (!column.headers.empty() || column.pairs) {
        const std::string key =
            column.aligned.empty() ? "table " + std::to_string(tables_.size()) : "aligned " + column.aligned;
        tables_[key].push_back(grid);
        if (std::find(new_tables_.begin(), new_tables_.end(), key) == new_tables_.end()) new_tables_.push_back(key);
    }
    if (!column.headers.empty()) {
        builder.add_headers(header_texts(column, *page, store_, on_page));
        for (const auto& row : column.rows) add_table_row(builder, column, row, holder, on_page);
    } else {
        add_line_rows(builder, page, column, holder, on_page);
    }
    builder.finish();
    return holder;
}

QWidget* ControlViews::build_stack(QWidget* page, const LayoutColumn& column, const OnPage& on_page) {
    auto* holder = new QWidget(page);
    auto* stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);
    for (const auto& sub : column.stack) stack->addWidget(build_column(page, sub, on_page));
    stack->addStretch(1);
    return holder;
}

// Each cell under its header: nothing, a text, or a control; the row's button in a cell after them.
void ControlViews::add_table_row(ColumnBuilder& builder, const LayoutColumn& column, const LayoutRow& row,
                                 QWidget* holder, const OnPage& on_page) {
    std::vector<QWidget*> cells;
    std::vector<QString> names;
    QString row_name = decl_text(row.name);
    for (const LayoutCell& cell : row.controls) {
        if (cell.text) {
            cells.push_back(new QLabel(decl_text(*cell.text), holder));
            names.emplace_back();
            if (row_name.isEmpty() && cells.size() == 1) row_name = decl_text(zyvora::caption_words(*cell.text));
        } else if (!cell.caption_of.empty()) {
            cells.push_back(new QLabel(decl_text(declared_caption(cell.caption_of, store_, on_page)), holder));
            names.emplace_back();
        } else if (cell.control.empty()) {
            cells.push_back(nullptr);
            names.emplace_back();
        } else {
            const int id = on_page.find(cell.control)->second;
            cells.push_back(make_widget(id, holder));
            names.push_back(spoken(store_.decl(id)));
            const std::size_t i = cells.size() - 1;
            if (auto* edit = qobject_cast<QLineEdit*>(cells.back()); edit && i < column.cell_chars.size() &&
                                                                      column.cell_chars[i] > 0) {
                edit->setFixedWidth(field_width(edit, column.cell_chars[i], store_.decl(id)));
            }
        }
    }
    if (!row.button.empty()) {
        cells.push_back(make_button(row, holder));
        names.push_back(decl_text(row.note));
    }
    builder.add_cells(cells, names, row_name, row.span ? static_cast<int>(column.headers.size()) : 0);
}

// Rows of captions and fields, notes and buttons.
void ControlViews::add_line_rows(ColumnBuilder& builder, QWidget* page, const LayoutColumn& column, QWidget* holder,
                                 const OnPage& on_page) {
    // A line of controls takes the field column, or in a column of pairs every column after the
    // first caption.
    int line_columns = 1;
    if (column.pairs) {
        for (const auto& row : column.rows) {
            if (!row.span) line_columns = std::max(line_columns, 2 * static_cast<int>(row.controls.size()) - 1);
        }
    }
    std::vector<QWidget*> texts;  // the edits of free texts
    for (const auto& row : column.rows) {
        if (!row.button.empty()) {
            builder.add_widget(make_button(row, holder));
            continue;
        }
        if (row.controls.empty()) {
            const std::string& note = row.note_of.empty() ? row.note : declared_caption(row.note_of, store_, on_page);
            builder.add_note(decl_text(note), page->objectName() + QStringLiteral("_note"), row.note_chars,
                             row.warning);
            continue;
        }
        std::vector<QWidget*> fields;
        std::vector<const ControlDecl*> decls;
        for (const LayoutCell& cell : row.controls) {
            if (cell.control.empty()) {  // an empty pair of cells
                fields.push_back(nullptr);
                decls.push_back(nullptr);
                continue;
            }
            const int id = on_page.find(cell.control)->second;
            fields.push_back(make_widget(id, holder));
            decls.push_back(&store_.decl(id));
        }
        if (row.bare) builder.add_bare(fields.front(), *decls.front());
        else if (column.pairs && !row.span) builder.add_pairs(fields, decls);
        else builder.add_row(fields, decls, row, line_columns);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i] && qobject_cast<QLineEdit*>(fields[i]) && decls[i]->max_length > kShortText) {
                texts.push_back(fields[i]);
            }
        }
    }
    if (column.even_texts) even_widths(texts);
}

// The tables' columns, each table on its own or with those it continues.
void ControlViews::align_tables(const std::vector<std::string>& keys) {
    for (const auto& [key, grids] : tables_) {
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) align_columns(grids);
    }
}

QPushButton* ControlViews::make_button(const LayoutRow& row, QWidget* parent) {
    auto* button = new QPushButton(decl_text(row.note), parent);
    button->setObjectName(QString::fromStdString(row.button));
    buttons_.push_back(button);
    return button;
}

QPushButton* ControlViews::button(const QString& name) const {
    for (auto* b : buttons_) {
        if (b->objectName() == name) return b;
    }
    return nullptr;
}

QWidget* ControlViews::make_widget(int id, QWidget* parent) {
    const ControlDecl& decl = store_.decl(id);
    QWidget* widget = nullptr;
    switch (decl.kind) {
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            const int typed = typed_limit(id);
            edit->setMaxLength(typed > 0 ? typed : kUnlimited);
            edit->setValidator(new Latin1Validator(edit));
            // A password is shown while it is edited, hidden from onlookers otherwise.
            if (decl.secret) edit->setEchoMode(QLineEdit::PasswordEchoOnEdit);
            // Wide enough for its start-up text too (a long default host name, say).
            edit->setFixedWidth(field_width(edit, decl.max_length, decl));
            QObject::connect(edit, &QLineEdit::textEdited, edit, [this, id, edit](const QString& text) {
                // A text longer than the limit, put there from code, may be shortened but not lengthened.
                // Setting the limit clears the field's undo history, so only when it changes.
                const int limit = typed_limit(id);
                const int wanted = std::max(limit, static_cast<int>(text.size()));
                if (limit > 0 && edit->maxLength() != wanted) edit->setMaxLength(wanted);
                store_.set_text(id, to_store(text));
                user_changed(id);
            });
            if (coordinate_axis(registry_.settings()[static_cast<std::size_t>(id)])) {
                add_position_entry(edit, id, {registry_, store_, feedback_, [this](int target, const std::string& text) {
                                                  store_.set_text(target, text);
                                                  refresh(target);
                                                  user_changed(target);
                                              }});
            }
            widget = edit;
            break;
        }
        case ControlKind::Choice: {
            auto* combo = new QComboBox(parent);
            // The items never change after this, so the default policy sizes the list to them as
            // AdjustToContents would, without building the drop-down list before it is first opened.
            for (const auto& item : decl.items) combo->addItem(decl_text(item));
            combo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
            QObject::connect(combo, &QComboBox::activated, combo, [this, id](int index) {
                store_.set_index(id, index);
                user_changed(id);
            });
            widget = combo;
            break;
        }
        case ControlKind::Check: {
            auto* check = new QCheckBox(decl_text(decl.caption), parent);
            QObject::connect(check, &QCheckBox::clicked, check, [this, id](bool checked) {
                store_.set_checked(id, checked);
                user_changed(id);
            });
            widget = check;
            break;
        }
    }
    widget->setObjectName(QString::fromStdString(decl.name));
    // The hint on hover where the page shows hints; for screen readers and on request everywhere.
    const QString hint = decl_text(decl.hint);
    // A checked number's tooltip gives its range too, on a line of its own, from the table.
    const zyvora::Field& field = registry_.settings()[static_cast<std::size_t>(id)].field;
    const bool ranged = field.codec == zyvora::Codec::Number && field.range_checked;
    if (decl.hint_on_hover) {
        widget->setToolTip(ranged ? QStringLiteral("%1\n%2 - %3").arg(hint).arg(field.lo).arg(field.hi) : hint);
    }
    widget->setAccessibleDescription(hint);
    widget->setWhatsThis(hint);
    widgets_[static_cast<std::size_t>(id)] = widget;
    return widget;
}

// A coordinate edit takes the longer forms of a position while typed, converted when it is left.
int ControlViews::typed_limit(int id) const {
    if (coordinate_axis(registry_.settings()[static_cast<std::size_t>(id)])) return kTypedPositionChars;
    return store_.decl(id).max_length;
}

void ControlViews::refresh(int id) {
    QWidget* widget = widgets_[static_cast<std::size_t>(id)];
    if (!widget) return;
    const QSignalBlocker block(widget);
    widget->setEnabled(store_.enabled(id));
    switch (store_.decl(id).kind) {
        case ControlKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(widget);
            const QString text = from_store(store_.text(id));
            if (edit->text() == text) break;  // the user's own edit: keep the cursor where it is
            // Code may put in more than the user may type (a settings file, say): show it whole.
            const int limit = typed_limit(id);
            edit->setMaxLength(kUnlimited);
            edit->setText(text);
            edit->setMaxLength(limit > 0 ? std::max(limit, static_cast<int>(text.size())) : kUnlimited);
            break;
        }
        case ControlKind::Choice: {
            auto* combo = static_cast<QComboBox*>(widget);
            if (combo->currentIndex() != store_.index(id)) combo->setCurrentIndex(store_.index(id));
            break;
        }
        case ControlKind::Check: static_cast<QCheckBox*>(widget)->setChecked(store_.checked(id)); break;
    }
}

void ControlViews::user_changed(int id) {
    if (edit_listener_) edit_listener_();
    const auto* handler = registry_.change_handler(store_.decl(id).name);
    if (!handler) return;
    for (const auto& text : handler->run(store_)) feedback_.info(text);
}

void add_hint_keys(QWidget& window) {
    auto* action = new QAction(QStringLiteral("Help on the focused setting"), &window);
    action->setObjectName(QStringLiteral("ActionHelp"));
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::HelpContents);
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::WhatsThis) + QList{QKeySequence(Qt::Key_F1)}) {
        if (!keys.contains(key)) keys << key;
    }
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &window, [&window] {
        QWidget* focused = QApplication::focusWidget();
        if (focused && focused->window() == &window && !focused->whatsThis().isEmpty()) {
            QWhatsThis::showText(focused->mapToGlobal(QPoint(0, focused->height())), focused->whatsThis(), focused);
        } else if (!window.whatsThis().isEmpty()) {  // no setting focused: what the window itself is for
            QWhatsThis::showText(window.mapToGlobal(window.rect().center()), window.whatsThis(), &window);
        }
    });
    window.addAction(action);
}

}  // namespace zyvora_app
