// The telemetry channel pages: start-up shows the presets of the default sources, a user's pick
// of a source changes nothing else, and the channel's "Default parameters" button fills it in.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "main_window.h"
#include "multi_row_tabs.h"
#include "recorder.h"

using zyvora_app::TForm1;

namespace {

QString shown(QWidget& window, const char* name) {
    if (auto* edit = child<QLineEdit>(window, name)) return edit->text();
    return child<QComboBox>(window, name)->currentText();
}

// A user's pick of item `index`: from the top of the list, one key press per item.
void pick(QComboBox* combo, int index) {
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(combo, Qt::Key_Down);
}

}  // namespace

class TelemetryPagesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        show_recorded(window, recorder);
        auto* top = child<zyvora_app::MultiRowTabWidget>(*window, "PageControl1");
        top->setCurrentWidget(child<QWidget>(*window, "TabSheet_telemetry_reports"));
    }
    void cleanup() { window.reset(); }

    void start_up_shows_the_presets_of_the_default_sources() {
        const struct {
            const char* control;
            const char* text;
        } rows[] = {
            {"Teleanalog1_source", "(I) Input voltage"}, {"Teleanalog1_name", "Vin"},   {"Teleanalog1_coefb", "0.075"},
            {"Teleanalog4_source", "(I) Decode efficiency (1 hour)"}, {"Teleanalog4_units", "Pcnt"},
            {"Teleanalog5_source", "Not used"},          {"Teleanalog5_name", "A5"},    {"Teleanalog5_average", "Off"},
            {"Teledigital4_source", "(M) Output 4"},     {"Teledigital4_name", "O4"},   {"Teledigital4_units", "On"},
            {"Teledigital8_source", "(M) Input 4"},      {"Teledigital8_name", "I4"},   {"Teledigital8_units", "Hi"},
            {"Teledigital8_inverted", "No"},             {"Brisel_output2", "Off"},     {"Tele_holdoff", "60"},
        };
        for (const auto& row : rows) QCOMPARE(shown(*window, row.control), QString(row.text));
    }

    void analog_button_fills_its_channel_from_the_picked_source() {
        select_page("TabSheet_analog_channels");
        auto* source = child<QComboBox>(*window, "Teleanalog3_source");
        pick(source, 12);  // "(E) Temperature (DS18S20)"
        pick(child<QComboBox>(*window, "Teleanalog3_average"), 1);
        QCOMPARE(window->store().index("Teleanalog3_source"), 12);
        QCOMPARE(shown(*window, "Teleanalog3_name"), QString("Dg1h"));  // a pick alone changes nothing else

        auto* button = child<QPushButton>(*window, "Button_teleanalog3_default");
        QCOMPARE(button->text(), QString("Default parameters"));
        QCOMPARE(button->toolTip(), QString("Default parameters for telemetry module."));
        QTest::mouseClick(button, Qt::LeftButton);
        const char* expected[][2] = {{"Teleanalog3_name", "Temp"}, {"Teleanalog3_units", "C"},
                                     {"Teleanalog3_coefa", "0"},   {"Teleanalog3_coefb", "0.5"},
                                     {"Teleanalog3_coefc", "-64"}, {"Teleanalog3_source", "(E) Temperature (DS18S20)"},
                                     {"Teleanalog3_average", "On"}};
        for (const auto& [control, text] : expected) QCOMPARE(shown(*window, control), QString(text));
        QCOMPARE(window->store().text("Teleanalog3_coefc"), std::string("-64"));
        QCOMPARE(shown(*window, "Teleanalog2_name"), QString("Rx1h"));  // the other channels stay
        QVERIFY(recorder->boxes.isEmpty());
    }

    void digital_button_fills_its_channel_and_clears_inverted() {
        select_page("TabSheet_digital_channels58");
        pick(child<QComboBox>(*window, "Teledigital6_source"), 0);  // "Not used"
        pick(child<QComboBox>(*window, "Teledigital6_inverted"), 1);
        QCOMPARE(shown(*window, "Teledigital6_name"), QString("I2"));

        auto* button = child<QPushButton>(*window, "Button_teledigital6_default");
        QCOMPARE(button->text(), QString("Default parameters"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(shown(*window, "Teledigital6_name"), QString("B6"));
        QCOMPARE(shown(*window, "Teledigital6_units"), QString("Non"));
        QCOMPARE(shown(*window, "Teledigital6_inverted"), QString("No"));
        QCOMPARE(window->store().index("Teledigital6_inverted"), 0);
    }

private:
    void select_page(const char* name) {
        auto* page = child<QWidget>(*window, name);
        child<QTabWidget>(*window, "PageControl_telemetry_reports")->setCurrentWidget(page);
        QVERIFY(page->isVisible());
    }

    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(TelemetryPagesTest)
#include "telemetry_test.moc"
