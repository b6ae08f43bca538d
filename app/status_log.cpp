#include "status_log.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>
#include <QTextDocumentFragment>
#include <algorithm>

namespace zyvora_app {

StatusLog::StatusLog(QWidget* parent) : QPlainTextEdit(parent), menu_(new QMenu(this)) {
    menu_->setObjectName(QStringLiteral("StatusLogMenu"));
    // Widget shortcuts: Ctrl+C copies the log only while the log has the focus.
    auto* copy = new QAction(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("StatusLogCopy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &StatusLog::copy_to_clipboard);
    auto* save = new QAction(QStringLiteral("&Save log..."), this);
    save->setObjectName(QStringLiteral("StatusLogSave"));
    connect(save, &QAction::triggered, this, [this] {
        if (save_) save_();
    });
    auto* history = new QAction(QStringLiteral("Station &history..."), this);
    history->setObjectName(QStringLiteral("StatusLogHistory"));
    connect(history, &QAction::triggered, this, [this] {
        if (history_) history_();
    });
    addAction(copy);
    addAction(save);
    menu_->addAction(copy);
    menu_->addAction(save);
    menu_->addSeparator();
    menu_->addAction(history);
}

QString StatusLog::text_to_copy() const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) return text_to_save();
    // The document's own paragraph separators become line breaks.
    return cursor.selection().toPlainText();
}

QString StatusLog::text_to_save() const {
    const QString text = toPlainText();
    return text.isEmpty() ? text : text + u'\n';
}

void StatusLog::copy_to_clipboard() { QApplication::clipboard()->setText(text_to_copy()); }

void StatusLog::contextMenuEvent(QContextMenuEvent* event) {
    show_menu(event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : caret_point());
    event->accept();
}

// Copy takes the whole log when nothing is selected, which the edit's own copy would not.
void StatusLog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy_to_clipboard();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        show_menu(caret_point());
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void StatusLog::show_menu(const QPoint& global) { menu_->popup(global); }

// Under the caret's line, kept inside the visible part of the log.
QPoint StatusLog::caret_point() const {
    const QRect shown = viewport()->rect();
    const QRect caret = cursorRect();
    const QPoint at(std::clamp(caret.left(), shown.left(), shown.right()),
                    std::clamp(caret.bottom(), shown.top(), shown.bottom()));
    return viewport()->mapToGlobal(at);
}

std::optional<QString> save_text_file(const QString& file, const QString& text) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    const QByteArray bytes = text.toUtf8();
    if (out.write(bytes) != bytes.size() || !out.commit()) return out.errorString();
    return std::nullopt;
}

}  // namespace zyvora_app
