// zyvora-configurator: the Zyvora Plus 2.0 Configurator window.
#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>

#include "image.h"
#include "main_window.h"
#include "screenshots.h"
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

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(application_title());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("no-splash"), QStringLiteral("Start without the splash window and its wait.")});
    parser.addOption({QStringLiteral("screenshots"),
                      QStringLiteral("Save a picture of the window with each page current into DIR, then exit."),
                      QStringLiteral("DIR")});
}

void name_application() {
    QCoreApplication::setApplicationName(application_title());
    QCoreApplication::setApplicationVersion(
        QString::fromLatin1(zyvora::kVersionTag.data(), static_cast<qsizetype>(zyvora::kVersionTag.size())));
}

int run(QApplication& app) {
    QCommandLineParser parser;
    describe(parser);
    parser.process(app);

    if (parser.isSet(QStringLiteral("screenshots"))) {
        TForm1 window;
        window.show();
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

    TForm1 window;
    if (splash) {
        // Paint the splash while it waits, but let no input reach any window yet.
        QEventLoop wait;
        QTimer::singleShot(kSplashMilliseconds, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        splash.reset();
    }
    centre_on_screen(&window);
    window.show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (!display_available(argc, argv)) {
        std::cerr << "No display available: the window cannot be shown.\n";
        return 3;
    }
    QApplication app(argc, argv);
    name_application();
    try {
        return run(app);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, application_title(), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, application_title(), QStringLiteral("Unknown error."));
    }
    return 1;
}
