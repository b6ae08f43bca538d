// The main window as built at start-up: frame, pages, buttons, the setting controls and their
// defaults, and a layout in which nothing is clipped or overlaps.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "help_window.h"
#include "layout_checks.h"
#include "main_window.h"
#include "position_entry.h"
#include "passes.h"
#include "multi_row_tabs.h"
#include "pages.h"
#include "recorder.h"
#include "screenshots.h"
#include "splash.h"

using zyvora_app::BoxKind;
using zyvora_app::MultiRowTabWidget;
using zyvora_app::TForm1;

namespace {

QLabel* caption_of(QWidget* widget) {
    for (auto* label : widget->window()->findChildren<QLabel*>()) {
        if (label->buddy() == widget) return label;
    }
    return nullptr;
}

struct TabList {
    QStringList captions;
    QStringList names;
    int current = -1;
};

// The top-level tab control and the sub-page ones offer the same calls.
template <class Tabs>
TabList list_tabs(const Tabs* control) {
    TabList list;
    for (int i = 0; i < control->count(); ++i) {
        list.captions << control->tabText(i);
        list.names << control->widget(i)->objectName();
    }
    list.current = control->currentIndex();
    return list;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        window = std::make_unique<TForm1>();
        recorder = std::make_unique<Recorder>();
        recorder->attach(*window);
    }
    void cleanup() { window.reset(); }

    void frame() {
        QCOMPARE(window->objectName(), QString("TForm1"));
        QCOMPARE(window->windowTitle(), QString("Zyvora Plus 2.0 Configurator v1.13"));
        QCOMPARE(window->size(), QSize(800, 428));
        QCOMPARE(window->minimumSize(), QSize(800, 428));
        QCOMPARE(window->maximumSize(), QSize(800, 428));
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(window->font().pointSize(), 8);
    }

