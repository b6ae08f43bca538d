#pragma once
// The status log Memo1: read-only lines with a caret, and a menu (right click, the Menu key or
// Shift+F10) that copies the log, saves it to a file or opens the station history.
#include <QPlainTextEdit>
#include <QString>
#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace zyvora_app {

class StatusLog : public QPlainTextEdit {
public:
    explicit StatusLog(QWidget* parent = nullptr);

    // The log's menu, for the window to add what it offers there.
    QMenu* menu() const { return menu_; }

    // Run by "Save log...": the window asks for the file and tells the outcome.
    void set_saver(std::function<void()> save) { save_ = std::move(save); }
    // Run by "Station history...", a place a mouse user finds the window's history key.
    void set_history_opener(std::function<void()> open) { history_ = std::move(open); }

    // The selected text, or the whole log with a line break after each line when nothing is selected.
    QString text_to_copy() const;
    // The whole log with a line break after each line, as a text file holds it.
    QString text_to_save() const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void copy_to_clipboard();
    // At `global`; from the keyboard, at the caret.
    void show_menu(const QPoint& global);
    QPoint caret_point() const;

    QMenu* menu_;
    std::function<void()> save_;
    std::function<void()> history_;
};

// Writes `text` to `file` as UTF-8, replacing the file whole or leaving it as it was; the
// reason, as the system gives it, when it cannot.
std::optional<QString> save_text_file(const QString& file, const QString& text);

}  // namespace zyvora_app
