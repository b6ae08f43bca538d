// The latitude and longitude edits take a position as people write or paste it: converted to the
// field's format when the edit is left, a pair filling both edits of the point, with a log line
// for each conversion; and the "Position" dialog, from the context menu or Ctrl+L, fills both.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "main_window.h"
#include "recorder.h"

using zyvora_app::TForm1;

class PositionEntryTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        recorder = std::make_unique<Recorder>();
        window = shown_window(*recorder);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() {
        window.reset();
        recorder.reset();
    }

    // Typed or pasted, then the edit left (Return): what the fields hold and what the log says.
    void a_position_is_converted_when_the_edit_is_left_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("latitude");
        QTest::addColumn<QString>("longitude");
        QTest::addColumn<QString>("logged");
        QTest::newRow("pasted pair") << "Latitude" << "52.3847, 16.9245" << true << "5223.08N" << "01655.47E"
                                     << "Latitude: 52.3847, 16.9245 (decimal degrees) -> 5223.08N, 01655.47E";
        QTest::newRow("pair typed into longitude")
            << "Longitude" << "33.8688 S, 151.2093" << false << "3352.13S" << "15112.56E"
            << "Longitude: 33.8688 S, 151.2093 (decimal degrees) -> 3352.13S, 15112.56E";
        QTest::newRow("degrees, minutes and seconds")
            << "Latitude" << "52\u00b023'05\"N" << false << "5223.08N" << "01658.14E"
            << "Latitude: 52\u00b023'05\"N (degrees, minutes and seconds) -> 5223.08N";
        QTest::newRow("decimal degrees") << "Longitude" << "-16.9245" << false << "5223.08N" << "01655.47W"
                                         << "Longitude: -16.9245 (decimal degrees) -> 01655.47W";
        // The field's own format, and what is no position, stay as typed, unlogged.
        QTest::newRow("own format") << "Latitude" << "5230.00N" << false << "5230.00N" << "01658.14E" << "";
        QTest::newRow("no position") << "Latitude" << "hill" << false << "hill" << "01658.14E" << "";
    }
    void a_position_is_converted_when_the_edit_is_left() {
        QFETCH(QString, edit);
        QFETCH(QString, text);
        QFETCH(bool, paste);
        QFETCH(QString, latitude);
        QFETCH(QString, longitude);
        QFETCH(QString, logged);
        auto* field = child<QLineEdit>(*window, qPrintable(edit));
        const QStringList before = log_lines();
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        if (paste) {
            QApplication::clipboard()->setText(text);
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        } else {
            type_text(field, text);
        }
        QCOMPARE(field->text(), text);  // whole, though longer than the field's format
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(child<QLineEdit>(*window, "Latitude")->text(), latitude);
        QCOMPARE(child<QLineEdit>(*window, "Longitude")->text(), longitude);
        QCOMPARE(log_lines(), logged.isEmpty() ? before : before + QStringList{logged});
    }

    // Leaving the edit by the focus moving on converts too.
    void leaving_by_the_focus_converts() {
        auto* latitude = child<QLineEdit>(*window, "Latitude");
        latitude->setFocus();
        QTest::keyClick(latitude, Qt::Key_A, Qt::ControlModifier);
        type_text(latitude, "52 30 N");
        child<QLineEdit>(*window, "Callsign")->setFocus();
        QCOMPARE(latitude->text(), QString("5230.00N"));
        QCOMPARE(log_lines().last(), QString("Latitude: 52 30 N (degrees and minutes) -> 5230.00N"));
    }

    // An area filter's point fills its own pair, not the station's.
    void an_area_point_fills_its_own_pair() {
        auto* latitude = child<QLineEdit>(*window, "Area_rad1_latitude");
        QTest::keyClick(latitude, Qt::Key_A, Qt::ControlModifier);
        type_text(latitude, "52.5 N 17.25 E");
        QTest::keyClick(latitude, Qt::Key_Return);
        QCOMPARE(latitude->text(), QString("5230.00N"));
        QCOMPARE(child<QLineEdit>(*window, "Area_rad1_longitude")->text(), QString("01715.00E"));
        QCOMPARE(child<QLineEdit>(*window, "Latitude")->text(), QString("5223.08N"));
        QCOMPARE(log_lines().last(),
                 QString("Area RAD1 latitude: 52.5 N 17.25 E (decimal degrees) -> 5230.00N, 01715.00E"));
    }

    // The dialog, from Ctrl+L or the edit's own context menu, fills both edits of the point.
    void the_position_dialog_fills_both_fields_data() {
        QTest::addColumn<bool>("menu");
        QTest::newRow("Ctrl+L") << false;
        QTest::newRow("context menu") << true;
    }
    void the_position_dialog_fills_both_fields() {
        QFETCH(bool, menu);
        auto* field = child<QLineEdit>(*window, "Longitude");
        field->setFocus();
        if (menu) {
            emit field->customContextMenuRequested(QPoint(2, 2));
            auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(shown);
            const QList<QAction*> actions = shown->actions();
            QCOMPARE(actions.last()->text(), QString("Position..."));
            QVERIFY(actions.size() > 3);  // the standard actions stay: undo, copy, paste and the rest
            actions.last()->trigger();
            shown->close();
        } else {
            QTest::keyClick(field, Qt::Key_L, Qt::ControlModifier);
        }
        auto* dialog = window->findChild<QDialog*>("PositionDialog");
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QString("Position"));
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        auto* text = dialog->findChild<QLineEdit*>("PositionText");
        auto* reading = dialog->findChild<QLabel*>("PositionReading");
        QVERIFY(!ok->isEnabled());
        QCOMPARE(reading->text(), QString("Not a position."));
        type_text(text, "JO82kj");
        QCOMPARE(reading->text(), QString("5223.75N, 01652.50E (a Maidenhead locator)"));
        QVERIFY(ok->isEnabled());
        ok->click();
        QCOMPARE(child<QLineEdit>(*window, "Latitude")->text(), QString("5223.75N"));
        QCOMPARE(field->text(), QString("01652.50E"));
        QCOMPARE(log_lines().last(), QString("Longitude: JO82kj (a Maidenhead locator) -> 5223.75N, 01652.50E"));
    }

private:
    // The log shows what was logged once the window takes its events.
    QStringList log_lines() {
        QCoreApplication::processEvents();
        const QString text = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }

    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<TForm1> window;
};

QTEST_MAIN(PositionEntryTest)
#include "position_entry_test.moc"
