// Ctrl+P prints the station sheet through Qt's printing: here into a PDF file, as the print
// dialog's "Print to File" would, with the dialog's place taken by the test.
#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "main_window.h"
#include "recorder.h"

using zyvora_app::TForm1;

class PrintSheetTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        recorder = std::make_unique<Recorder>();
        window = shown_window(*recorder);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    void ctrl_p_prints_the_sheet_into_a_pdf() {
        QTemporaryDir folder;
        const QString pdf = folder.filePath(QStringLiteral("sheet.pdf"));
        int asked = 0;
        window->set_print_asker([&](QPrinter& printer) {
            ++asked;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        const QSize size = window->size();
        QTest::keySequence(window.get(), QKeySequence::Print);
        QCOMPARE(asked, 1);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(5), QByteArray("%PDF-"));
        QVERIFY(file.size() > 10000);  // pages of tables, not an empty page
        QCoreApplication::processEvents();  // the status log shows its lines once the window takes its events
        QVERIFY(child<QPlainTextEdit>(*window, "Memo1")->toPlainText().endsWith(QStringLiteral("Station sheet printed.")));
        // The key lives on the window: no menu bar, the layout as it was.
        QCOMPARE(window->size(), size);
        QVERIFY(!window->findChild<QMenuBar*>());
        auto* action = window->findChild<QAction*>(QStringLiteral("ActionPrintSheet"));
        QVERIFY(action);
        QCOMPARE(action->shortcut(), QKeySequence(QKeySequence::Print));
    }

    void a_cancelled_dialog_prints_nothing() {
        QTemporaryDir folder;
        const QString pdf = folder.filePath(QStringLiteral("sheet.pdf"));
        window->set_print_asker([&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return false;
        });
        QTest::keySequence(window.get(), QKeySequence::Print);
        QVERIFY(!QFile::exists(pdf));
        QCoreApplication::processEvents();
        QVERIFY(!child<QPlainTextEdit>(*window, "Memo1")->toPlainText().contains(QStringLiteral("Station sheet printed.")));
    }

private:
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<TForm1> window;
};

QTEST_MAIN(PrintSheetTest)
#include "print_sheet_test.moc"
