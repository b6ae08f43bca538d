#pragma once
// The widgets of the setting controls, made from the registry and bound to the control store:
// the store is the model, each widget a view of one control.
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "controls.h"
#include "feedback.h"
#include "page_layouts.h"
#include "registry.h"

class QGridLayout;
class QPushButton;
class QWidget;

namespace zyvora_app {

class ColumnBuilder;

class ControlViews {
public:
    // Builds a widget for every control whose page is one of `roots` or below one, arranged by
    // `layouts`, shows the store's values and follows the store from then on. Controls of other
    // pages are left without a widget. A layout of a page that is not there throws std::logic_error.
    ControlViews(const zyvora::Registry& registry, zyvora::ControlStore& store, zyvora::Feedback& feedback,
                 const std::vector<QWidget*>& roots, const std::vector<PageLayout>& layouts);
    ~ControlViews();
    ControlViews(const ControlViews&) = delete;
    ControlViews& operator=(const ControlViews&) = delete;

    QWidget* widget(int id) const { return widgets_[static_cast<std::size_t>(id)]; }
    // A push button that a page layout placed; nullptr when there is none of that name.
    QPushButton* button(const QString& name) const;
    // Told after every edit the user makes in a control, before the edit's change handler runs.
    void set_edit_listener(std::function<void()> listener) { edit_listener_ = std::move(listener); }

private:
    // The ids of a page's controls by their names.
    using OnPage = std::map<std::string, int, std::less<>>;

    void build_page(QWidget* page, const std::vector<int>& ids, const PageLayout* layout);
    QWidget* build_column(QWidget* page, const LayoutColumn& column, const OnPage& on_page);
    QWidget* build_stack(QWidget* page, const LayoutColumn& column, const OnPage& on_page);
    void add_table_row(ColumnBuilder& builder, const LayoutColumn& column, const LayoutRow& row, QWidget* holder,
                       const OnPage& on_page);
    void add_line_rows(ColumnBuilder& builder, QWidget* page, const LayoutColumn& column, QWidget* holder,
                       const OnPage& on_page);
    QWidget* make_widget(int id, QWidget* page);
    QPushButton* make_button(const LayoutRow& row, QWidget* parent);
    void align_tables();
    void refresh(int id);
    void user_changed(int id);

    const zyvora::Registry& registry_;
    zyvora::ControlStore& store_;
    zyvora::Feedback& feedback_;
    std::vector<QWidget*> widgets_;  // by control id; nullptr where another window shows it
    std::vector<QPushButton*> buttons_;
    // The grids of the tables by the key they align on; a table without one has a key of its own.
    std::map<std::string, std::vector<QGridLayout*>> tables_;
    std::function<void()> edit_listener_;
};

}  // namespace zyvora_app
