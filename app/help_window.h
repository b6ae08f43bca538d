#pragma once
// The help window TForm2 "Beacon special strings": the placeholders the device replaces in
// beacon texts. It holds no settings; the beacon pages show it modally.
#include <QDialog>
#include <QStringList>

namespace zyvora_app {

class TForm2 : public QDialog {
public:
    explicit TForm2(QWidget* parent = nullptr);

    // The label texts, top to bottom.
    static const QStringList& lines();

    // Shows the window modally, centred on the screen; returns when it is closed.
    void show_modal();
};

}  // namespace zyvora_app
