#include "multi_row_tabs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

namespace zyvora_app {

namespace {

// The first tab of each row, when tabs of `widths` are put in reading order into rows no wider
// than `limit`; a tab wider than the limit gets a row of its own.
std::vector<int> pack(const std::vector<int>& widths, int limit) {
    std::vector<int> starts;
    int used = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (starts.empty() || used + widths[i] > limit) {
            starts.push_back(static_cast<int>(i));
            used = 0;
        }
        used += widths[i];
    }
    return starts;
}

// The fewest rows that hold the tabs within `width`, with the tabs spread evenly over them
// rather than a full first row and a few left over for the last one.
std::vector<int> row_starts(const std::vector<int>& widths, int width) {
    const std::size_t rows = pack(widths, width).size();
    int low = *std::max_element(widths.begin(), widths.end());
    int high = std::max(width, low);
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (pack(widths, mid).size() <= rows) high = mid;
        else low = mid + 1;
    }
    return pack(widths, low);
}

// One tab: its caption as its name, selected while its page is shown; pressing it shows the page.
class PageTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PageTabAccessible(MultiRowTabWidget* tabs, int index) : tabs_(tabs), index_(index) {}

    bool isValid() const override { return tabs_ && index_ < tabs_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return tabs_ ? tabs_->window()->windowHandle() : nullptr; }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation) const override {
        return {};
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        QAccessibleInterface* widget = tabs_ ? QAccessible::queryAccessibleInterface(tabs_) : nullptr;
        return widget ? widget->child(0) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? tabs_->tabText(index_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = tabs_->tabRect(index_);
        return {tabs_->mapToGlobal(r.topLeft()), r.size()};
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.selectable = true;
        s.selected = index_ == tabs_->currentIndex();
        s.focused = s.selected && tabs_->hasFocus();
        s.invisible = !tabs_->isVisible();
        s.disabled = !tabs_->isEnabled();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && isValid()) tabs_->setCurrentIndex(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<MultiRowTabWidget> tabs_;
    int index_;
};

// The tabs as a list of their own, made and kept by the tab widget's interface; its tabs are made
// as they are first asked for and live as long as the list.
class TabListAccessible : public QAccessibleInterface {
public:
    explicit TabListAccessible(MultiRowTabWidget* tabs) : tabs_(tabs) {}
    ~TabListAccessible() override {
        for (const QAccessible::Id id : std::as_const(tab_ids_)) QAccessible::deleteAccessibleInterface(id);
    }

    bool isValid() const override { return tabs_; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return tabs_ ? tabs_->window()->windowHandle() : nullptr; }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation) const override {
        return {};
    }
    QAccessibleInterface* focusChild() const override {
        return tabs_ && tabs_->hasFocus() ? child(tabs_->currentIndex()) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (QAccessibleInterface* tab = child(i); tab && tab->rect().contains(x, y)) return tab;
        }
        return nullptr;
    }
    QAccessibleInterface* parent() const override {
        return tabs_ ? QAccessible::queryAccessibleInterface(tabs_) : nullptr;
    }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        QAccessible::Id& id = tab_ids_[index];
        if (!id) id = QAccessible::registerAccessibleInterface(new PageTabAccessible(tabs_, index));
        return QAccessible::accessibleInterface(id);
    }
    int childCount() const override { return tabs_ ? tabs_->count() : 0; }
    int indexOfChild(const QAccessibleInterface* tab) const override {
        for (auto it = tab_ids_.cbegin(); it != tab_ids_.cend(); ++it) {
            if (QAccessible::accessibleInterface(it.value()) == tab) return it.key() < childCount() ? it.key() : -1;
        }
        return -1;
    }
    QString text(QAccessible::Text) const override { return {}; }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!tabs_) return {};
        QRect band;
        for (int i = 0; i < tabs_->count(); ++i) band |= tabs_->tabRect(i);
        return {tabs_->mapToGlobal(band.topLeft()), band.size()};
    }
    QAccessible::Role role() const override { return QAccessible::PageTabList; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !tabs_ || !tabs_->isVisible();
        s.disabled = tabs_ && !tabs_->isEnabled();
        return s;
    }

private:
    QPointer<MultiRowTabWidget> tabs_;
    mutable QHash<int, QAccessible::Id> tab_ids_;
};

// The tab widget as a QTabWidget reads: the page tab list first, then the pages.
class MultiRowTabAccessible : public QAccessibleWidget {
public:
    explicit MultiRowTabAccessible(MultiRowTabWidget* tabs) : QAccessibleWidget(tabs) {}
    ~MultiRowTabAccessible() override {
        if (list_) QAccessible::deleteAccessibleInterface(list_);
    }

