// The zyvora-configurator program as scripts start it.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class LaunchTest : public QObject {
    Q_OBJECT

private slots:
    // What the command line alone answers needs no display; the window does.
    void without_a_display_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QByteArray>("error");
        const QByteArray help = "Usage: " ZYVORA_CONFIGURATOR " [options] [FILE]\n"
                                "Zyvora Plus 2.0 Configurator\n"
                                "\n"
                                "Options:\n"
                                "  -h, --help            Displays help on commandline options.\n"
                                "  --help-all            Displays help including Qt specific options.\n"
                                "  -V, --version         Displays version information.\n"
                                "  --no-splash           Start without the splash window and its wait.\n"
                                "  --simulate            Talk to a simulated device instead of one on USB; as\n"
                                "                        --simulate=FILE its EEPROM is kept in FILE between runs.\n"
                                "  --sim-latency-us <N>  Simulated device: microseconds before each reply, at\n"
                                "                        most 5000000 (the reply limit).\n"
#if ZYVORA_FIRMWARE_BUILT_IN
                                "  --firmware <FILE>     Upload the firmware in FILE instead of the one built\n"
                                "                        in.\n"
#else
                                // The help says only what is true of the build.
                                "  --firmware <FILE>     Upload the firmware in FILE; this build carries none.\n"
#endif
                                "  --screenshots <DIR>   Save a picture of the window with each page current\n"
                                "                        into DIR, then exit.\n"
                                "\n"
                                "Arguments:\n"
                                "  file                  A settings file to read once the window shows, as \"Read\n"
                                "                        from file\" reads it.\n";
        const QByteArray no_display = "No display available: the window cannot be shown.\n";
        QTest::newRow("window") << QStringList{} << 3 << QByteArray() << no_display;
        QTest::newRow("simulated window") << QStringList{"--no-splash", "--simulate=x.bin"} << 3 << QByteArray()
                                          << no_display;
        QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("Zyvora Plus 2.0 Configurator v1.13\n")
                                 << QByteArray();
        QTest::newRow("version, simulated") << QStringList{"--simulate", "-V"} << 0
                                            << QByteArray("Zyvora Plus 2.0 Configurator v1.13\n") << QByteArray();
        QTest::newRow("help") << QStringList{"--help"} << 0 << help << QByteArray();
        QTest::newRow("help, short") << QStringList{"-h"} << 0 << help << QByteArray();
        // Usage errors end with 2, as the command line program's do; -v is no option of the window.
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QByteArray()
                                        << QByteArray("Zyvora Plus 2.0 Configurator: Unknown option 'bogus'.\n");
        QTest::newRow("-v") << QStringList{"-v"} << 2 << QByteArray()
                            << QByteArray("Zyvora Plus 2.0 Configurator: Unknown option 'v'.\n");
    }

    void without_a_display() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, error);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        program.setProcessEnvironment(env);
        program.start(ZYVORA_CONFIGURATOR, arguments);
        QVERIFY(program.waitForFinished());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        QCOMPARE(program.readAllStandardOutput(), output);
        QCOMPARE(program.readAllStandardError(), error);
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
        QCOMPARE(files.size(), 50);
        QCOMPARE(files.first(), QString("01-TabSheet_radio.png"));
        QCOMPARE(files[44], QString("45-TForm4.png"));
        QCOMPARE(files.last(), QString("50-Memo1.png"));
    }

    // The pictures show the settings of a file given after the folder; one that cannot be read
    // ends the program before any picture.
    void screenshots_of_a_settings_file() {
        QTemporaryDir dir;
        const QString station = dir.filePath("station.cfg");
        QFile file(station);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n[Radio]\nCallsign=DL1ABC\n");
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QTemporaryDir runtime;  // else Qt warns about it on standard error
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        const auto shoot = [&](const QString& folder, const QStringList& files, int status, const QByteArray& error) {
            QProcess program;
            program.setProcessEnvironment(env);
            program.start(ZYVORA_CONFIGURATOR, QStringList{"--screenshots", dir.filePath(folder)} + files);
            QVERIFY(program.waitForFinished());
            QCOMPARE(program.exitCode(), status);
            if (!error.isNull()) QCOMPARE(program.readAllStandardError(), error);
        };
        shoot("defaults", {}, 0, "");
        shoot("station", {station}, 0, "");
        const auto picture = [&](const char* name) {
            QFile png(dir.filePath(name));
            return png.open(QIODevice::ReadOnly) ? png.readAll() : QByteArray();
        };
        QVERIFY(!picture("station/01-TabSheet_radio.png").isEmpty());
        QVERIFY(picture("station/01-TabSheet_radio.png") != picture("defaults/01-TabSheet_radio.png"));

        shoot("missing", {dir.filePath("missing.cfg")}, 1, {});
        QVERIFY(!QDir(dir.filePath("missing")).exists());
        shoot("two", {station, station}, 2, "Only one settings file can be given.\n");
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

    // The CLI's bounds and words; a latency past the reply limit would be no device at all.
    void the_simulated_device_latency_is_bounded_as_the_cli_bounds_it() {
        QTemporaryDir runtime;  // so that Qt has nothing to say of its own
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        const struct {
            QString value;
            QByteArray error;
        } rows[] = {
            {"5000001", "--sim-latency-us: Value 5000001 not in range 0 to 5000000\n"},
            {"-1", "--sim-latency-us: Value -1 not in range 0 to 5000000\n"},
            {"1ms", "--sim-latency-us: Value 1ms not in range 0 to 5000000\n"},
            {"\x1b[31m", "--sim-latency-us: Value \\x1B[31m not in range 0 to 5000000\n"},
        };
        for (const auto& row : rows) {
            QProcess program;
            program.setProcessEnvironment(env);
            program.start(ZYVORA_CONFIGURATOR, {"--no-splash", "--simulate", "--sim-latency-us", row.value});
            QVERIFY(program.waitForFinished());
            QCOMPARE(program.exitCode(), 2);
            QCOMPARE(program.readAllStandardError(), row.error);
        }
    }
};

QTEST_GUILESS_MAIN(LaunchTest)
#include "launch_test.moc"
