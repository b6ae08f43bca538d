#pragma once
// The dialog that asks which of several attached devices an operation is to use: a list of
// them (path and serial number), OK and Cancel.
#include <QDialog>
#include <QStringList>
#include <optional>

namespace zyvora_app {

class DeviceChooser : public QDialog {
public:
    // `devices` as the list shows them, one per row; the first is selected.
    explicit DeviceChooser(const QStringList& devices, QWidget* parent = nullptr);

    // The row selected, -1 when none is.
    int chosen() const;
};

// Shows the chooser modally over `parent`: the row chosen, or nullopt when cancelled.
std::optional<int> ask_device_in_dialog(QWidget* parent, const QStringList& devices);

}  // namespace zyvora_app
