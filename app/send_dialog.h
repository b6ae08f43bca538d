#pragma once
// The box that offers to send a remote update file just built: the device's address as
// HOST[:PORT], Send and Not now.
#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;

namespace zyvora_app {

class SendDialog : public QDialog {
public:
    // `file` is named in the question; `proposed` fills the address field.
    SendDialog(const QString& file, const QString& proposed, QWidget* parent = nullptr);

    QString address() const;

private:
    QLineEdit* address_;
};

// Shows the dialog modally over `parent`: the address given, or nullopt for Not now.
std::optional<QString> ask_send_in_dialog(QWidget* parent, const QString& file, const QString& proposed);

}  // namespace zyvora_app
