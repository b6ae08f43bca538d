// A window that builds its pages as they are first shown, as the program starts: before the
// first paint only the page shown has controls; a page built later shows what the store holds
// then; a failing check builds the page of its control to show it; the other pages are built
// once the window has painted, their buttons working.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QPlainTextEdit>
#include <QtTest>
#include <memory>

#include "filter_window.h"
#include "layout_checks.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "pages.h"
#include "recorder.h"

using zyvora_app::BoxKind;
using zyvora_app::PageBuilding;
using zyvora_app::TForm1;

namespace {

const QByteArray kHeader = "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n";

}  // namespace

class PageBuildingTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        window = std::make_unique<TForm1>(PageBuilding::when_shown);
        recorder = std::make_unique<Recorder>();
        recorder->attach(*window);
    }
    void cleanup() {
        window.reset();
        recorder.reset();
    }

    void only_the_page_shown_is_built_before_the_first_paint() {
        window->show();
        QVERIFY(child<QLineEdit>(*window, "Callsign"));
        QVERIFY(child<QWidget>(*window, "Callsign")->isVisible());
        QVERIFY(!child<QWidget>(*window, "Ntp_servername"));
        QVERIFY(!child<QWidget>(*window, "Digion"));
        QVERIFY(!child<QWidget>(*window, "Packet2rf_filter_callsign07"));
    }

    void a_page_built_later_shows_the_store_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("index");      // set when not -1
        QTest::addColumn<QString>("text");   // set when not empty
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("shown");
        QTest::newRow("edit, a page") << "Ntp_servername" << "TabSheet_rtcntp_time" << -1 << "time.example.org" << true
                                      << "time.example.org";
        QTest::newRow("list, a sub-page") << "Digion" << "TabSheet_common_settings" << 0 << "" << true << "No";
        QTest::newRow("disabled edit") << "Ntp_servername" << "TabSheet_rtcntp_time" << -1 << "" << false
                                       << "pool.ntp.org";
    }
    void a_page_built_later_shows_the_store() {
        QFETCH(QString, control);
        QFETCH(QString, page);
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(QString, shown);
        zyvora::ControlStore& store = window->store();
        const int id = store.require(control.toStdString());
        if (index >= 0) store.set_index(id, index);
        if (!text.isEmpty()) store.set_text(id, text.toStdString());
        store.set_enabled(id, enabled);
        window->show();
        QVERIFY(!child<QWidget>(*window, qPrintable(control)));

        make_current_now(child<QWidget>(*window, qPrintable(page)));
        auto* widget = child<QWidget>(*window, qPrintable(control));
        QVERIFY(widget);
        QVERIFY(widget->isVisible());
        QCOMPARE(text_of(widget), shown);
        QCOMPARE(widget->isEnabled(), enabled);
        // and follows the store from then on
        store.set_enabled(id, !enabled);
        QCOMPARE(widget->isEnabled(), !enabled);
    }

    // The window is not shown, so nothing is built but what the check's failure needs.
    void a_failing_check_builds_the_page_of_its_control() {
        read_settings(kHeader + "[I-Gate]\nAprsis_packet2rf_1min=500\n");
        QVERIFY(!child<QWidget>(*window, "Aprsis_packet2rf_1min"));
        click("Button12");

        QCOMPARE(recorder->boxes,
                 only(BoxKind::Information, "Max. non-message packets per 1 min range error (1 - 240)."));
        auto* pages = child<zyvora_app::MultiRowTabWidget>(*window, "PageControl1");
        QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet_aprsis_gateway"));
        QCOMPARE(zyvora_app::sub_tabs(pages->currentWidget())->currentWidget()->objectName(),
                 QString("TabSheet_aprsis_rf_nonmessages"));
        auto* edit = child<QLineEdit>(*window, "Aprsis_packet2rf_1min");
        QVERIFY(edit);
        QCOMPARE(window->focusWidget(), edit);
        QCOMPARE(edit->selectedText(), QString("500"));
    }

    void a_failing_filter_row_builds_the_filter_window() {
        read_settings(kHeader + "[I-Gate]\nPacket2rf_filter_ssid07=99\n");
        QWidget* modal = nullptr;
        QString focused;
        QTimer::singleShot(0, [&] {
            modal = QApplication::activeModalWidget();
            if (auto* edit = qobject_cast<QLineEdit*>(window->filter_window().focusWidget())) {
                focused = edit->objectName() + " " + edit->selectedText();
            }
            window->filter_window().close();
        });
        click("Button12");

        QCOMPARE(modal, &window->filter_window());
        QCOMPARE(focused, QString("Packet2rf_filter_ssid07 99"));
    }

    void the_other_pages_are_built_once_the_window_has_painted() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const zyvora::ControlStore& store = window->store();
        for (std::size_t i = 0; i < store.size(); ++i) {
            const QString name = QString::fromStdString(store.decl(static_cast<int>(i)).name);
            QTRY_VERIFY2(window->findChild<QWidget*>(name), qPrintable(name));
        }
        // Their buttons work: a telemetry preset, the filter window's and the help window's.
        window->store().set_index("Teleanalog3_source", 12);  // "(E) Temperature (DS18S20)"
        click("Button_teleanalog3_default");
        QCOMPARE(window->store().text("Teleanalog3_coefc"), std::string("-64"));
        QWidget* modal = nullptr;
        QTimer::singleShot(0, [&] {
            modal = QApplication::activeModalWidget();
            window->filter_window().close();
        });
        click("Button_filter_setup");
        QCOMPARE(modal, &window->filter_window());
        QTimer::singleShot(0, [&] {
            modal = QApplication::activeModalWidget();
            if (modal) modal->close();
        });
        click("Button_special_strings");
        QVERIFY(modal);
        QCOMPARE(modal->objectName(), QString("TForm2"));
    }

private:
    void read_settings(const QByteArray& text) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("station.cfg");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.close();
        QVERIFY(window->open_file(file));
        // What the short file lacks, as the log tells it, in a notice.
        const auto [log, outcome] = log_and_outcome(*window);
        QCOMPARE(outcome, "Read from file done: " + file);
        QCOMPARE(recorder->boxes, only(BoxKind::Notice, log));
        recorder->boxes.clear();
    }
    void click(const char* name) {
        auto* button = child<QPushButton>(*window, name);
        QVERIFY2(button, name);
        button->click();
    }

    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(PageBuildingTest)
#include "page_building_test.moc"