    void pages_data() {
        QTest::addColumn<QString>("tabs");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("main") << "PageControl1"
            << QStringList{"Radio", "Digipeater", "Beacons", "Network", "APRS-IS gateway", "RTC/NTP time",
                           "Remote access", "Telemetry reports", "Weather reports", "Ext. interfaces", "Other"}
            << QStringList{"TabSheet_radio", "TabSheet_digipeater", "TabSheet_beacons", "TabSheet_network",
                           "TabSheet_aprsis_gateway", "TabSheet_rtcntp_time", "TabSheet_remote_access",
                           "TabSheet_telemetry_reports", "TabSheet_weather_reports", "TabSheet_external_interfaces",
                           "TabSheet_other"};
        QTest::newRow("digipeater") << "PageControl3"
            << QStringList{"Common settings", "PATH filter rules", "PATH Filter areas", "CALLSIGN filter rules"}
            << QStringList{"TabSheet_common_settings", "TabSheet_path_filter_rules", "TabSheet_path_filter_areas",
                           "TabSheet_callsign_filter_rules"};
        QTest::newRow("beacons") << "PageControl7"
            << QStringList{"Beacons 1-4", "Beacons 5-8", "GPS SmartBeaconing"}
            << QStringList{"TabSheet_beacons14", "TabSheet_beacons58", "TabSheet_gps_smartbeaconing"};
        QTest::newRow("aprs-is") << "PageControl_aprsis_gateway"
            << QStringList{"APRS-IS server", "APRS-IS (common)", "RF->APRS-IS", "APRS-IS->RF (messages)",
                           "APRS-IS->RF (non-messages)"}
            << QStringList{"TabSheet_aprsis_server", "TabSheet_aprsis_common", "TabSheet_rf_aprsis",
                           "TabSheet_aprsis_rf_messages", "TabSheet_aprsis_rf_nonmessages"};
        QTest::newRow("remote access") << "PageControl_remote_access"
            << QStringList{"WWW", "Telnet", "KISS via TCP/IP", "APRS-IS simple server", "Statistics upload"}
            << QStringList{"TabSheet_www", "TabSheet_telnet", "TabSheet_kissviatcpip", "TabSheet1", "TabSheet2"};
        QTest::newRow("telemetry") << "PageControl_telemetry_reports"
            << QStringList{"Report settings", "Analog channels", "Digital channels 1-4", "Digital channels 5-8",
                           "Brisel outputs"}
            << QStringList{"TabSheet_report_settings", "TabSheet_analog_channels", "TabSheet_digital_channels14",
                           "TabSheet_digital_channels58", "TabSheet_brisel_outputs"};
        QTest::newRow("weather") << "PageControl_weather_reports"
            << QStringList{"Weather beacon", "Weather Underground"}
            << QStringList{"TabSheet_weather_beacon", "TabSheet_weather_underground"};
        QTest::newRow("ext. interfaces") << "PageControl_external_interfaces"
            << QStringList{"RS-232 ports", "RS-485 port", "Thermometer port", "Weather station", "GPS receiver",
                           "KISS", "RSS-131 gamma monitor"}
            << QStringList{"TabSheet_rs232_ports", "TabSheet_rs485_ports", "TabSheet_thermometer_port",
                           "TabSheet_weather_station", "TabSheet_gps_receiver", "TabSheet_kiss",
                           "TabSheet_rss131_gamma_monitor"};
        QTest::newRow("other") << "PageControl_other" << QStringList{"Voltage measurement"}
                               << QStringList{"TabSheet_voltage_measurement"};
    }
    void pages() {
        QFETCH(QString, tabs);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, names);
        TabList shown;
        if (auto* multi = window->findChild<MultiRowTabWidget*>(tabs)) shown = list_tabs(multi);
        else if (auto* single = window->findChild<QTabWidget*>(tabs)) shown = list_tabs(single);
        else QFAIL(qPrintable(tabs + " is missing"));
        QCOMPARE(shown.captions, captions);
        QCOMPARE(shown.names, names);
        QCOMPARE(shown.current, 0);
    }

    void radio_page_is_current_at_start() {
        QCOMPARE(child<MultiRowTabWidget>(*window, "PageControl1")->currentWidget()->objectName(),
                 QString("TabSheet_radio"));
    }

    // At the fixed window size every top-level caption shows whole: no tab reaches outside the
    // window or onto the page, none covers another, each is at least as wide as its text.
    void every_top_level_tab_shows_its_caption_whole() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* tabs = child<MultiRowTabWidget>(*window, "PageControl1");
        QCOMPARE(tabs->count(), 11);
        const QRect page(tabs->currentWidget()->mapTo(window.get(), QPoint(0, 0)), tabs->currentWidget()->size());
        QList<QRect> shown;
        for (int i = 0; i < tabs->count(); ++i) {
            const QString caption = tabs->tabText(i);
            const QRect rect(tabs->mapTo(window.get(), tabs->tabRect(i).topLeft()), tabs->tabRect(i).size());
            QVERIFY2(window->rect().contains(rect), qPrintable(caption + " reaches outside the window"));
            QVERIFY2(rect.width() >= tabs->fontMetrics().horizontalAdvance(caption), qPrintable(caption + " is cut short"));
            QVERIFY2(!rect.intersects(page), qPrintable(caption + " lies on the page"));
            for (const QRect& other : shown) QVERIFY2(!rect.intersects(other), qPrintable(caption + " covers another tab"));
            shown << rect;
        }
    }

    // Every page is reached by a click on its tab; Ctrl+Tab and Ctrl+Shift+Tab step round the pages
    // from a control on the page.
    void tabs_show_their_pages_on_a_click_and_on_ctrl_tab() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* tabs = child<MultiRowTabWidget>(*window, "PageControl1");
        QSignalSpy changed(tabs, &MultiRowTabWidget::currentChanged);
        QList<int> clicked;
        for (int i = tabs->count() - 1; i >= 0; --i) {
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(i).center());
            QCOMPARE(tabs->currentIndex(), i);
            QVERIFY(tabs->widget(i)->isVisible());
            clicked << i;
        }
        QList<int> signalled;
        for (const auto& arguments : changed) signalled << arguments.at(0).toInt();
        QCOMPARE(signalled, clicked);

        auto* callsign = child<QWidget>(*window, "Callsign");
        QTest::keyClick(callsign, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs->currentWidget()->objectName(), QString("TabSheet_digipeater"));
        make_current(callsign);
        QTest::keyClick(callsign, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentWidget()->objectName(), QString("TabSheet_other"));
    }

    void sub_page_tabs_of_digipeater_and_beacons_look_like_buttons() {
        for (const char* name : {"PageControl3", "PageControl7"}) {
            auto* tabs = child<QTabWidget>(*window, name);
            QVERIFY(tabs->documentMode());
            QVERIFY(tabs->tabBar()->styleSheet().contains("border-radius"));
        }
    }

    void buttons_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Button4") << "Connection:" << "Read config" << "Reads current configuration from device.";
        QTest::newRow("Button5") << "Connection:" << "Write config" << "Writes current configuration to device.";
        QTest::newRow("Button3") << "Connection:" << "Upload firmware" << "Uploads firmware to device.";
        QTest::newRow("Button1") << "Configuration import/export:" << "Save to file"
                                 << "Saves current configuration from Configurator application to file.";
        QTest::newRow("Button2") << "Configuration import/export:" << "Read from file"
                                 << "Reads current configuration from file to Configurator application.";
        QTest::newRow("Button12") << "Remote update" << "Build remote update file"
                                  << "Builds remote update file which can then be uploaded to device via TFTP.";
    }
    void buttons() {
        QFETCH(QString, group);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        auto* button = window->findChild<QPushButton*>(QTest::currentDataTag());
        QVERIFY(button);
        QCOMPARE(QString(button->text()).remove(u'&'), caption);  // as shown: the mnemonic is underlined
        QCOMPARE(button->toolTip(), hint);
        QCOMPARE(qobject_cast<QGroupBox*>(button->parentWidget())->title(), group);
        QVERIFY(button->isEnabled());
    }

    void status_log_and_progress_bar() {
        auto* memo = child<QPlainTextEdit>(*window, "Memo1");
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(memo->toPlainText().isEmpty());
        auto* progress = child<QProgressBar>(*window, "ProgressBar1");
        QCOMPARE(progress->value(), 0);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect bar(progress->mapTo(window.get(), QPoint(0, 0)), progress->size());
        QCOMPARE(bar.left(), 0);
        QCOMPARE(bar.width(), 800);
        QCOMPARE(bar.bottom(), 427);
    }

    // Every control of the registry is a widget named after it, on its page, made from its row.
    void every_control_is_made_from_its_declaration() {
        QCOMPARE(window->findChild<QWidget*>("Txdelay")->toolTip(),
                 QString("Time between PTT on and packet start (preamble length).\n200 - 1000"));
        const auto& store = window->store();
        for (std::size_t i = 0; i < store.size(); ++i) {
            const auto& decl = store.decl(static_cast<int>(i));
            const QString name = QString::fromStdString(decl.name);
            auto* widget = window->findChild<QWidget*>(name);
            QVERIFY2(widget, qPrintable(name));
            auto* page = window->findChild<QWidget*>(QString::fromStdString(decl.page));
            QVERIFY2(page && page->isAncestorOf(widget), qPrintable(name));
            // Every control has its hint for screen readers and on request; on hover only where
            // its page shows hints.
            const QString hint = QString::fromStdString(decl.hint);
            QVERIFY2(!hint.isEmpty(), qPrintable(name));
            QCOMPARE(widget->accessibleDescription(), hint);
            QCOMPARE(widget->whatsThis(), hint);
            // A checked number's tooltip adds its range, on a line of its own.
            const zyvora::Field& field = zyvora::Registry::instance().settings()[i].field;
            const QString range = field.codec == zyvora::Codec::Number && field.range_checked
                                      ? QStringLiteral("\n%1 - %2").arg(field.lo).arg(field.hi)
                                      : QString();
            QCOMPARE(widget->toolTip(), decl.hint_on_hover ? hint + range : QString());
            switch (decl.kind) {
                case zyvora::ControlKind::Edit:
                    // A latitude or longitude edit takes a pasted pair, converted when it is left.
                    QCOMPARE(qobject_cast<QLineEdit*>(widget)->maxLength(),
                             zyvora_app::coordinate_axis(zyvora::Registry::instance().settings()[i])
                                 ? zyvora_app::kTypedPositionChars
                                 : decl.max_length > 0 ? decl.max_length : 32767);
                    break;
                case zyvora::ControlKind::Choice: {
                    auto* combo = qobject_cast<QComboBox*>(widget);
                    QVERIFY(!combo->isEditable());
                    QCOMPARE(combo->count(), static_cast<int>(decl.items.size()));
                    for (int k = 0; k < combo->count(); ++k) {
                        QCOMPARE(combo->itemText(k), QString::fromStdString(decl.items[static_cast<std::size_t>(k)]));
                    }
                    break;
                }
                case zyvora::ControlKind::Check: {
                    // In a table the column header shows the caption and the box is named by it.
                    auto* check = qobject_cast<QCheckBox*>(widget);
                    if (!check->text().isEmpty()) {
                        QCOMPARE(check->text(), QString::fromStdString(decl.caption));
                        continue;
                    }
                    break;
                }
            }
            // Named by its caption beside it, or by what it sets: in a table after its row's name
            // ("Beacon 6, RF [min]"), elsewhere on its own ("IP Address, octet 2").
            auto* label = caption_of(widget);
            if (label && label->isVisibleTo(label->parentWidget())) {
                QCOMPARE(label->text(), QString::fromStdString(decl.caption));
                QVERIFY2(widget->accessibleName().isEmpty(), qPrintable(name));
                continue;
            }
            const QString spoken = QString::fromStdString(zyvora::spoken_name(decl));
            QVERIFY2(widget->accessibleName() == spoken || widget->accessibleName().endsWith(", " + spoken),
                     qPrintable(name + ": " + widget->accessibleName()));
            if (label) QCOMPARE(label->text(), widget->accessibleName());  // a combo box's hidden label
        }
    }

    // Each widget shows what its control holds at start-up: the text, the selected item, the check mark.
    void every_control_shows_its_start_up_value() {
        const auto& store = window->store();
        for (std::size_t i = 0; i < store.size(); ++i) {
            const int id = static_cast<int>(i);
            const QString name = QString::fromStdString(store.decl(id).name);
            auto* widget = window->findChild<QWidget*>(name);
            QVERIFY2(widget, qPrintable(name));
            if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                QCOMPARE(edit->text(), QString::fromStdString(store.text(id)));
            } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                QCOMPARE(combo->currentIndex(), store.index(id));
            } else {
                auto* check = qobject_cast<QCheckBox*>(widget);
                QVERIFY2(check, qPrintable(name));
                QCOMPARE(check->isChecked(), store.checked(id));
            }
        }
    }

    // Passwords are hidden but while they are edited; the settings hold them as typed.
    void passwords_are_hidden() {
        for (const char* name : {"Aprsis_pass", "www_password", "telnet_password", "aprsisserver_password", "WU_password"}) {
            QCOMPARE(window->findChild<QLineEdit*>(name)->echoMode(), QLineEdit::PasswordEchoOnEdit);
        }
        QCOMPARE(window->findChild<QLineEdit*>("Callsign")->echoMode(), QLineEdit::Normal);
        auto* password = window->findChild<QLineEdit*>("www_password");
        QCOMPARE(password->displayText(), QString(5, QChar(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter))));
    }

    // Typing keeps the field's undo history, and what undo and redo put in reaches the settings.
    void typing_can_be_undone_and_redone() {
        auto* call = window->findChild<QLineEdit*>("Callsign");
        call->setFocus();
        call->selectAll();
        QTest::keyClicks(call, "SP5AB");
        QCOMPARE(call->text(), QString("SP5AB"));
        for (int i = 0; i < 6 && call->text() != "NOCALL"; ++i) QTest::keyClick(call, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(call->text(), QString("NOCALL"));
        QCOMPARE(window->store().text("Callsign"), std::string("NOCALL"));
        for (int i = 0; i < 6 && call->text() != "SP5AB"; ++i) {
            QTest::keyClick(call, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        }
        QCOMPARE(call->text(), QString("SP5AB"));
        QCOMPARE(window->store().text("Callsign"), std::string("SP5AB"));
    }

    void ssid_follows_callsign_on_its_row() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* call = child<QWidget>(*window, "Callsign");
        auto* ssid = child<QWidget>(*window, "Ssid");
        QLabel* dash = nullptr;
        for (auto* label : call->parentWidget()->findChildren<QLabel*>()) {
            if (label->text() == "-") dash = label;
        }
        QVERIFY(dash);
        QCOMPARE(ssid->accessibleName(), QString("SSID"));
        QVERIFY(call->geometry().right() < dash->geometry().left());
        QVERIFY(dash->geometry().right() < ssid->geometry().left());
        QVERIFY(qAbs(call->geometry().center().y() - ssid->geometry().center().y()) <= 1);
    }

    // Every page with controls, and the button row, at the fixed window size.
    void nothing_is_clipped_or_overlapping() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        check_every_page_tidy(*window);
        if (QTest::currentTestFailed()) return;
        QList<QWidget*> buttons;
        for (auto* group : window->findChildren<QGroupBox*>()) {
            if (!group->findChild<QPushButton*>()) continue;
            buttons << group;
            for (auto* b : group->findChildren<QPushButton*>()) buttons << b;
        }
        QCOMPARE(buttons.size(), 9);
        for (QWidget* w : buttons) {
            QVERIFY(window->rect().contains(QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size())));
            QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
        }
    }

    // Both "Special strings" buttons show the one help window, modally, with its twelve lines.
    void special_strings_open_the_help_window() {
        window->show();
        auto* help = window->findChild<QDialog*>("TForm2");
        QVERIFY(help);
        QCOMPARE(help->windowTitle(), QString("Beacon special strings"));
        QVERIFY(!help->isVisible());
        const QStringList& expected = zyvora_app::TForm2::lines();
        QCOMPARE(expected.size(), 12);
        int previous_top = -1;
        for (int i = 0; i < expected.size(); ++i) {
            auto* label = help->findChild<QLabel*>(QString("Label%1").arg(i + 1));
            QVERIFY(label);
            QCOMPARE(label->text(), expected[i]);
            QVERIFY2(label->geometry().top() > previous_top, qPrintable(label->objectName()));
            QVERIFY2(help->rect().contains(label->geometry()), qPrintable(label->text()));
            QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()), qPrintable(label->text()));
            previous_top = label->geometry().top();
        }
        QVERIFY(!help->findChild<QLabel*>(QString("Label%1").arg(expected.size() + 1)));
        // 371 by 222, wider only where the font cannot show the longest line in 371 pixels.
        QVERIFY(help->width() >= 371);
        QCOMPARE(help->height(), 222);

        for (const char* name : {"Button_special_strings", "Button22"}) {
            auto* button = window->findChild<QPushButton*>(name);
            QVERIFY2(button, name);
            QCOMPARE(button->text(), QString("Special strings"));
            make_current(button->parentWidget());
            bool shown_modally = false;
            QTimer::singleShot(0, [&] {
                shown_modally = QApplication::activeModalWidget() == help && help->isVisible();
                help->close();
            });
            button->click();
            QVERIFY2(shown_modally, name);
            QVERIFY(!help->isVisible());
        }
    }

    // "Filter setup" shows the filter window modally; what is typed there, closed by the close box,
    // is what the next encode reads.
    void filter_setup_edits_the_rows_in_place() {
        window->show();
        auto* filter = window->findChild<QDialog*>("TForm4");
        QVERIFY(filter);
        QCOMPARE(filter->windowTitle(), QString("APRS-IS packets to RF filter (UI-View style):"));
        QVERIFY(!filter->isVisible());
        const QStringList notes = {
            "Order of entries is important, if you deny/allow something in previous field, it will not be tested in "
            "next fields, comparison stops when pattern match is found.",
            "* wildcard is supported to mask all characters to the end of the pattern string.",
            "? wildcards are supported to mask single characters (except space character).",
        };
        for (int i = 0; i < notes.size(); ++i) QCOMPARE(child<QLabel>(*filter, qPrintable(QString("Label_note%1").arg(i + 1)))->text(), notes[i]);
        QCOMPARE(child<QPushButton>(*filter, "BitBtn1")->text(), QString("OK"));

        // Tab goes row by row, with "OK" between rows 12 and 13.
        const auto next_tab = [](QWidget* w) {
            do w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        for (const auto& [from, to] : {std::pair{"Packet2rf_filter_callsign01", "Packet2rf_filter_ssid01"},
                                      {"Packet2rf_filter_ssid01", "Packet2rf_filter_type01"},
                                      {"Packet2rf_filter_type01", "Packet2rf_filter_callsign02"},
                                      {"Packet2rf_filter_type08", "Packet2rf_filter_callsign09"},
                                      {"Packet2rf_filter_type12", "BitBtn1"},
                                      {"BitBtn1", "Packet2rf_filter_callsign13"}}) {
            QCOMPARE(next_tab(child<QWidget>(*filter, from))->objectName(), QString(to));
        }

        auto* button = child<QPushButton>(*window, "Button_filter_setup");
        QCOMPARE(button->text(), QString("Filter setup"));
        make_current(button->parentWidget());
        bool shown_modally = false;
        QTimer::singleShot(0, [&] {
            shown_modally = QApplication::activeModalWidget() == filter;
            auto* call = child<QLineEdit>(*filter, "Packet2rf_filter_callsign07");
            call->setFocus();
            QTest::keyClicks(call, "sp*");
            auto* ssid = child<QLineEdit>(*filter, "Packet2rf_filter_ssid07");
            ssid->selectAll();
            QTest::keyClicks(ssid, "15");
            auto* type = child<QComboBox>(*filter, "Packet2rf_filter_type07");
            type->setCurrentIndex(2);
            emit type->activated(2);
            filter->close();  // the close box, not "OK"
        });
        button->click();
        QVERIFY(shown_modally);
        QVERIFY(!filter->isVisible());

        zyvora::Image image{};
        zyvora::EncodeOptions options;
        options.nonce = 0;
        QVERIFY(zyvora::encode(zyvora::Registry::instance(), window->store(), image, options).empty());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.data()) + 408 + 8 * 6, 8), QByteArray("SP*   ?\x02", 8));
        QCOMPARE(window->store().text("Packet2rf_filter_callsign07"), std::string("sp*"));
    }

    void splash_is_a_borderless_picture_on_top() {
        zyvora_app::TSplashScreen splash;
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(splash.size(), QSize(254, 254));
        auto* picture = splash.findChild<QLabel*>("Image1");
        QVERIFY(picture);
        QCOMPARE(picture->geometry(), QRect(0, 0, 254, 254));
        QCOMPARE(picture->pixmap().size(), QSize(254, 254));
    }

    void screenshots_of_every_page() {
        QTemporaryDir dir;
        window->show();
        QString error;
        const QStringList files = zyvora_app::save_screenshots(*window, dir.path(), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(files.size(), 50);
        QCOMPARE(QFileInfo(files.first()).fileName(), QString("01-TabSheet_radio.png"));
        QCOMPARE(QFileInfo(files[2]).fileName(), QString("03-TabSheet_common_settings.png"));
        QCOMPARE(QFileInfo(files[42]).fileName(), QString("43-TabSheet_voltage_measurement.png"));
        QCOMPARE(QImage(files[42]).size(), QSize(800, 428));
        QCOMPARE(QFileInfo(files[43]).fileName(), QString("44-TForm2.png"));
        QCOMPARE(QFileInfo(files[44]).fileName(), QString("45-TForm4.png"));
        // Then the focus on the page tabs, on sub-page tabs of both kinds, on the link and on the log.
        QStringList focused;
        for (const QString& file : files.mid(45)) focused << QFileInfo(file).fileName();
        QCOMPARE(focused, QStringList({"46-PageControl1.png", "47-qt_tabwidget_tabbar.png", "48-qt_tabwidget_tabbar.png",
                                       "49-TabSheet_aprsis_server_note.png", "50-Memo1.png"}));
        QCOMPARE(child<MultiRowTabWidget>(*window, "PageControl1")->currentIndex(), 0);
    }

private:
    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
