// zyvora-configurator: the Zyvora Plus 2.0 Configurator window.
#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>

#include "device_flows.h"
#include "firmware_embedded.h"
#include "files.h"
#include "firmware.h"
#include "hid.h"
#include "image.h"
#include "main_window.h"
#include "palettes.h"
#include "registry.h"
#include "screenshots.h"
#include "simulated_device.h"
#include "splash.h"
#include "texts.h"

namespace {

using namespace zyvora_app;

constexpr int kSplashMilliseconds = 1500;

bool set(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// Without a display Qt's default platform aborts the program; say so plainly instead.
bool display_available(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    }
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
    (void)argc;
    (void)argv;
    return true;
#endif
}

// A reply later than the device's reply limit is no reply, so a longer latency is no device.
constexpr long kMaxLatencyUs = zyvora::kReplyTimeoutMs * 1000L;

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(application_title());
    parser.addHelpOption();
    // -V as the command line program has it; -v would be --verbose there, and the window has none.
    parser.addOption({{QStringLiteral("V"), QStringLiteral("version")}, QStringLiteral("Displays version information.")});
    parser.addOption({QStringLiteral("no-splash"), QStringLiteral("Start without the splash window and its wait.")});
    parser.addOption({QStringLiteral("simulate"),
                      QStringLiteral("Talk to a simulated device instead of one on USB; as --simulate=FILE its "
                                     "EEPROM is kept in FILE between runs.")});
    parser.addOption({QStringLiteral("sim-latency-us"),
                      QStringLiteral("Simulated device: microseconds before each reply, at most %1 (the reply limit).")
                          .arg(kMaxLatencyUs),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("firmware"),
                      zyvora::embedded_firmware()
                          ? QStringLiteral("Upload the firmware in FILE instead of the one built in.")
                          : QStringLiteral("Upload the firmware in FILE; this build carries none."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("screenshots"),
                      QStringLiteral("Save a picture of the window with each page current into DIR, then exit."),
                      QStringLiteral("DIR")});
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A settings file to read once the window shows, as \"Read from file\" "
                                                "reads it."),
                                 QStringLiteral("[FILE]"));
}

void name_application() {
    QCoreApplication::setApplicationName(application_title());
    QCoreApplication::setApplicationVersion(
        QString::fromLatin1(zyvora::kVersionTag.data(), static_cast<qsizetype>(zyvora::kVersionTag.size())));
}

void name_window_application() {
    name_application();
    // The installed icon and menu entry name the window to the desktop; the splash picture stands
    // in for the icon when run from the build folder.
    QGuiApplication::setDesktopFileName(QStringLiteral("zyvora-configurator"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("zyvora-configurator"), QIcon(splash_picture())));
}

// "--simulate" may carry its file after "=", which the parser cannot express: it is taken out of
// the arguments first.
struct Simulation {
    bool wanted = false;
    QString eeprom_file;
    long latency_us = 0;
};

Simulation take_simulation(QStringList& arguments) {
    Simulation simulation;
    for (auto it = arguments.begin() + 1; it != arguments.end();) {
        if (*it == u"--simulate") {
            simulation.wanted = true;
        } else if (it->startsWith(u"--simulate=")) {
            simulation.wanted = true;
            simulation.eeprom_file = it->mid(11);
        } else {
            ++it;
            continue;
        }
        it = arguments.erase(it);
    }
    return simulation;
}

// The device the window talks to: the simulated one, living as long as the window, when asked.
std::unique_ptr<zyvora::SimulatedDevice> make_simulated_device(const Simulation& simulation) {
    zyvora::SimOptions options;
    options.factory_image = zyvora::factory_image(zyvora::Registry::instance());
    if (!simulation.eeprom_file.isEmpty()) options.eeprom_file = simulation.eeprom_file.toStdString();
    options.reply_latency = std::chrono::microseconds(simulation.latency_us);
    std::string error;
    auto device = zyvora::SimulatedDevice::create(std::move(options), &error);
    if (!device) std::cerr << "The simulated device cannot start: " << error << '\n';
    return device;
}

void attach_device(TForm1& window, const QCommandLineParser& parser, zyvora::SimulatedDevice* device) {
    if (device) window.set_device_port(std::make_unique<zyvora::SimulatedPort>(*device));
    if (parser.isSet(QStringLiteral("firmware"))) {
        window.set_firmware_file(parser.value(QStringLiteral("firmware")));
    }
}

