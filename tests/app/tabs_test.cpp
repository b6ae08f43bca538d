// The tab control of the main window's pages on its own: tabs measured as a tab bar measures
// them, rows that wrap to the width in reading order, pages that come and go with their tabs.
#include <QTabBar>
#include <QtTest>
#include <algorithm>
#include <numeric>

#include "multi_row_tabs.h"

using zyvora_app::MultiRowTabWidget;

namespace {

const QStringList kCaptions = {"Radio",         "Digipeater",        "Beacons",         "Network",
                               "APRS-IS gateway", "RTC/NTP time",    "Remote access",   "Telemetry reports",
                               "Weather reports", "Ext. interfaces", "Other"};

struct MeasuringBar : QTabBar {
    using QTabBar::tabSizeHint;
};

struct Fixture {
    MultiRowTabWidget tabs;
    Fixture() {
        for (const QString& caption : kCaptions) {
            auto* page = new QWidget;
            page->setObjectName(caption);
            tabs.addTab(page, caption);
        }
    }
    // The widths a tab bar gives the same captions.
    QList<int> natural_widths() const {
        MeasuringBar bar;
        bar.setFont(tabs.font());
        for (const QString& caption : kCaptions) bar.addTab(caption);
        QList<int> widths;
        for (int i = 0; i < bar.count(); ++i) widths << bar.tabSizeHint(i).width();
        return widths;
    }
    void show_at(int width) {
        tabs.resize(width, 300);
        tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    }
};

int total(const QList<int>& widths) { return std::accumulate(widths.begin(), widths.end(), 0); }

}  // namespace

class TabsTest : public QObject {
    Q_OBJECT

private slots:
    void on_one_row_tabs_measure_as_a_tab_bar_does() {
        Fixture f;
        const QList<int> widths = f.natural_widths();
        f.show_at(total(widths) + 50);
        QCOMPARE(f.tabs.rowCount(), 1);
        int x = 0;
        for (int i = 0; i < f.tabs.count(); ++i) {
            QCOMPARE(f.tabs.tabRect(i), QRect(x, 0, widths[i], f.tabs.tabRect(0).height()));
            x += widths[i];
        }
    }

    // Tabs run left to right, then on at the left of the next row; on more than one row each row
    // spans the whole width. Rows are counted from the page up.
    void rows_wrap_to_the_width_data() {
        // The width is this share of one row of all tabs, less `short_by`, but no less than the widest tab.
        QTest::addColumn<double>("share");
        QTest::addColumn<int>("short_by");
        QTest::addColumn<int>("rows");  // expected; 0: as many as it takes
        QTest::newRow("all fit") << 1.0 << 0 << 1;
        QTest::newRow("one pixel short") << 1.0 << 1 << 2;
        QTest::newRow("a third of the row") << 1.0 / 3 << 0 << 0;
        QTest::newRow("the widest tab") << 0.0 << 0 << 0;
    }
    void rows_wrap_to_the_width() {
        QFETCH(double, share);
        QFETCH(int, short_by);
        QFETCH(int, rows);
        Fixture f;
        const QList<int> widths = f.natural_widths();
        const int width = std::max(static_cast<int>(total(widths) * share) - short_by,
                                   *std::max_element(widths.begin(), widths.end()));
        f.show_at(width);
        const QRect page(f.tabs.currentWidget()->mapTo(&f.tabs, QPoint(0, 0)), f.tabs.currentWidget()->size());
        if (rows > 0) QCOMPARE(f.tabs.rowCount(), rows);
        const int height = f.tabs.tabRect(0).height();
        int row = 0;
        for (int i = 0; i < f.tabs.count(); ++i) {
            const QRect rect = f.tabs.tabRect(i);
            QVERIFY2(rect.width() >= widths[i], qPrintable(kCaptions[i]));
            QVERIFY2(rect.right() < width, qPrintable(kCaptions[i]));
            QVERIFY2(!rect.intersects(page), qPrintable(kCaptions[i]));
            if (i > 0 && rect.left() == 0) ++row;
            else if (i > 0) QCOMPARE(rect.left(), f.tabs.tabRect(i - 1).right() + 1);
            // The first tab is current: its row lies next to the page, the rows after it above.
            QCOMPARE(rect.top(), (f.tabs.rowCount() - 1 - row) * height);
            const bool ends_row = i + 1 == f.tabs.count() || f.tabs.tabRect(i + 1).left() == 0;
            if (ends_row && f.tabs.rowCount() > 1) QCOMPARE(rect.right(), width - 1);
        }
        QCOMPARE(row + 1, f.tabs.rowCount());
    }

    // Choosing a tab on another row brings that row next to the page; the rows keep their cyclic
    // order, the one after the current row just above it.
    void the_current_tab_s_row_lies_next_to_the_page() {
        Fixture f;
        const QList<int> widths = f.natural_widths();
        f.show_at(std::max(total(widths) / 3, *std::max_element(widths.begin(), widths.end())));
        const int rows = f.tabs.rowCount();
        QVERIFY(rows >= 3);
        const int height = f.tabs.tabRect(0).height();
        const int page_top = f.tabs.currentWidget()->mapTo(&f.tabs, QPoint(0, 0)).y();
        QList<int> first_of_row = {0};  // reading order
        for (int i = 1; i < f.tabs.count(); ++i) {
            if (f.tabs.tabRect(i).left() == 0) first_of_row << i;
        }
        QCOMPARE(first_of_row.size(), rows);
        for (int chosen = 0; chosen < rows; ++chosen) {
            const int last_of_row = (chosen + 1 < rows ? first_of_row[chosen + 1] : f.tabs.count()) - 1;
            QTest::mouseClick(&f.tabs, Qt::LeftButton, {}, f.tabs.tabRect(last_of_row).center());
            QCOMPARE(f.tabs.currentIndex(), last_of_row);
            QVERIFY(f.tabs.tabRect(last_of_row).bottom() < page_top);
            for (int row = 0; row < rows; ++row) {
                const int above = (row - chosen + rows) % rows;
                for (int i = first_of_row[row]; i < (row + 1 < rows ? first_of_row[row + 1] : f.tabs.count()); ++i) {
                    QCOMPARE(f.tabs.tabRect(i).top(), (rows - 1 - above) * height);
                }
            }
        }
    }

    void a_deleted_page_takes_its_tab_with_it() {
        Fixture f;
        f.tabs.setCurrentIndex(2);
        delete f.tabs.widget(1);
        QCOMPARE(f.tabs.count(), 10);
        QCOMPARE(f.tabs.tabText(1), QString("Beacons"));
        QCOMPARE(f.tabs.currentWidget()->objectName(), QString("Beacons"));
        QCOMPARE(f.tabs.indexOf(f.tabs.currentWidget()), 1);
        QVERIFY(f.tabs.tabRect(10).isNull());

        f.tabs.setCurrentIndex(10);  // no such tab: nothing changes
        f.tabs.setCurrentIndex(-1);
        QCOMPARE(f.tabs.currentIndex(), 1);
    }
};

QTEST_MAIN(TabsTest)
#include "tabs_test.moc"
