// The setting widgets are views of the control store: a user's edit writes the store, a change
// made from code shows in the widget without passing for a user's edit, and a user's pick runs
// the control's change handler.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <stdexcept>
#include <string>

#include "main_window.h"
#include "multi_row_tabs.h"
#include "recorder.h"

using zyvora_app::BoxKind;
using zyvora_app::TForm1;

namespace {

// A page's worth of controls of every kind, with a change handler on the choice that switches
// the check box on and locks it, as the port interlocks do.
const zyvora::Registry& fixture_registry() {
    static const zyvora::Registry registry = [] {
        zyvora::AreaBuilder a("fixture");
        a.page("TabSheet_network");
        a.edit("Fixture_name", 5, "abc").caption("Name:").hint("A name.");
        a.choice("Fixture_mode", {"Off", "On"}, 0).caption("Mode:").hint("A mode.");
        a.check("Fixture_enable", false).caption("Enabled").hint("A switch.");
        std::vector<zyvora::Area> areas;
        areas.push_back(a.take());
        zyvora::ChangeHandler handler{"Fixture_mode", [](zyvora::ControlStore& store) {
                                          std::vector<std::string> shown;
                                          if (store.index("Fixture_mode") == 1) {
                                              store.set_checked("Fixture_enable", true);
                                              store.set_enabled(store.require("Fixture_enable"), false);
                                              shown.push_back("Mode is on: the switch follows it.");
                                          }
                                          return shown;
                                      }};
        return zyvora::Registry(std::move(areas), {handler});
    }();
    return registry;
}

void select_all_and_type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    type_text(edit, text);
}

}  // namespace

