#include "device_chooser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "required_child.h"
#include "texts.h"

namespace zyvora_app {

DeviceChooser::DeviceChooser(const QStringList& devices, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DeviceChooser"));
    setWindowTitle(application_title());
    auto* layout = new QVBoxLayout(this);

    auto* label = new QLabel(QStringLiteral("Several Zyvora Plus 2.0 devices are attached. Choose the one to use:"));
    label->setObjectName(QStringLiteral("DeviceChooserLabel"));
    layout->addWidget(label);

    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("DeviceList"));
    list->addItems(devices);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAccessibleName(QStringLiteral("Attached devices"));
    label->setBuddy(list);
    if (!devices.isEmpty()) list->setCurrentRow(0);
    layout->addWidget(list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("DeviceChooserButtons"));
    layout->addWidget(buttons);

    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(list->currentRow() >= 0);
    connect(list, &QListWidget::itemSelectionChanged, ok,
            [list, ok] { ok->setEnabled(!list->selectedItems().isEmpty()); });
    connect(list, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int DeviceChooser::chosen() const {
    const auto* list = required_child<QListWidget>(*this, QStringLiteral("DeviceList"));
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

std::optional<int> ask_device_in_dialog(QWidget* parent, const QStringList& devices) {
    DeviceChooser chooser(devices, parent);
    if (chooser.exec() != QDialog::Accepted || chooser.chosen() < 0) return std::nullopt;
    return chooser.chosen();
}

}  // namespace zyvora_app
