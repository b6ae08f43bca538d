#include "send_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zyvora_app {

SendDialog::SendDialog(const QString& file, const QString& proposed, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SendUpdateDialog"));
    setWindowTitle(QStringLiteral("Send remote update file"));
    auto* layout = new QVBoxLayout(this);
    auto* question = new QLabel(
        QStringLiteral("Send %1 to the device now, over the network (TFTP)?\n\nThe device's address, HOST or HOST:PORT "
                       "(port 69 unless given):")
            .arg(QFileInfo(file).fileName()),
        this);
    question->setObjectName(QStringLiteral("SendUpdateQuestion"));
    layout->addWidget(question);
    address_ = new QLineEdit(proposed, this);
    address_->setObjectName(QStringLiteral("SendUpdateAddress"));
    address_->setPlaceholderText(QStringLiteral("192.168.2.2"));
    address_->setAccessibleName(QStringLiteral("Device address"));
    question->setBuddy(address_);
    layout->addWidget(address_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* send = buttons->addButton(QStringLiteral("Send"), QDialogButtonBox::AcceptRole);
    send->setObjectName(QStringLiteral("SendUpdateSend"));
    send->setDefault(true);
    buttons->addButton(QStringLiteral("Not now"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("SendUpdateNotNow"));
    layout->addWidget(buttons);
    // Nothing to send to until an address is typed (a device on DHCP proposes none).
    const auto enable = [send](const QString& text) { send->setEnabled(!text.trimmed().isEmpty()); };
    enable(proposed);
    connect(address_, &QLineEdit::textChanged, send, enable);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString SendDialog::address() const { return address_->text().trimmed(); }

std::optional<QString> ask_send_in_dialog(QWidget* parent, const QString& file, const QString& proposed) {
    SendDialog dialog(file, proposed, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.address();
}

}  // namespace zyvora_app
