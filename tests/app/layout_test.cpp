// The layout of the pages as the window shows them, run at 100% and at 150% scale
// (QT_SCALE_FACTOR): nothing clipped or overlapping, numbered rows, and tables whose columns line
// up within a table and across the pages that continue each other.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "filter_window.h"
#include "group_names.h"
#include "layout_checks.h"
#include "main_window.h"
#include "telemetry.h"

using zyvora_app::TForm1;

namespace {

// A control's place on its page, the page's current in the shown window.
QRect place_on_page(QWidget* widget, QWidget* page) { return {widget->mapTo(page, QPoint(0, 0)), widget->size()}; }

// The page (a widget named "TabSheet_..." or the filter window's rows) that holds `widget`.
QWidget* page_of(QWidget* widget) {
    for (QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
        if (w->objectName().startsWith("TabSheet") || w->objectName() == "TForm4_rows") return w;
    }
    return nullptr;
}

// The widgets within `area` in the window's focus chain (the order Tab takes), each with what
// names it to a screen reader and where it is.
QStringList focus_chain(QWidget* area) {
    QStringList chain;
    QWidget* start = area->window();
    for (QWidget* w = start->nextInFocusChain(); w != start; w = w->nextInFocusChain()) {
        if (!area->isAncestorOf(w)) continue;
        const QRect at(w->mapTo(area, QPoint(0, 0)), w->size());
        chain << QString("%1 %2 '%3' %4,%5 %6x%7 %8")
                     .arg(w->metaObject()->className(), w->objectName(), w->accessibleName())
                     .arg(at.x())
                     .arg(at.y())
                     .arg(at.width())
                     .arg(at.height())
                     .arg(w->isVisible() ? "shown" : "hidden");
    }
    return chain;
}

QStringList numbered(const char* pattern, int first, int last) {
    QStringList names;
    for (int k = first; k <= last; ++k) names << QString::fromLatin1(pattern).arg(k);
    return names;
}

QStringList prefixed(std::string (*prefix)(int), int first, int last, const char* suffix) {
    QStringList names;
    for (int k = first; k <= last; ++k) names << QString::fromStdString(prefix(k)) + suffix;
    return names;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        window = std::make_unique<TForm1>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    // At this scale too, every page with controls keeps them apart and inside the page.
    void every_page_is_tidy() {
        qInfo() << "scale" << window->devicePixelRatio();
        check_every_page_tidy(*window);
    }

    // The action buttons over the pages, at this scale too: inside the window, apart, whole.
    void action_buttons_are_tidy() {
        QList<QWidget*> buttons;
        for (auto* group : window->findChildren<QGroupBox*>()) {
            for (auto* button : group->findChildren<QPushButton*>()) {
                if (button->isVisible()) buttons << button;
            }
        }
        QVERIFY(!buttons.isEmpty());
        check_tidy(window.get(), buttons);
    }

    void rows_show_the_numbers_their_messages_use_data() {
        QTest::addColumn<QStringList>("first_controls");
        QTest::addColumn<int>("first_number");
        QTest::newRow("path rules") << prefixed(zyvora::path_rule_prefix, 1, zyvora::kPathRules, "name") << 1;
        QStringList entries;
        for (int k = 1; k <= zyvora::kCallEntries; ++k) {
            entries << QString::fromStdString(zyvora::call_entry_control("callsign", k));
        }
        QTest::newRow("callsign filter entries") << entries << 1;
        QTest::newRow("beacons") << prefixed(zyvora::beacon_prefix, 1, zyvora::kBeacons, "dest_string") << 1;
    }
    // Row k ("Callsign filter 17", "Path(n-N) 3") shows "k." before its first control, on its line.
    void rows_show_the_numbers_their_messages_use() {
        QFETCH(QStringList, first_controls);
        QFETCH(int, first_number);
        for (int i = 0; i < first_controls.size(); ++i) {
            auto* control = window->findChild<QWidget*>(first_controls[i]);
            QVERIFY2(control, qPrintable(first_controls[i]));
            QWidget* page = page_of(control);
            make_current(page);
            const QString number = QString::number(first_number + i) + ".";
            QLabel* label = nullptr;
            for (auto* candidate : page->findChildren<QLabel*>()) {
                if (candidate->text() == number && candidate->isVisible()) label = candidate;
            }
            QVERIFY2(label, qPrintable(first_controls[i] + " has no row number " + number));
            const QRect at = place_on_page(label, page);
            const QRect field = place_on_page(control, page);
            QVERIFY2(at.right() < field.left(), qPrintable(number + " is not before " + first_controls[i]));
            QVERIFY2(qAbs(at.center().y() - field.center().y()) <= 1, qPrintable(number + " is off its row"));
        }
    }

    void table_columns_line_up_data() {
        QTest::addColumn<QStringList>("column");
        using zyvora::path_rule_prefix;
        for (const char* suffix : {"name", "lower", "higher", "traceable", "directonly", "areaall", "active"}) {
            QTest::newRow(qPrintable(QString("path rules ") + suffix))
                << prefixed(path_rule_prefix, 1, zyvora::kPathRules, suffix);
        }
        // The callsign entries' three tables: each column within its table.
        for (int first : {1, 8, 15}) {
            const int last = std::min(first + 6, zyvora::kCallEntries);
            QTest::newRow(qPrintable(QString("callsigns %1-%2").arg(first).arg(last)))
                << numbered("Callfilter_callsign%1", first, last);
            QTest::newRow(qPrintable(QString("SSIDs %1-%2").arg(first).arg(last)))
                << numbered("Callfilter_ssid%1", first, last);
        }
        // Beacons 1-4 and 5-8, digital channels 1-4 and 5-8: one column across both pages.
        for (const char* suffix :
             {"dest_string", "dest_ssid", "path_string", "path_ssid", "txrate_rf", "txrate_aprsis", "enable", "msg"}) {
            QTest::newRow(qPrintable(QString("beacons ") + suffix))
                << prefixed(zyvora::beacon_prefix, 1, zyvora::kBeacons, suffix);
        }
        for (const char* suffix : {"source", "name", "units", "inverted", "_default"}) {
            QStringList names;
            for (int k = 1; k <= zyvora::kDigitalChannels; ++k) {
                names << (std::string(suffix) == "_default"
                              ? QString::fromStdString(zyvora_app::digital_preset_button(k))
                              : QString::fromStdString(zyvora::digital_prefix(k)) + suffix);
            }
            QTest::newRow(qPrintable(QString("digital channels ") + suffix)) << names;
        }
        for (const char* suffix : {"source", "name", "units", "coefa", "coefb", "coefc", "average"}) {
            QTest::newRow(qPrintable(QString("analog channels ") + suffix))
                << prefixed(zyvora::analog_prefix, 1, zyvora::kAnalogChannels, suffix);
        }
        QTest::newRow("smartbeaconing turning")
            << QStringList{"Smartbeaconing_min_turn_angle", "Smartbeaconing_turn_slope", "Smartbeaconing_min_turn_time"};
        QTest::newRow("smartbeaconing speeds and periods")
            << QStringList{"Smartbeaconing_slow_speed", "Smartbeaconing_slow_period", "Smartbeaconing_fast_speed",
                           "Smartbeaconing_fast_period"};
        QTest::newRow("weather underground texts")
            << QStringList{"WU_stationid", "WU_password", "WU_normalserver", "WU_rapidfireserver"};
    }
    // A column's controls start at one x on their pages and are all as wide.
    void table_columns_line_up() {
        QFETCH(QStringList, column);
        QRect first;
        for (const QString& name : column) {
            auto* control = window->findChild<QWidget*>(name);
            QVERIFY2(control, qPrintable(name));
            QWidget* page = page_of(control);
            make_current(page);
            const QRect at = place_on_page(control, page);
            if (first.isNull()) first = at;
            QVERIFY2(at.left() == first.left() && at.width() == first.width(),
                     qPrintable(QString("%1 at x %2, %3 wide; %4 at x %5, %6 wide")
                                    .arg(column.first())
                                    .arg(first.left())
                                    .arg(first.width())
                                    .arg(name)
                                    .arg(at.left())
                                    .arg(at.width())));
        }
    }

    // A caption broken in two for a form reads on one line over its table column.
    void column_captions_take_one_line() {
        auto* average = window->findChild<QWidget*>(QString::fromStdString(zyvora::analog_prefix(1)) + "average");
        QWidget* page = page_of(average);
        make_current(page);
        QLabel* header = nullptr;
        for (auto* label : page->findChildren<QLabel*>()) {
            if (label->text() == "1 min average:") header = label;
        }
        QVERIFY(header);
        QVERIFY(header->height() < 2 * header->fontMetrics().lineSpacing());
        QCOMPARE(header->mapTo(page, QPoint(0, 0)).x(), average->mapTo(page, QPoint(0, 0)).x());
    }

    // A window that builds each page as it is first shown shows every page, and the filter
    // window, as the window that builds them all at once does: the same picture, and the same
    // controls with the same names in the same tab order.
    void pages_built_as_shown_look_the_same() {
        struct Shown {
            QString page;
            QStringList chain;
            QImage picture;
        };
        QList<Shown> at_once;
        for (QWidget* page : pages_with_controls(*window)) {
            if (window->filter_window().isAncestorOf(page)) continue;  // seen shown, below
            make_current(page);
            at_once.append({page->objectName(), focus_chain(page), page->grab().toImage()});
        }

        TForm1 later(zyvora_app::PageBuilding::when_shown);
        zyvora::ControlStore& store = later.store();
        for (std::size_t i = 0; i < store.size(); ++i) {  // the clock's controls may have ticked since
            const int id = static_cast<int>(i);
            store.set_text(id, window->store().text(id));
            store.set_index(id, window->store().index(id));
            store.set_checked(id, window->store().checked(id));
            store.set_enabled(id, window->store().enabled(id));
        }
        // No events until the filter window: each page is built as it is shown, none after a paint.
        later.show();
        for (const Shown& shown : at_once) {
            QWidget* page = later.findChild<QWidget*>(shown.page);
            make_current_now(page);
            QCOMPARE(focus_chain(page), shown.chain);
            QVERIFY2(page->grab().toImage() == shown.picture, qPrintable(shown.page));
        }

        // The filter window, built as the window opens it, each shown on its own.
        const auto shown_alone = [](QWidget& filter) -> Shown {
            filter.show();
            if (!QTest::qWaitForWindowExposed(&filter)) return {};
            if (QWidget* focused = filter.focusWidget()) focused->clearFocus();  // where the focus is is not compared
            Shown shown{filter.objectName(), focus_chain(&filter), filter.grab().toImage()};
            filter.hide();
            return shown;
        };
        const Shown filter = shown_alone(window->filter_window());
        const Shown filter_later = shown_alone(later.filter_window());
        QVERIFY(!filter.chain.isEmpty());
        QCOMPARE(filter_later.chain, filter.chain);
        QVERIFY(filter_later.picture == filter.picture);
    }

private:
    std::unique_ptr<TForm1> window;
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