    int childCount() const override { return 1 + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? list() : QAccessibleWidget::child(index - 1);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == list()) return 0;
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? -1 : index + 1;
    }
    QAccessibleInterface* focusChild() const override {
        return widget()->hasFocus() ? list()->focusChild() : QAccessibleWidget::focusChild();
    }

private:
    QAccessibleInterface* list() const {
        if (!list_) {
            list_ = QAccessible::registerAccessibleInterface(
                new TabListAccessible(static_cast<MultiRowTabWidget*>(widget())));
        }
        return QAccessible::accessibleInterface(list_);
    }

    mutable QAccessible::Id list_ = 0;
};

QAccessibleInterface* tabs_accessible(const QString&, QObject* object) {
    auto* tabs = qobject_cast<MultiRowTabWidget*>(object);
    return tabs ? new MultiRowTabAccessible(tabs) : nullptr;
}

}  // namespace

MultiRowTabWidget::MultiRowTabWidget(QWidget* parent) : QWidget(parent), stack_(new QStackedWidget(this)) {
    [[maybe_unused]] static const bool installed = [] {
        QAccessible::installFactory(tabs_accessible);
        return true;
    }();
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);  // for the hover look of the tab under the mouse
    connect(stack_, &QStackedWidget::currentChanged, this, [this](int index) {
        if (row_of(index) != laid_out_row_) {
            lay_out();
        } else {
            update();
        }
        if (hasFocus()) announce_current(QAccessible::Focus);
        announce_current(QAccessible::Selection);
        emit currentChanged(index);
    });
    // A page deleted from outside takes its tab with it.
    connect(stack_, &QStackedWidget::widgetRemoved, this, [this](int index) {
        captions_.removeAt(index);
        hovered_ = -1;
        lay_out();
    });
    // Shortcuts of the window rather than keys of this widget: a focused combo box or line edit
    // would take the key press for itself.
    const auto step_on = [this](QKeySequence keys, int step) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step] { step_page(step); });
    };
    step_on(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
    step_on(QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1);
    step_on(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1);
    step_on(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);
    lay_out();
}

// QWidget deletes the stack, and the pages with it, only after our members are gone: stop
// listening to it first.
MultiRowTabWidget::~MultiRowTabWidget() { stack_->disconnect(this); }

int MultiRowTabWidget::addTab(QWidget* page, const QString& caption) {
    if (!page || indexOf(page) >= 0) return indexOf(page);
    captions_.append(caption);
    const int index = stack_->addWidget(page);
    lay_out();
    return index;
}

int MultiRowTabWidget::count() const { return stack_->count(); }

QString MultiRowTabWidget::tabText(int index) const { return captions_.value(index); }

QWidget* MultiRowTabWidget::widget(int index) const { return stack_->widget(index); }

int MultiRowTabWidget::indexOf(const QWidget* page) const { return stack_->indexOf(page); }

int MultiRowTabWidget::currentIndex() const { return stack_->currentIndex(); }

QWidget* MultiRowTabWidget::currentWidget() const { return stack_->currentWidget(); }

void MultiRowTabWidget::setCurrentIndex(int index) {
    if (index >= 0 && index < count()) stack_->setCurrentIndex(index);
}

void MultiRowTabWidget::setCurrentWidget(QWidget* page) { setCurrentIndex(indexOf(page)); }

QRect MultiRowTabWidget::tabRect(int index) const {
    if (index < 0 || index >= static_cast<int>(rects_.size())) return {};
    return rects_[static_cast<std::size_t>(index)];
}

QSize MultiRowTabWidget::sizeHint() const {
    int tabs = 0;
    for (int i = 0; i < count(); ++i) tabs += tab_size(i).width();
    const QSize pages = stack_->sizeHint();
    const QSize frame = size() - stack_->size();
    return {std::max(tabs, pages.width() + frame.width()), pages.height() + frame.height()};
}

QSize MultiRowTabWidget::minimumSizeHint() const {
    int widest = 0;
    for (int i = 0; i < count(); ++i) widest = std::max(widest, tab_size(i).width());
    const QSize pages = stack_->minimumSizeHint();
    const QSize frame = size() - stack_->size();  // the rows of tabs the current width needs, and the frame
    return {std::max(widest, pages.width() + frame.width()), pages.height() + frame.height()};
}

void MultiRowTabWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) lay_out();
    QWidget::changeEvent(event);
}

void MultiRowTabWidget::resizeEvent(QResizeEvent* event) {
    lay_out();
    QWidget::resizeEvent(event);
}

