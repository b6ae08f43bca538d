// After "Build remote update file": the offer to send the file, the address it proposes, and the
// transfer to a TFTP server of the test's own.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>

#include "../support/tftp_peer.h"
#include "../support/tftp_server.h"
#include "main_window.h"
#include "recorder.h"
#include "send_dialog.h"

using zyvora_app::BoxKind;
using zyvora_app::TForm1;

namespace {

QByteArray file_bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

}  // namespace

class SendUpdateTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (zyvora::test::tftpd_program().empty()) QSKIP("in.tftpd (tftpd-hpa) is not installed");
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        const QString firmware = dir->filePath("firmware.bin");
        QFile out(firmware);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(stand_in_firmware(64));
        out.close();
        show_recorded(window, recorder);
        window->set_firmware(zyvora::FirmwareStore::from_file(firmware.toStdString()));
        file = dir->filePath("zyvoraplus20.ruf");
    }
    void cleanup() { window.reset(); }

    // A device with a static address: that address is proposed, the file sent as built, and the
    // address given remembered for the file.
    void the_devices_address_is_proposed_and_the_file_sent() {
        zyvora::test::TftpServer server;
        QVERIFY(server.running());
        set_static_address({"127", "0", "0", "01"});
        const QString address = QString::fromStdString(server.address());
        recorder->send_answers << address;
        build();
        QCOMPARE(recorder->send_offers, QList<QString>{"127.0.0.1"});
        QCOMPARE(recorder->boxes,
                 only(BoxKind::Information, "zyvoraplus20.ruf was sent to the device at " + address + "."));
        QCOMPARE(file_bytes(QString::fromStdString(server.file("zyvoraplus20.ruf"))), file_bytes(file));
        const QString log = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
        QVERIFY2(log.endsWith("Sent block 34/34, 16960/16960 bytes\nSent 16960 bytes in 34 blocks."), qPrintable(log));

        recorder->boxes.clear();
        build();
        QCOMPARE(recorder->send_offers, (QList<QString>{"127.0.0.1", address}));
        QVERIFY(recorder->boxes.isEmpty());  // not sent again
    }

    void a_device_on_dhcp_proposes_no_address() {
        zyvora::test::TftpServer server;
        QVERIFY(server.running());
        QCOMPARE(window->store().index("Netconfig"), 1);  // DHCP, as a new device has it
        build();
        QCOMPARE(recorder->send_offers, QList<QString>{""});
        QVERIFY(recorder->boxes.isEmpty());
        QVERIFY(server.files().empty());
    }

    void a_refusal_and_a_bad_address_are_shown() {
        zyvora::test::TftpServer server(false);
        QVERIFY(server.running());
        const QString address = QString::fromStdString(server.address());
        recorder->send_answers << "127.0.0.1:99999" << address;
        build();
        QCOMPARE(recorder->send_offers, (QList<QString>{"", "127.0.0.1:99999"}));
        QCOMPARE(recorder->boxes,
                 (QList<Box>{{BoxKind::Error, "bad port '99999' in '127.0.0.1:99999': expected a number from 1 to 65535"},
                             {BoxKind::Error, "Sending zyvoraplus20.ruf to the device at " + address +
                                                  " failed: the device refused the file: File not found"}}));
        QVERIFY(server.files().empty());
    }

    // The window's Send takes data from the device for no acknowledgement, and shows none of it.
    void a_device_that_answers_with_data_is_no_send() {
        zyvora::test::TftpPeer peer(zyvora::test::TftpPeer::Kind::answers_with_data);
        QVERIFY(peer.running());
        const QString address = QString::fromStdString(peer.address());
        recorder->send_answers << address;
        build();
        QCOMPARE(recorder->boxes, only(BoxKind::Error, "Sending zyvoraplus20.ruf to the device at " + address +
                                                           " failed: the device answered with data instead of "
                                                           "acknowledgements"));
        const QString log = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
        QVERIFY2(!log.contains("PEERDATA"), qPrintable(log.left(300)));
    }

    // A close during the send waits for it: its outcome shows while the window still stands, and
    // then the window goes, so the program ends rather than living on behind a lone box.
    void closing_during_a_send_shows_the_outcome_then_closes() {
        zyvora::test::TftpServer server;
        QVERIFY(server.running());
        const QString address = QString::fromStdString(server.address());
        recorder->send_answers << address;
        QList<bool> shown_with_window;
        window->set_box_presenter([&](BoxKind kind, const QString& text, const QString& caption) {
            shown_with_window << window->isVisible();
            recorder->boxes << Box{kind, text, caption};
            return false;
        });
        // The first events the window takes once the file is built are those of the send.
        QTimer::singleShot(0, window.get(), [this] { window->close(); });
        build();
        QCOMPARE(recorder->boxes,
                 (QList<Box>{{BoxKind::Notice,
                              "The remote update file is being sent to the device. Closing now would stop the "
                              "transfer half way.\nThe window closes when the transfer ends."},
                             {BoxKind::Information, "zyvoraplus20.ruf was sent to the device at " + address + "."}}));
        QCOMPARE(shown_with_window, (QList<bool>{true, true}));
        // No window is left to keep the event loop running.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); }));
    }

    // Stop during a send ends it at once, without a question: the device keeps its firmware until
    // a whole file has come.
    void stop_during_a_send_ends_it_at_once() {
        zyvora::test::TftpPeer peer(zyvora::test::TftpPeer::Kind::silent);
        QVERIFY(peer.running());
        const QString address = QString::fromStdString(peer.address());
        recorder->send_answers << address;
        auto* log = child<QPlainTextEdit>(*window, "Memo1");
        auto* stop = child<QPushButton>(*window, "ButtonStop");
        bool visible = false;
        connect(log, &QPlainTextEdit::textChanged, this, [&] {
            if (!log->toPlainText().contains("Sending ") || !stop->isEnabled() || !stop->isVisible()) return;
            visible = true;
            QTest::keyClick(window.get(), Qt::Key_Escape);
        });
        build();
        QVERIFY(visible);
        QCOMPARE(recorder->boxes, only(BoxKind::Error, "Sending zyvoraplus20.ruf to the device at " + address +
                                                           " failed: stopped by the user; the device may hold part "
                                                           "of the file"));
        QVERIFY(!stop->isVisible());
        QVERIFY(log->toPlainText().endsWith("Sending failed: stopped by the user; the device may hold part of the file"));
    }

    // The dialog itself: the proposed address in its field, Send only with an address.
    void the_send_dialog() {
        QString seen;
        bool send_enabled = false;
        answer_dialog([&](QWidget* dialog) {
            auto* field = child<QLineEdit>(*dialog, "SendUpdateAddress");
            seen = field->text();
            field->setText("10.0.0.7:1069");
            send_enabled = child<QPushButton>(*dialog, "SendUpdateSend")->isEnabled();
            QTest::mouseClick(child<QPushButton>(*dialog, "SendUpdateSend"), Qt::LeftButton);
        });
        QCOMPARE(zyvora_app::ask_send_in_dialog(window.get(), file, "192.168.2.2"), std::optional<QString>("10.0.0.7:1069"));
        QCOMPARE(seen, QString("192.168.2.2"));
        QVERIFY(send_enabled);

        answer_dialog([&](QWidget* dialog) {
            send_enabled = child<QPushButton>(*dialog, "SendUpdateSend")->isEnabled();
            QTest::mouseClick(child<QPushButton>(*dialog, "SendUpdateNotNow"), Qt::LeftButton);
        });
        QCOMPARE(zyvora_app::ask_send_in_dialog(window.get(), file, ""), std::nullopt);
        QVERIFY(!send_enabled);
    }

private:
    void set_static_address(const QStringList& octets) {
        window->store().set_index("Netconfig", 0);
        for (int i = 0; i < 4; ++i) window->store().set_text("Ipaddr" + std::to_string(i), octets[i].toStdString());
    }
    void build() {
        recorder->answers << file;
        QTest::mouseClick(child<QPushButton>(*window, "Button12"), Qt::LeftButton);
    }
    // Once the modal dialog shows, `act` gets it.
    template <typename Act>
    void answer_dialog(Act act) {
        QTimer::singleShot(0, this, [act] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            QCOMPARE(dialog->objectName(), QString("SendUpdateDialog"));
            act(dialog);
        });
    }

    std::unique_ptr<TForm1> window;
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<QTemporaryDir> dir;
    QString file;
};

QTEST_MAIN(SendUpdateTest)
#include "send_update_test.moc"