// What a user's pick in a drop-down list does: the new item, then the activation.
void pick(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

namespace {

// Takes the push button `name` out of `column` and the columns stacked in it; whether it was there.
bool drop_button(zyvora_app::LayoutColumn& column, const std::string& name) {
    bool dropped = false;
    for (auto& sub : column.stack) dropped = drop_button(sub, name) || dropped;
    for (auto& row : column.rows) {
        if (row.button != name) continue;
        row.button.clear();
        dropped = true;
    }
    return dropped;
}

}  // namespace

class BindingTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        show_recorded(window, recorder);
    }
    void cleanup() { window.reset(); }

    void typing_reaches_the_store_up_to_the_maximum_length() {
        auto* call = child<QLineEdit>(*window, "Callsign");
        select_all_and_type(call, "SQ5ABCDEF");
        QCOMPARE(call->text(), QString("SQ5ABC"));
        QCOMPARE(window->store().text("Callsign"), std::string("SQ5ABC"));
        QTest::keyClick(call, Qt::Key_Backspace);
        QCOMPARE(window->store().text("Callsign"), std::string("SQ5AB"));
    }

    void a_change_from_code_shows_without_a_user_signal() {
        auto* call = child<QLineEdit>(*window, "Callsign");
        auto* level = child<QComboBox>(*window, "Output_level");
        QSignalSpy edited(call, &QLineEdit::textEdited);
        QSignalSpy picked(level, &QComboBox::activated);
        window->store().set_text("Callsign", "AB1CD");
        window->store().set_index("Output_level", 0);
        window->store().set_index("Digion", 0);
        QCOMPARE(call->text(), QString("AB1CD"));
        QCOMPARE(level->currentText(), QString("40 mV/500 Ohm"));
        QCOMPARE(child<QComboBox>(*window, "Digion")->currentText(), QString("No"));
        QCOMPARE(edited.count(), 0);
        QCOMPARE(picked.count(), 0);
    }

    void an_index_outside_the_items_shows_no_selection() {
        window->store().set_index("Squelch", 10);
        QCOMPARE(child<QComboBox>(*window, "Squelch")->currentIndex(), -1);
        QCOMPARE(child<QComboBox>(*window, "Squelch")->currentText(), QString());
    }

    // A settings file may hold a longer text than the user may type: it shows whole, can be
    // shortened, but not lengthened.
    void a_longer_text_from_code_shows_whole() {
        auto* call = child<QLineEdit>(*window, "Callsign");
        window->store().set_text("Callsign", "ABCDEFGHI");
        QCOMPARE(call->text(), QString("ABCDEFGHI"));
        call->setFocus();
        QTest::keyClick(call, Qt::Key_End);
        QTest::keyClick(call, Qt::Key_Backspace);
        QCOMPARE(window->store().text("Callsign"), std::string("ABCDEFGH"));
        QTest::keyClicks(call, "Z");
        QCOMPARE(window->store().text("Callsign"), std::string("ABCDEFGH"));
        window->store().set_text("Callsign", "AB");
        QTest::keyClick(call, Qt::Key_End);
        QTest::keyClicks(call, "CDEFGH");
        QCOMPARE(window->store().text("Callsign"), std::string("ABCDEF"));
    }

    void texts_are_latin1_bytes() {
        auto* call = child<QLineEdit>(*window, "Callsign");
        window->store().set_text("Callsign", "SP\xE9");
        QCOMPARE(call->text(), QString::fromUtf8("SP\u00E9"));
        select_all_and_type(call, QString::fromUtf8("\u00FC\u20AC1"));  // the euro sign has no Latin-1 byte
        QCOMPARE(window->store().text("Callsign"), std::string("\xFC" "1"));
    }

    void a_user_pick_in_a_choice_reaches_the_store() {
        auto* digion = child<QComboBox>(*window, "Digion");
        QTest::keyClick(digion, Qt::Key_Up);
        QCOMPARE(window->store().index("Digion"), 0);
        auto* level = child<QComboBox>(*window, "Output_level");
        QTest::keyClick(level, Qt::Key_Down);
        QCOMPARE(window->store().index("Output_level"), 21);
        QCOMPARE(level->currentText(), QString("452 mV/500 Ohm"));
        QVERIFY(recorder->boxes.isEmpty());
    }

    // A user's pick runs the port interlock and shows why it corrected the other port; the same
    // value set from code (a file, a decode) runs nothing.
    void a_user_pick_fires_the_port_interlock_and_code_does_not() {
        auto& store = window->store();
        store.set_index("Serial1_mode", 2);  // GPS, from code: port 2 keeps GPS too, silently
        QCOMPARE(store.index("Serial2_mode"), 2);
        QVERIFY(recorder->boxes.isEmpty());

        auto* port2 = child<QComboBox>(*window, "Serial2_mode");
        pick(port2, 2);
        QCOMPARE(store.index("Serial1_mode"), 0);
        QCOMPARE(store.index("Serial2_mode"), 2);
        QCOMPARE(child<QComboBox>(*window, "Serial1_mode")->currentIndex(), 0);
        QCOMPARE(recorder->boxes, only(BoxKind::Information,
                                       "RS-232 port 1 changed to None.\rReason:\rGPS can be selected on one port only."));

        // A new weather station model runs both port handlers.
        recorder->boxes.clear();
        store.set_index("Serial1_mode", 1);
        store.set_index("Serial2_mode", 4);
        store.set_index("Weather_stationtype", 7);
        auto* model = child<QComboBox>(*window, "Weather_stationtype");
        pick(model, 6);
        QCOMPARE(store.index("Serial2_mode"), 0);
        QCOMPARE(recorder->boxes,
                 only(BoxKind::Information, "RS-232 port 2 changed to None.\rReason:\rIf WS-2300 or WS-2350 station is "
                                            "selected on port 1, then port 2 can work in RX-only mode (e.g. GPS)."));

        recorder->boxes.clear();
        store.set_index("Serial2_mode", 2);
        auto* bluetooth = child<QComboBox>(*window, "Bluetooth_connected");
        pick(bluetooth, 1);
        QCOMPARE(store.index("Serial2_mode"), 0);
        QCOMPARE(recorder->boxes.size(), 1);
        recorder->boxes.clear();
        pick(bluetooth, 0);
        QVERIFY(recorder->boxes.isEmpty());
    }

    void every_kind_of_control_with_a_change_handler() {
        Recorder fixture;
        TForm1 form(fixture_registry(), {}, fixture.presenter());
        QVERIFY(fixture.boxes.isEmpty());  // the interlock step at start-up finds nothing to say
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        auto* page = child<QWidget>(form, "TabSheet_network");
        auto* name = child<QLineEdit>(form, "Fixture_name");
        auto* mode = child<QComboBox>(form, "Fixture_mode");
        auto* enable = child<QCheckBox>(form, "Fixture_enable");
        QVERIFY(page->isAncestorOf(name) && page->isAncestorOf(mode) && page->isAncestorOf(enable));
        QCOMPARE(name->text(), QString("abc"));
        QCOMPARE(enable->text(), QString("Enabled"));
        QCOMPARE(enable->toolTip(), QString("A switch."));

        child<zyvora_app::MultiRowTabWidget>(form, "PageControl1")->setCurrentWidget(page);
        QTest::mouseClick(enable, Qt::LeftButton);
        QVERIFY(form.store().checked("Fixture_enable"));
        QTest::mouseClick(enable, Qt::LeftButton);
        QVERIFY(!form.store().checked("Fixture_enable"));

        // From code the handler does not run; on the user's pick it does, and its changes show.
        form.store().set_index("Fixture_mode", 1);
        QVERIFY(fixture.boxes.isEmpty());
        QVERIFY(!enable->isChecked());
        form.store().set_index("Fixture_mode", 0);
        QTest::keyClick(mode, Qt::Key_Down);
        QCOMPARE(fixture.boxes, only(BoxKind::Information, "Mode is on: the switch follows it."));
        QVERIFY(enable->isChecked());
        QVERIFY(!enable->isEnabled());
    }

    // Named controls go where the layout says; the rest follow in the last column.
    void the_page_layout_places_the_controls() {
        const std::vector<zyvora_app::PageLayout> layouts = {
            {"TabSheet_network", {{"", {{"Fixture_mode"}}}, {"Switches", {{"Fixture_name"}}}}}};
        Recorder fixture;
        TForm1 form(fixture_registry(), layouts, fixture.presenter());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        child<zyvora_app::MultiRowTabWidget>(form, "PageControl1")->setCurrentWidget(child<QWidget>(form, "TabSheet_network"));
        QCoreApplication::processEvents();
        auto* mode = child<QWidget>(form, "Fixture_mode");
        auto* name = child<QWidget>(form, "Fixture_name");
        auto* enable = child<QWidget>(form, "Fixture_enable");
        auto* group = qobject_cast<QGroupBox*>(name->parentWidget());
        QVERIFY(group);
        QCOMPARE(group->title(), QString("Switches"));
        QCOMPARE(enable->parentWidget(), group);
        QVERIFY(mode->parentWidget() != group);
        QVERIFY(mode->mapToGlobal(QPoint(0, 0)).x() < group->mapToGlobal(QPoint(0, 0)).x());
        QVERIFY(enable->geometry().top() > name->geometry().bottom());
    }

    void a_layout_naming_a_control_not_on_its_page_is_refused() {
        const std::vector<zyvora_app::PageLayout> unknown = {
            {"TabSheet_network", {{"", {{"Fixture_name", "Callsign"}}}}}};
        QVERIFY_THROWS_EXCEPTION(std::logic_error, TForm1(fixture_registry(), unknown, Recorder().presenter()));
        const std::vector<zyvora_app::PageLayout> twice = {
            {"TabSheet_network", {{"", {{"Fixture_name"}, {"Fixture_name"}}}}}};
        QVERIFY_THROWS_EXCEPTION(std::logic_error, TForm1(fixture_registry(), twice, Recorder().presenter()));
    }

    // A table header without a text of its own shows the caption that the control under it
    // declares; a caption cell shows a control's caption before it. Neither labels a control: each
    // is named by what it sets, a combo box through a hidden label of its own. Such a header over
    // a cell without a control, or a caption cell of no control of the page, is refused.
    void table_headers_and_cells_take_the_captions_that_controls_declare() {
        const auto table = [](std::vector<zyvora_app::LayoutHeader> headers, zyvora_app::LayoutRow row) {
            zyvora_app::LayoutColumn column;
            column.headers = std::move(headers);
            column.rows = {std::move(row)};
            return std::vector<zyvora_app::PageLayout>{{"TabSheet_network", {column}}};
        };
        using zyvora_app::kControlCaption;
        TForm1 form(fixture_registry(),
                    table({kControlCaption, "Own:", "", "Own:"},
                          {"Fixture_name", "Fixture_mode", zyvora_app::cell_caption("Fixture_enable"), "Fixture_enable"}),
                    Recorder().presenter());
        auto* name = child<QWidget>(form, "Fixture_name");
        auto* mode = child<QWidget>(form, "Fixture_mode");
        auto* enable = child<QWidget>(form, "Fixture_enable");
        QStringList texts;
        QStringList labels;
        for (auto* label : name->parentWidget()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!label->isHidden()) texts << label->text();
            if (label->buddy()) labels << label->buddy()->objectName() + " " + label->text();
        }
        QCOMPARE(texts, QStringList({"Name:", "Own:", "", "Own:", "Enabled"}));
        QCOMPARE(labels, QStringList({"Fixture_mode Mode"}));
        QCOMPARE(name->accessibleName(), QString("Name"));
        QCOMPARE(mode->accessibleName(), QString("Mode"));
        QCOMPARE(enable->accessibleName(), QString("Enabled"));

        try {
            TForm1 refused(fixture_registry(),
                           table({kControlCaption, kControlCaption}, {"Fixture_name", zyvora_app::cell_text("-")}),
                           Recorder().presenter());
            QFAIL("a header over a text took a caption");
        } catch (const std::logic_error& e) {
            QCOMPARE(std::string(e.what()),
                     std::string("the layout of TabSheet_network takes header 2 from a cell that holds no control"));
        }
        try {
            TForm1 refused(fixture_registry(), table({"", ""}, {"Fixture_name", zyvora_app::cell_caption("Callsign")}),
                           Recorder().presenter());
            QFAIL("a caption of no control of the page was shown");
        } catch (const std::logic_error& e) {
            QCOMPARE(std::string(e.what()),
                     std::string("a layout shows the caption of Callsign, which is no control of its page"));
        }
    }

    // A group box and a note can show a control's declared caption: the box of a control shown
    // without its caption, the note beside controls whose rows leave it out.
    void group_titles_and_notes_take_the_captions_that_controls_declare() {
        const auto titled = [](std::string title_of) {
            zyvora_app::LayoutColumn column{"", {{"Fixture_mode"}, zyvora_app::layout_caption_note("Fixture_name")}};
            column.title_of = std::move(title_of);
            return std::vector<zyvora_app::PageLayout>{{"TabSheet_network", {column}}};
        };
        TForm1 form(fixture_registry(), titled("Fixture_mode"), Recorder().presenter());
        auto* group = qobject_cast<QGroupBox*>(child<QWidget>(form, "Fixture_mode")->parentWidget());
        QVERIFY(group);
        QCOMPARE(group->title(), QString("Mode:"));
        QCOMPARE(child<QLabel>(form, "TabSheet_network_note")->text(), QString("Name:"));
        try {
            TForm1 refused(fixture_registry(), titled("Callsign"), Recorder().presenter());
            QFAIL("a caption of no control of the page was shown");
        } catch (const std::logic_error& e) {
            QCOMPARE(std::string(e.what()),
                     std::string("a layout shows the caption of Callsign, which is no control of its page"));
        }
    }

    void a_layout_of_a_page_that_is_not_there_is_refused() {
        const std::vector<zyvora_app::PageLayout> misnamed = {{"TabSheet_netwrok", {{"", {{"Fixture_name"}}}}}};
        try {
            TForm1 form(fixture_registry(), misnamed, Recorder().presenter());
            QFAIL("a layout of no page was taken");
        } catch (const std::logic_error& e) {
            QCOMPARE(std::string(e.what()),
                     std::string("a layout names the page TabSheet_netwrok, which is not there"));
        }
    }

    // A page arranged without a button the window connects is refused with the button's name;
    // layouts that leave the page unarranged leave its button out without a word.
    void a_layout_leaving_out_a_connected_button_is_refused() {
        for (const std::string button : {"Button_filter_setup", "Button22", "Button_teleanalog3_default",
                                         "Button_teledigital8_default"}) {
            std::vector<zyvora_app::PageLayout> layouts = zyvora_app::page_layouts();
            std::string page;
            for (auto& layout : layouts) {
                for (auto& column : layout.columns) {
                    if (drop_button(column, button)) page = layout.page;
                }
            }
            QVERIFY2(!page.empty(), button.c_str());
            try {
                TForm1 form(zyvora::Registry::instance(), layouts, Recorder().presenter());
                QFAIL(("no refusal without " + button).c_str());
            } catch (const std::logic_error& e) {
                QCOMPARE(std::string(e.what()), "the layout of " + page + " places no button " + button);
            }
        }
        TForm1 form(zyvora::Registry::instance(), {}, Recorder().presenter());
        QVERIFY(!form.findChild<QPushButton*>("Button_filter_setup"));
    }

private:
    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(BindingTest)
#include "binding_test.moc"
