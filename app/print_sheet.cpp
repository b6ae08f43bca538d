// Ctrl+P: the station sheet, the same page `zyvora-cli report` writes, printed through Qt.
#include <QAction>
#include <QFileInfo>
#include <QKeySequence>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

#include "main_window.h"
#include "settings_source.h"
#include "station_sheet.h"
#include "window_feedback.h"

namespace zyvora_app {

void TForm1::add_print_action() {
    auto* print = new QAction(QStringLiteral("Print station sheet"), this);
    print->setObjectName(QStringLiteral("ActionPrintSheet"));
    print->setShortcut(QKeySequence::Print);
    print->setShortcutContext(Qt::WindowShortcut);
    addAction(print);
    connect(print, &QAction::triggered, this, &TForm1::print_sheet);
    ask_print_ = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("Print station sheet"));
        return dialog.exec() == QDialog::Accepted;
    };
}

void TForm1::print_sheet() {
    const auto values = zyvora::file_values(registry_, *store_, *feedback_);
    if (!values) return;
    std::string source = "the window's settings";
    if (!file_.isEmpty()) {
        source = QFileInfo(file_).fileName().toStdString() + (changed_ ? " (changed in the window)" : "");
    }
    const zyvora::SheetFacts facts{{"Source", source}, {"Date", zyvora::sheet_date()}};
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Station sheet"));
    if (!ask_print_(printer)) return;
    QTextDocument sheet;
    sheet.setHtml(QString::fromStdString(zyvora::station_sheet(registry_, *values, facts)));
    sheet.print(&printer);
    feedback_->outcome("Station sheet printed.");
}

}  // namespace zyvora_app
