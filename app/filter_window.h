#pragma once
// The filter window TForm4: the 24 rows that decide which non-message packets the device gates
// from APRS-IS to RF. Its controls live in the main window's control store, so every pass
// reaches them; the window edits them in place.
#include <QDialog>

class QPushButton;

namespace zyvora_app {

class TForm4 : public QDialog {
public:
    explicit TForm4(QWidget* parent = nullptr);

    // The widget that holds the rows; the control views build them into it.
    QWidget* rows() const { return rows_; }
    // Called once the rows are built: keyboard focus goes row by row, "OK" after row 12.
    void order_focus();
    // Shows the window modally, centred on the screen; returns when it is closed.
    void show_modal();

private:
    QWidget* rows_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace zyvora_app
