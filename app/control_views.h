#pragma once
// The widgets of the setting controls, made from the registry and bound to the control store:
// the store is the model, each widget a view of one control.
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "feedback.h"
#include "page_layouts.h"
#include "registry.h"

class QGridLayout;
class QObject;
class QPushButton;
class QWidget;

namespace zyvora_app {

class ColumnBuilder;

// F1 and Shift+F1 in `window` show the hint of the control that has the focus, or the window's
// own help where that has none.
void add_hint_keys(QWidget& window);

class ControlViews {
public:
    // Finds the pages of the controls among `roots` and below them; a control whose page is not
    // there gets no widget. Builds nothing yet: build_all() builds every page's controls at once,
    // else each page is built when first shown or looked up, or by build_next(). A built page
    // shows the store's values and follows the store from then on. A layout of a page that is not
    // there throws std::logic_error here; a layout that does not fit its page's controls, when the
    // page is built.
    ControlViews(const zyvora::Registry& registry, zyvora::ControlStore& store, zyvora::Feedback& feedback,
                 const std::vector<QWidget*>& roots, const std::vector<PageLayout>& layouts);
    ~ControlViews();
    ControlViews(const ControlViews&) = delete;
    ControlViews& operator=(const ControlViews&) = delete;

    void build_all();
    // From now on a page not yet built is built as it is shown.
    void build_when_shown();
    // Builds `page` unless built: with it the pages whose tables line up with its tables.
    void build(QWidget* page);
    // Builds the next pages not yet built; false when every page is built.
    bool build_next();
    // Told of the pages each build made, once their controls show the store.
    void set_build_listener(std::function<void(const std::vector<QWidget*>& pages)> listener) {
        build_listener_ = std::move(listener);
    }

    // The widget of a control, its page built first; nullptr for a control without a page.
    QWidget* widget(int id);
    // A push button that a page layout placed on a page already built; nullptr when there is none
    // of that name.
    QPushButton* button(const QString& name) const;
    // Told after every edit the user makes in a control, before the edit's change handler runs.
    void set_edit_listener(std::function<void()> listener) { edit_listener_ = std::move(listener); }

private:
    // The ids of a page's controls by their names.
    using OnPage = std::map<std::string, int, std::less<>>;

    // A page with controls, and what its build needs.
    struct Page {
        QWidget* widget = nullptr;
        std::vector<int> ids;
        std::optional<PageLayout> layout;
        std::size_t unit = 0;  // pages built together share one
        bool built = false;
    };

    void build_pages(const std::function<bool(const Page&)>& wanted);
    void build_page(QWidget* page, const std::vector<int>& ids, const PageLayout* layout);
    QWidget* build_column(QWidget* page, const LayoutColumn& column, const OnPage& on_page);
    QWidget* build_stack(QWidget* page, const LayoutColumn& column, const OnPage& on_page);
    void add_table_row(ColumnBuilder& builder, const LayoutColumn& column, const LayoutRow& row, QWidget* holder,
                       const OnPage& on_page);
    void add_line_rows(ColumnBuilder& builder, QWidget* page, const LayoutColumn& column, QWidget* holder,
                       const OnPage& on_page);
    QWidget* make_widget(int id, QWidget* page);
    QPushButton* make_button(const LayoutRow& row, QWidget* parent);
    void align_tables(const std::vector<std::string>& keys);
    void refresh(int id);
    void user_changed(int id);
    int typed_limit(int id) const;

    const zyvora::Registry& registry_;
    zyvora::ControlStore& store_;
    zyvora::Feedback& feedback_;
    std::vector<Page> pages_;          // in the order their first control is declared
    std::vector<int> page_of_;         // by control id: its index in pages_, or -1
    std::unique_ptr<QObject> shown_;   // watches the pages not yet built
    std::vector<QWidget*> widgets_;    // by control id; nullptr until its page is built
    std::vector<QPushButton*> buttons_;
    // The grids of the tables by the key they align on; a table without one has a key of its own.
    std::map<std::string, std::vector<QGridLayout*>> tables_;
    std::vector<std::string> new_tables_;  // the keys the build under way added to
    std::function<void(const std::vector<QWidget*>&)> build_listener_;
    std::function<void()> edit_listener_;
};

}  // namespace zyvora_app
