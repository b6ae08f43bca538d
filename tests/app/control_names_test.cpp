// What a screen reader finds on every page and in the filter window, walked through Qt's
// accessibility interfaces as an assistive technology walks them.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QTabWidget>
#include <QWhatsThis>
#include <QtTest>

#include "filter_window.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "passes.h"

using zyvora_app::MultiRowTabWidget;
using zyvora_app::TForm1;

namespace {

// A control the walk met: its object name, role, the name an assistive technology reads for it
// and whether that name comes from a label relation.
struct Found {
    QString object;
    QAccessible::Role role;
    QString name;
    bool labelled = false;
    QString value;
};

bool is_control(QAccessible::Role role) {
    return role == QAccessible::EditableText || role == QAccessible::ComboBox || role == QAccessible::CheckBox ||
           role == QAccessible::PushButton;
}

// The name of a control as a reader on Linux takes it: a combo box reads its current item as its
// name, so only a label relation names it.
Found describe(QAccessibleInterface* iface) {
    Found found;
    found.object = iface->object() ? iface->object()->objectName() : QString();
    found.role = iface->role();
    found.value = iface->role() == QAccessible::ComboBox ? qobject_cast<QComboBox*>(iface->object())->currentText()
                                                         : iface->text(QAccessible::Value);
    if (iface->role() != QAccessible::ComboBox) {
        found.name = iface->text(QAccessible::Name);
        return found;
    }
    const auto labels = iface->relations(QAccessible::Label);
    if (!labels.isEmpty()) {
        found.name = labels.front().first->text(QAccessible::Name);
        found.labelled = true;
    }
    return found;
}

// The focusable controls below `iface`, in the order of the tree.
void walk(QAccessibleInterface* iface, QList<Found>& out) {
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child) continue;
        if (is_control(child->role()) && child->state().focusable) {
            out << describe(child);
            continue;  // a combo box's list and a box's parts are not controls of the page
        }
        walk(child, out);
    }
}

// A name says what the control sets: it holds a word and is not just what the control shows.
bool informative(const Found& c) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2}"));
    return c.name.contains(word) && c.name.trimmed() != c.value.trimmed();
}

// The faults of one page's controls, one line each; `named` counts the settings controls named
// well and uniquely, `combos_unlabelled` the combo boxes without a label.
QStringList faults(const QString& page, const QList<Found>& controls, int& settings, int& named,
                   int& combos_unlabelled) {
    QStringList out;
    QMap<QString, int> uses;
    for (const Found& c : controls) ++uses[c.name];
    for (const Found& c : controls) {
        const bool setting = c.role != QAccessible::PushButton;
        bool good = true;
        if (c.role == QAccessible::ComboBox && !c.labelled) {
            ++combos_unlabelled;
            out << page + ": " + c.object + " has no label";
            good = false;
        } else if (!informative(c)) {
            out << page + ": " + c.object + " is named \"" + c.name + "\"";
            good = false;
        } else if (uses[c.name] > 1) {
            out << page + ": " + c.object + " shares the name \"" + c.name + "\"";
            good = false;
        }
        if (setting) {
            ++settings;
            if (good) ++named;
        }
    }
    return out;
}

// The pages that hold controls themselves: every page of a tab control without pages of its own.
QList<QWidget*> leaf_pages(QWidget& window) {
    QList<QWidget*> all;
    for (auto* tabs : window.findChildren<MultiRowTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i) all << tabs->widget(i);
    }
    for (auto* tabs : window.findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i) all << tabs->widget(i);
    }
    QList<QWidget*> pages;
    for (QWidget* page : all) {
        if (std::none_of(all.begin(), all.end(), [&](QWidget* w) { return w != page && page->isAncestorOf(w); })) {
            pages << page;
        }
    }
    return pages;
}

}  // namespace

class ControlNamesTest : public QObject {
    Q_OBJECT

private slots:
    void init() { window = std::make_unique<TForm1>(); }
    void cleanup() { window.reset(); }

    // Every control on every page and in the filter window reads as what it sets, once per page,
    // and every combo box has a label that a reader on Linux gives as its name.
    void every_control_says_what_it_is() {
        const QList<QWidget*> pages = leaf_pages(*window);
        QCOMPARE(pages.size(), 35);
        QStringList found;
        int settings = 0, named = 0, combos_unlabelled = 0;
        for (QWidget* page : pages) {
            QList<Found> controls;
            walk(QAccessible::queryAccessibleInterface(page), controls);
            found << faults(page->objectName(), controls, settings, named, combos_unlabelled);
        }
        int filter_settings = 0, filter_named = 0;
        QList<Found> filter;
        walk(QAccessible::queryAccessibleInterface(&window->filter_window()), filter);
        found << faults(QStringLiteral("TForm4"), filter, filter_settings, filter_named, combos_unlabelled);
        qInfo("page controls: %d, named uniquely: %d; filter window controls: %d, named uniquely: %d; "
              "combo boxes without a label: %d",
              settings, named, filter_settings, filter_named, combos_unlabelled);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
        QCOMPARE(settings, 434);
        QCOMPARE(filter_settings, 72);
    }

