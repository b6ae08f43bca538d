#pragma once
// A tab control whose tabs wrap onto as many rows as the width needs, so that every caption is
// shown whole; the pages are stacked below the tabs as in a QTabWidget. As in other multi-row tab
// controls the row holding the current tab lies next to the page: choosing a tab on another row
// turns the rows round, keeping their cyclic order, so that the current tab never looks detached.
// Screen readers see the tabs as a page tab list beside the pages, as they see a QTabWidget's.
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <vector>

class QStackedWidget;
class QStyleOptionTab;
class QStyleOptionTabWidgetFrame;

namespace zyvora_app {

class MultiRowTabWidget : public QWidget {
    Q_OBJECT

public:
    explicit MultiRowTabWidget(QWidget* parent = nullptr);
    ~MultiRowTabWidget() override;

    // Adds `page` at the end, under `caption`; the first page added becomes the current one.
    int addTab(QWidget* page, const QString& caption);
    int count() const;
    QString tabText(int index) const;
    QWidget* widget(int index) const;
    int indexOf(const QWidget* page) const;
    int currentIndex() const;
    QWidget* currentWidget() const;

    // Where tab `index` is drawn, in this widget's coordinates; empty for no such tab.
    QRect tabRect(int index) const;
    int rowCount() const { return rows_; }

    // Shows the next (`step` 1) or previous (-1) page in the order a user reads them: the
    // sub-pages of a page with its own tab control, then the next page; round at the ends.
    // Ctrl+Tab and Ctrl+PgDown (Ctrl+Shift+Tab, Ctrl+PgUp: backwards) do it from any control
    // of the window, one that takes keys of its own such as a combo box included.
    void step_page(int step);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setCurrentIndex(int index);
    void setCurrentWidget(QWidget* page);

signals:
    void currentChanged(int index);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QStyleOptionTab tab_option(int index) const;
    QStyleOptionTabWidgetFrame frame_option() const;
    QSize tab_size(int index) const;
    void lay_out();
    int row_of(int index) const;
    int tab_at(QPoint point) const;
    // Tells a screen reader about the current tab: `type` is QAccessible::Focus or Selection.
    void announce_current(int type) const;

    QStackedWidget* stack_;
    QStringList captions_;
    std::vector<QRect> rects_;  // by tab, from lay_out()
    std::vector<int> row_of_;   // by tab
    int rows_ = 0;
    int bar_height_ = 0;
    int hovered_ = -1;
    int laid_out_row_ = -1;  // the row lay_out() put next to the page
};

}  // namespace zyvora_app
