#pragma once
// Takes the place of the window's modal boxes and file dialogs: boxes are recorded, questions
// and dialogs are answered with the replies and names a test queues.
#include <QDir>
#include <QLineEdit>
#include <QList>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QtTest>
#include <QStandardPaths>
#include <QString>
#include <memory>
#include <utility>

#include "box_presenter.h"
#include "main_window.h"

// Where a file dialog starts when nothing is beside the test program (as for an installed copy)
// and no folder was chosen before: the documents folder, or home where there is none.
inline QString documents_or_home() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return (QDir(documents).exists() ? documents : QDir::homePath()) + u'/';
}

struct Box {
    zyvora_app::BoxKind kind;
    QString text;
    QString caption = {};  // empty: the application's title
    bool operator==(const Box&) const = default;
};

inline char* describe(zyvora_app::BoxKind kind) {
    switch (kind) {
        case zyvora_app::BoxKind::Information: return qstrdup("Information");
        case zyvora_app::BoxKind::Message: return qstrdup("Message");
        case zyvora_app::BoxKind::Error: return qstrdup("Error");
        case zyvora_app::BoxKind::Question: return qstrdup("Question");
        case zyvora_app::BoxKind::Notice: return qstrdup("Notice");
    }
    return qstrdup("?");
}

// Found by QCOMPARE through argument-dependent lookup.
inline char* toString(const Box& box) {
    char* kind = describe(box.kind);
    const QString caption = box.caption.isEmpty() ? QString() : " [" + box.caption + "]";
    char* text = qstrdup(
        QStringLiteral("%1%2: \"%3\"").arg(QString::fromLatin1(kind), caption, box.text).toUtf8().constData());
    delete[] kind;
    return text;
}

// The single box a step is expected to show.
inline QList<Box> only(zyvora_app::BoxKind kind, const QString& text) { return {Box{kind, text, {}}}; }

struct Recorder {
    QList<Box> boxes;
    QList<zyvora_app::FileDialogDecl> dialogs;  // every dialog shown, in order
    QList<QString> answers;                     // the names to answer them with; none left: cancel
    QList<bool> replies;                        // the answers to question boxes (Yes: true); none left: No
    QList<QString> changes_questions;           // asked before a close with unsaved changes
    QList<QMessageBox::StandardButton> changes_answers;  // none left: Discard
    QList<QString> send_offers;   // the address each offer to send an update file proposed
    QList<QString> send_answers;  // the addresses to answer them with; none left: Not now

    zyvora_app::BoxPresenter presenter() {
        return [this](zyvora_app::BoxKind kind, const QString& text, const QString& caption) {
            boxes.append({kind, text, caption});
            if (kind != zyvora_app::BoxKind::Question) return true;
            return !replies.isEmpty() && replies.takeFirst();
        };
    }
    zyvora_app::FileAsker asker() {
        return [this](const zyvora_app::FileDialogDecl& dialog) {
            dialogs.append(dialog);
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
    }
    void attach(zyvora_app::TForm1& window) {
        window.set_box_presenter(presenter());
        window.set_file_asker(asker());
        window.set_send_asker([this](const QString&, const QString& proposed) -> std::optional<QString> {
            send_offers.append(proposed);
            if (send_answers.isEmpty()) return std::nullopt;
            return send_answers.takeFirst();
        });
        window.set_changes_asker([this](const QString& text) {
            changes_questions.append(text);
            return changes_answers.isEmpty() ? QMessageBox::Discard : changes_answers.takeFirst();
        });
    }
};

// A new window, shown, whose boxes and dialogs a new `recorder` takes and whose device is `port`
// (none: the window's own, the USB device).
inline void show_recorded(std::unique_ptr<zyvora_app::TForm1>& window, std::unique_ptr<Recorder>& recorder,
                          std::unique_ptr<zyvora::DevicePort> port = nullptr) {
    window = std::make_unique<zyvora_app::TForm1>();
    recorder = std::make_unique<Recorder>();
    recorder->attach(*window);
    window->set_device_port(std::move(port));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

// A stand-in firmware image, never a real one: bytes 1, 2, 3, ... (so that each page shows where
// it came from), of every value, as an enciphered image holds.
inline QByteArray stand_in_firmware(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i + 1);
    return bytes;
}

// The status log without its last line, and that line, which tells how the last operation ended.
inline std::pair<QString, QString> log_and_outcome(QWidget& window) {
    const QString text = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
    const qsizetype last = text.lastIndexOf(u'\n');
    return {last < 0 ? QString() : text.left(last), text.mid(last + 1)};
}

// Types like a user would, also characters that have no key of their own.
inline void type_text(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80) QTest::keyClick(widget, c.toLatin1());
        else QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Replaces a text field's text as a user would: all selected, then typed over.
inline void retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    type_text(edit, text);
}

template <typename T>
T* child(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// The window of the real settings, its boxes and dialogs going to `recorder`, shown; the caller
// waits for it to become the active window when keys are to reach it.
inline std::unique_ptr<zyvora_app::TForm1> shown_window(Recorder& recorder) {
    auto window = std::make_unique<zyvora_app::TForm1>();
    recorder.attach(*window);
    window->show();
    window->activateWindow();
    return window;
}
