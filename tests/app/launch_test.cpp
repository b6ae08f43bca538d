// The zyvora-configurator program as scripts start it.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class LaunchTest : public QObject {
    Q_OBJECT

private slots:
    void without_a_display_it_says_so_and_ends() {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        program.setProcessEnvironment(env);
        program.start(ZYVORA_CONFIGURATOR, {});
        QVERIFY(program.waitForFinished());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 3);
        QCOMPARE(program.readAllStandardError(), QByteArray("No display available: the window cannot be shown.\n"));
    }

    void screenshots_of_every_page_into_a_folder() {
        QTemporaryDir dir;
        const QString shots = dir.filePath("shots");
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(ZYVORA_CONFIGURATOR, {"--screenshots", shots});
        QVERIFY(program.waitForFinished());
        QCOMPARE(program.exitCode(), 0);
        const QStringList files = QDir(shots).entryList({"*.png"}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 45);
        QCOMPARE(files.first(), QString("01-TabSheet_radio.png"));
        QCOMPARE(files.last(), QString("45-TForm4.png"));
    }

    void a_simulated_eeprom_file_that_cannot_be_loaded_ends_the_start() {
        QTemporaryDir dir;
        const QString eeprom = dir.filePath("eeprom.bin");
        QFile file(eeprom);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, '\0'));
        file.close();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(ZYVORA_CONFIGURATOR, {"--no-splash", "--simulate=" + eeprom});
        QVERIFY(program.waitForFinished());
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains(
            ("The simulated device cannot start: EEPROM file " + eeprom + ": holds 100 bytes").toUtf8()));
    }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "launch_test.moc"