QStyleOptionTab MultiRowTabWidget::tab_option(int index) const {
    QStyleOptionTab option;
    option.initFrom(this);
    option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option.shape = QTabBar::RoundedNorth;
    option.text = captions_.value(index);
    option.rect = tabRect(index);
    const int current = currentIndex();
    if (index == current) option.state |= QStyle::State_Selected;
    if (index == hovered_) option.state |= QStyle::State_MouseOver;
    if (index < static_cast<int>(row_of_.size())) {
        const auto row = [this](int i) { return row_of(i); };
        const bool first = row(index - 1) != row(index);
        const bool last = row(index + 1) != row(index);
        option.position = first && last ? QStyleOptionTab::OnlyOneTab
                          : first       ? QStyleOptionTab::Beginning
                          : last        ? QStyleOptionTab::End
                                        : QStyleOptionTab::Middle;
        if (!first && current == index - 1) option.selectedPosition = QStyleOptionTab::PreviousIsSelected;
        else if (!last && current == index + 1) option.selectedPosition = QStyleOptionTab::NextIsSelected;
        option.row = row(index);
    }
    return option;
}

QStyleOptionTabWidgetFrame MultiRowTabWidget::frame_option() const {
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    option.shape = QTabBar::RoundedNorth;
    option.tabBarSize = QSize(width(), bar_height_);
    option.tabBarRect = QRect(0, 0, width(), bar_height_);
    option.selectedTabRect = tabRect(currentIndex());
    return option;
}

// As a QTabBar measures its tabs, so that ours look the same.
QSize MultiRowTabWidget::tab_size(int index) const {
    QStyleOptionTab option = tab_option(index);
    const int hspace = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this);
    const int vspace = style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this);
    const QFontMetrics metrics = fontMetrics();
    const QSize contents(metrics.size(Qt::TextShowMnemonic, option.text).width() + hspace, metrics.height() + vspace);
    return style()->sizeFromContents(QStyle::CT_TabBarTab, &option, contents, this);
}

void MultiRowTabWidget::lay_out() {
    const int old_rows = rows_;
    const int tabs = count();
    rects_.assign(static_cast<std::size_t>(tabs), QRect());
    row_of_.assign(static_cast<std::size_t>(tabs), 0);
    rows_ = 0;
    bar_height_ = 0;
    if (tabs > 0) {
        std::vector<int> widths;
        int height = 0;
        for (int i = 0; i < tabs; ++i) {
            const QSize size = tab_size(i);
            widths.push_back(size.width());
            height = std::max(height, size.height());
        }
        const std::vector<int> starts = row_starts(widths, width());
        rows_ = static_cast<int>(starts.size());
        bar_height_ = rows_ * height;
        for (int r = 0; r < rows_; ++r) {
            const int begin = starts[static_cast<std::size_t>(r)];
            const int end = r + 1 < rows_ ? starts[static_cast<std::size_t>(r) + 1] : tabs;
            int natural = 0;
            for (int i = begin; i < end; ++i) natural += widths[static_cast<std::size_t>(i)];
            // On more than one row every row spans the width, so the rows line up at both ends.
            const int extra = rows_ > 1 ? std::max(0, width() - natural) : 0;
            int x = 0;
            for (int i = begin; i < end; ++i) {
                const int n = i - begin;
                const int share = extra * (n + 1) / (end - begin) - extra * n / (end - begin);
                const int w = widths[static_cast<std::size_t>(i)] + share;
                rects_[static_cast<std::size_t>(i)] = QRect(x, 0, w, height);
                row_of_[static_cast<std::size_t>(i)] = r;
                x += w;
            }
        }
        // The current row at the bottom, the rows after it above it in turn.
        const int current_row = std::max(0, row_of(currentIndex()));
        for (int i = 0; i < tabs; ++i) {
            const int above = (row_of_[static_cast<std::size_t>(i)] - current_row + rows_) % rows_;
            rects_[static_cast<std::size_t>(i)].moveTop((rows_ - 1 - above) * height);
        }
    }
    laid_out_row_ = row_of(currentIndex());
    const QStyleOptionTabWidgetFrame frame = frame_option();
    stack_->setGeometry(style()->subElementRect(QStyle::SE_TabWidgetTabContents, &frame, this));
    if (rows_ != old_rows) updateGeometry();
    update();
}

int MultiRowTabWidget::row_of(int index) const {
    return index >= 0 && index < static_cast<int>(row_of_.size()) ? row_of_[static_cast<std::size_t>(index)] : -1;
}

