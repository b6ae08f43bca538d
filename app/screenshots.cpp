#include "screenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTabBar>
#include <QTabWidget>

#include "filter_window.h"
#include "help_window.h"
#include "main_window.h"
#include "multi_row_tabs.h"
#include "pages.h"
#include "required_child.h"

namespace zyvora_app {

namespace {

struct Shooter {
    TForm1& window;
    QDir dir;
    QStringList written;
    QString* error;

    bool shoot(QWidget* page, QWidget* shown = nullptr) {
        QCoreApplication::processEvents();
        const QString file = dir.filePath(QStringLiteral("%1-%2.png").arg(written.size() + 1, 2, 10, QChar(u'0')).arg(page->objectName()));
        if (!(shown ? shown : &window)->grab().save(file)) {
            if (error) *error = QStringLiteral("Unable to write to %1").arg(file);
            return false;
        }
        written << file;
        return true;
    }

    template <class Tabs>
    bool walk(Tabs* tabs) {
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QWidget* page = tabs->widget(i);
            if (!shoot(page)) return false;
            if (QTabWidget* inner = sub_tabs(page)) {
                if (!walk(inner)) return false;
                inner->setCurrentIndex(0);
            }
        }
        return true;
    }
};

}  // namespace

QStringList save_screenshots(TForm1& window, const QString& dir, QString* error) {
    if (!QDir().mkpath(dir)) {
        if (error) *error = QStringLiteral("Unable to write to %1").arg(dir);
        return {};
    }
    auto* pages = required_child<MultiRowTabWidget>(window, QStringLiteral("PageControl1"));
    Shooter shooter{window, QDir(dir), {}, error};
    // The pages, then the help and filter windows on their own, then the focus as Tab leaves it
    // on the page tabs, on sub-page tabs of both kinds, on the link and on the status log.
    if (shooter.walk(pages) && shooter.shoot(&window.help_window(), &window.help_window()) &&
        shooter.shoot(&window.filter_window(), &window.filter_window())) {
        window.activateWindow();
        QCoreApplication::processEvents();
        const auto focused = [&](const char* page, QWidget* widget) {
            pages->setCurrentWidget(required_child<QWidget>(window, QString::fromLatin1(page)));
            widget->setFocus(Qt::TabFocusReason);
            return shooter.shoot(widget);
        };
        QLabel* link = nullptr;
        for (QLabel* label :
             required_child<QWidget>(window, QStringLiteral("TabSheet_aprsis_server"))->findChildren<QLabel*>()) {
            if (label->openExternalLinks()) link = label;
        }
        const bool shot =
            focused("TabSheet_radio", pages) &&
            focused("TabSheet_digipeater",
                    required_child<QTabWidget>(window, QStringLiteral("PageControl3"))->tabBar()) &&
            focused("TabSheet_aprsis_gateway",
                    required_child<QTabWidget>(window, QStringLiteral("PageControl_aprsis_gateway"))->tabBar()) &&
            (!link || focused("TabSheet_aprsis_gateway", link));
        if (shot) focused("TabSheet_radio", required_child<QWidget>(window, QStringLiteral("Memo1")));
    }
    pages->setCurrentIndex(0);
    return shooter.written;
}

}  // namespace zyvora_app
