#include "help_window.h"

#include <QLabel>
#include <algorithm>

#include "main_window.h"

namespace zyvora_app {

namespace {

constexpr int kClientWidth = 371;
constexpr int kClientHeight = 222;
constexpr int kLineSpacing = 16;
constexpr int kMargin = 8;
constexpr int kGapBeforeExample = 8;

int widest(const QFontMetrics& metrics) {
    int width = 0;
    for (const QString& line : TForm2::lines()) width = std::max(width, metrics.horizontalAdvance(line));
    return width;
}

}  // namespace

const QStringList& TForm2::lines() {
    static const QStringList texts = {
        QStringLiteral("<lat> - inserts latitude defined on \"Radio\" Tab."),
        QStringLiteral("<long> - inserts longitude defined on \"Radio\" Tab."),
        QStringLiteral("<date> - inserts current time in format: DDHHMM. "),
        QStringLiteral("<gpslat> - inserts latitude received from GPS."),
        QStringLiteral("<gpslong> - inserts longitude received from GPS."),
        QStringLiteral("<gpsdate> - inserts time received from GPS in format: DDHHMM. "),
        QStringLiteral("<volt> - inserts measured input voltage."),
        QStringLiteral("<temp> - inserts temperature from rear panel thermometer input (Celsius)."),
        QStringLiteral("<tempf> - inserts temperature from rear panel thermometer input (Fahrenheit)."),
        QStringLiteral("<gamma> - inserts gamma radiation from RSS-131 gamma monitor."),
        QStringLiteral("Example:"),
        QStringLiteral("@<gpsdate>z<gpslat>/<gpslong>-ZyvoraPlus2.0 U=<volt>V."),
    };
    return texts;
}

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Beacon special strings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);

    // The lines were set for a narrow font: take a smaller size rather than cut a line short,
    // and widen the window only when even that does not fit.
    QFont font = this->font();
    qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    while (size > 7.0 && widest(QFontMetrics(font)) > kClientWidth - 2 * kMargin) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    const int width = std::max(kClientWidth, widest(QFontMetrics(font)) + 2 * kMargin);

    int y = kMargin;
    for (int i = 0; i < lines().size(); ++i) {
        if (i == 10) y += kGapBeforeExample;  // the example after a gap
        auto* label = new QLabel(lines()[i], this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setTextFormat(Qt::PlainText);
        // Tab goes from line to line and a screen reader reads each; they look the same meanwhile.
        label->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
        label->setFocusPolicy(Qt::StrongFocus);
        label->setFont(font);
        label->adjustSize();
        label->move(kMargin, y);
        y += kLineSpacing;
    }
    setFixedSize(width, std::max(kClientHeight, y + kMargin));
}

void TForm2::show_modal() {
    centre_on_screen(this);
    exec();
}

}  // namespace zyvora_app