    // Names of the kinds of control that the pages repeat, as a reader gives them.
    void names_say_row_and_column_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("callsign filter ssid") << "Callfilter_ssid17" << "Callsign filter 17, SSID";
        QTest::newRow("beacon rate") << "Beacon6_txrate_rf" << "Beacon 6, RF [min]";
        QTest::newRow("path rule choice") << "Pathn3_active" << "Path rule 3, Enable if";
        QTest::newRow("path rule first row") << "Pathn1_name" << "Path rule 1, Path (n-N)";
        QTest::newRow("path rule check") << "Pathn2_arearad0" << "Path rule 2, Area RAD0";
        QTest::newRow("octet") << "Ipaddr1" << "IP Address, octet 2";
        QTest::newRow("filter window row") << "Packet2rf_filter_type13" << "Filter 13, Type";
        QTest::newRow("rad1 latitude") << "Area_rad1_latitude" << "Area RAD1 latitude";
        QTest::newRow("rad1 longitude") << "Area_rad1_longitude" << "Area RAD1 longitude";
        QTest::newRow("rect0 latitude") << "Area_rect0_nwlatitude" << "Area RECT0 north-west latitude";
        QTest::newRow("rect0 longitude") << "Area_rect0_selongitude" << "Area RECT0 south-east longitude";
    }
    void names_say_row_and_column() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        window->filter_window();
        auto* widget = window->findChild<QWidget*>(control);
        QVERIFY2(widget, qPrintable(control));
        QCOMPARE(describe(QAccessible::queryAccessibleInterface(widget)).name, name);
    }

    // The list of changes before a write names a table's setting as a screen reader does, from
    // the settings tables, so that the two never tell a row apart differently.
    void the_change_list_names_table_settings_as_a_reader_does() {
        window->filter_window();
        int members = 0;
        QStringList differ;
        for (const zyvora::Setting& setting : zyvora::Registry::instance().settings()) {
            if (setting.control.member.empty()) continue;
            ++members;
            auto* widget = window->findChild<QWidget*>(QString::fromStdString(setting.control.name));
            QVERIFY2(widget, setting.control.name.c_str());
            const QString reader = describe(QAccessible::queryAccessibleInterface(widget)).name;
            const QString listed = QString::fromStdString(zyvora::row_and_name(setting.control));
            if (reader != listed) differ << QStringLiteral("%1: %2 / %3").arg(widget->objectName(), reader, listed);
        }
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join(u'\n')));
        QCOMPARE(members, 335);  // every setting of the numbered tables
    }

    // A combo box whose caption the page shows elsewhere keeps a label relation all the same.
    void a_table_combo_box_is_labelled() {
        auto* combo = window->findChild<QComboBox*>(QStringLiteral("Pathn5_traceable"));
        QVERIFY(combo);
        const auto labels = QAccessible::queryAccessibleInterface(combo)->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.front().first->text(QAccessible::Name), QString("Path rule 5, Traceable"));
        const auto labelled = labels.front().first->relations(QAccessible::Labelled);
        QCOMPARE(labelled.size(), 1);
        QCOMPARE(labelled.front().first->object(), combo);
    }

    // F1 and Shift+F1 show the hint of the focused control, also of one whose page shows no hint
    // on hover; without a focused control with a hint the window's own help shows.
    void hint_keys_show_the_focused_controls_hint_data() {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("F1") << int(Qt::NoModifier);
        QTest::newRow("Shift+F1") << int(Qt::ShiftModifier);
    }
    void hint_keys_show_the_focused_controls_hint() {
        QFETCH(int, modifiers);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* baudrate = window->findChild<QComboBox*>(QStringLiteral("Baudrate"));
        QVERIFY(baudrate);
        QCOMPARE(baudrate->toolTip(), QString());
        QCOMPARE(baudrate->whatsThis(), QString("Packet radio modulation and speed."));
        QCOMPARE(QAccessible::queryAccessibleInterface(baudrate)->text(QAccessible::Description),
                 QString("Packet radio modulation and speed."));
        baudrate->setFocus();
        QTest::keyClick(baudrate, Qt::Key_F1, Qt::KeyboardModifiers(modifiers));
        QWidget* shown = QApplication::activePopupWidget();
        QVERIFY(shown && shown->inherits("QWhatsThat"));
        QWhatsThis::hideText();
        QTRY_VERIFY(!QApplication::activePopupWidget());

        auto* read = window->findChild<QWidget*>(QStringLiteral("Button4"));
        QVERIFY(read);
        read->setFocus();
        QTest::keyClick(read, Qt::Key_F1, Qt::KeyboardModifiers(modifiers));
        shown = QApplication::activePopupWidget();
        QVERIFY(shown && shown->inherits("QWhatsThat"));
        QWhatsThis::hideText();
    }

private:
    std::unique_ptr<TForm1> window;
};

QTEST_MAIN(ControlNamesTest)
#include "control_names_test.moc"