// Reads the command line; --help and --version print and end the program there, and a command
// line in error ends it with status 2, as the command line program's usage errors do. nullopt:
// go on.
std::optional<int> read_command_line(QCommandLineParser& parser, const QStringList& arguments) {
    describe(parser);
    if (!parser.parse(arguments)) {
        std::cerr << QCoreApplication::applicationName().toStdString() << ": " << parser.errorText().toStdString()
                  << '\n';
        return 2;
    }
    parser.process(arguments);  // --help and --help-all
    if (parser.isSet(QStringLiteral("version"))) {
        std::cout << QCoreApplication::applicationName().toStdString() << ' '
                  << QCoreApplication::applicationVersion().toStdString() << '\n';
        return 0;
    }
    return std::nullopt;
}

// While pictures are taken nobody answers a box: what the settings file's read shows goes to
// standard error, and a question is answered No.
BoxPresenter boxes_to_standard_error() {
    return [](BoxKind kind, const QString& text, const QString&) {
        // A notice repeats what the status log says, which a picture run does not show either.
        if (kind == BoxKind::Notice) return true;
        std::cerr << text.toStdString() << '\n';
        return false;
    };
}

// Without a display the command line is still read: --help and --version print and end the program
// there, as does a command line in error; anything else needs the window.
int without_display(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    name_application();
    QStringList arguments = app.arguments();
    take_simulation(arguments);
    QCommandLineParser parser;
    if (const auto ended = read_command_line(parser, arguments)) return *ended;
    std::cerr << "No display available: the window cannot be shown.\n";
    return 3;
}

int run(QApplication& app) {
    QStringList arguments = app.arguments();
    Simulation simulation = take_simulation(arguments);
    QCommandLineParser parser;
    if (const auto ended = read_command_line(parser, arguments)) return *ended;
    if (parser.isSet(QStringLiteral("sim-latency-us"))) {
        const QString text = parser.value(QStringLiteral("sim-latency-us"));
        bool number = false;
        const long latency = text.toLong(&number);
        if (!number || latency < 0 || latency > kMaxLatencyUs) {
            std::cerr << "--sim-latency-us: Value " << zyvora::printable(text.toStdString()) << " not in range 0 to "
                      << kMaxLatencyUs << '\n';
            return 2;
        }
        simulation.latency_us = latency;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::cerr << "Only one settings file can be given.\n";
        return 2;
    }

    std::unique_ptr<zyvora::SimulatedDevice> device;  // outlives the window and its port
    if (simulation.wanted) {
        device = make_simulated_device(simulation);
        if (!device) return 2;
    }

    if (parser.isSet(QStringLiteral("screenshots"))) {
        TForm1 window(PageBuilding::when_shown);
        attach_device(window, parser, device.get());
        window.show();
        if (!files.isEmpty()) {
            window.set_box_presenter(boxes_to_standard_error());
            if (!window.open_file(files.first())) return 1;
        }
        QString error;
        save_screenshots(window, parser.value(QStringLiteral("screenshots")), &error);
        if (!error.isEmpty()) {
            std::cerr << error.toStdString() << '\n';
            return 1;
        }
        return 0;
    }

    const bool splash_wanted = !parser.isSet(QStringLiteral("no-splash"));
    std::unique_ptr<TSplashScreen> splash;
    if (splash_wanted) {
        splash = std::make_unique<TSplashScreen>();
        splash->show();
        splash->repaint();
        QCoreApplication::processEvents();
    }

    // Only the page shown first is built before the window shows.
    TForm1 window(PageBuilding::when_shown);
    attach_device(window, parser, device.get());
    if (splash) {
        // Paint the splash while it waits, but let no input reach any window yet.
        QEventLoop wait;
        QTimer::singleShot(kSplashMilliseconds, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        splash.reset();
    }
    centre_on_screen(&window);
    window.show();
    // Keys and a screen reader's focus reach it at once, also where no window manager hands out the focus.
    window.activateWindow();
    // Read once the window is on the screen, so that the read's boxes stand over it.
    if (!files.isEmpty()) QTimer::singleShot(0, &window, [&window, file = files.first()] { window.open_file(file); });
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (!display_available(argc, argv)) return without_display(argc, argv);
    zyvora::install_signal_cleanup();
    QApplication app(argc, argv);
    name_window_application();
    apply_palette_from_environment();
    try {
        return run(app);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, application_title(), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, application_title(), QStringLiteral("Unknown error."));
    }
    return 1;
}