int MultiRowTabWidget::tab_at(QPoint point) const {
    for (std::size_t i = 0; i < rects_.size(); ++i) {
        if (rects_[i].contains(point)) return static_cast<int>(i);
    }
    return -1;
}

void MultiRowTabWidget::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame = frame_option();
    frame.rect = style()->subElementRect(QStyle::SE_TabWidgetTabPane, &frame, this);
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);

    // Each row is clipped to its own band, as a tab bar widget of its own would be; the current
    // tab goes last so that it lies over its neighbours.
    const auto draw = [&](int index) {
        const QStyleOptionTab option = tab_option(index);
        painter.save();
        painter.setClipRect(QRect(0, option.rect.top(), width(), option.rect.height()));
        painter.drawControl(QStyle::CE_TabBarTab, option);
        painter.restore();
    };
    const int current = currentIndex();
    for (int i = 0; i < count(); ++i) {
        if (i != current) draw(i);
    }
    if (current < 0) return;
    draw(current);
    // The style's own focus frame is too faint to find: a ring in the text's colour, which stands
    // out from the tab in any palette, goes round the caption instead.
    if (hasFocus()) {
        const int inset = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) + 2;
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(tabRect(current).adjusted(inset, inset, -inset - 1, -inset));
    }
}

void MultiRowTabWidget::mousePressEvent(QMouseEvent* event) {
    const int index = event->button() == Qt::LeftButton ? tab_at(event->position().toPoint()) : -1;
    if (index < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    setCurrentIndex(index);
}

void MultiRowTabWidget::mouseMoveEvent(QMouseEvent* event) {
    const int index = tab_at(event->position().toPoint());
    if (index != hovered_) {
        hovered_ = index;
        update(QRect(0, 0, width(), bar_height_));
    }
    QWidget::mouseMoveEvent(event);
}

void MultiRowTabWidget::leaveEvent(QEvent* event) {
    if (hovered_ >= 0) {
        hovered_ = -1;
        update(QRect(0, 0, width(), bar_height_));
    }
    QWidget::leaveEvent(event);
}

// The arrow keys step along the tabs while the tabs have the focus.
void MultiRowTabWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const int step = !hasFocus() ? 0 : key == Qt::Key_Right ? 1 : key == Qt::Key_Left ? -1 : 0;
    if (step == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrentIndex(currentIndex() + step);
}

// The window's own focus event, which names the whole tab widget, comes after this: the current
// tab's is sent once it is out.
void MultiRowTabWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    QTimer::singleShot(0, this, [this] {
        if (hasFocus()) announce_current(QAccessible::Focus);
    });
}

void MultiRowTabWidget::announce_current(int type) const {
    if (!QAccessible::isActive()) return;  // no screen reader listens
    QAccessibleInterface* widget = QAccessible::queryAccessibleInterface(const_cast<MultiRowTabWidget*>(this));
    QAccessibleInterface* list = widget ? widget->child(0) : nullptr;
    QAccessibleInterface* tab = list ? list->child(currentIndex()) : nullptr;
    if (!tab) return;
    QAccessibleEvent event(tab, static_cast<QAccessible::Event>(type));
    QAccessible::updateAccessibility(&event);
}

namespace {

// The sub-pages a user can reach on `page`, in their order; none for a page without its own tabs.
QList<int> reachable_sub_pages(QTabWidget* inner) {
    QList<int> indices;
    if (!inner) return indices;
    for (int i = 0; i < inner->count(); ++i) {
        if (inner->isTabEnabled(i) && inner->isTabVisible(i)) indices << i;
    }
    return indices;
}

QTabWidget* inner_tabs(QWidget* page) {
    return page ? page->findChild<QTabWidget*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

}  // namespace

void MultiRowTabWidget::step_page(int step) {
    const int pages = count();
    if (pages == 0) return;
    const int current = std::max(0, currentIndex());
    QTabWidget* inner = inner_tabs(widget(current));
    const QList<int> subs = reachable_sub_pages(inner);
    const qsizetype at = inner ? subs.indexOf(inner->currentIndex()) : -1;
    const qsizetype next = at + step;
    if (at >= 0 && next >= 0 && next < subs.size()) {
        inner->setCurrentIndex(subs[next]);
        return;
    }
    const int index = (current + step + pages) % pages;
    const QList<int> entered = reachable_sub_pages(inner_tabs(widget(index)));
    if (!entered.isEmpty()) inner_tabs(widget(index))->setCurrentIndex(step > 0 ? entered.first() : entered.last());
    setCurrentIndex(index);
}

}  // namespace zyvora_app
