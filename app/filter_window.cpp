#include "filter_window.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "main_window.h"
#include "group_names.h"
#include "required_child.h"

namespace zyvora_app {

namespace {
constexpr int kClientWidth = 663;
constexpr int kClientHeight = 321;
// The OK button takes its turn in the focus chain halfway through the rows.
constexpr int kOkAfterRow = zyvora::kFilterRows / 2;
}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("APRS-IS packets to RF filter (UI-View style):"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    if (parent) setFont(parent->font());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    rows_ = new QWidget(this);
    rows_->setObjectName(QStringLiteral("TForm4_rows"));
    layout->addWidget(rows_);

    const char* notes[] = {
        // One note in two pieces: the parentheses tell clang the missing comma is meant.
        ("Order of entries is important, if you deny/allow something in previous field, it will not be tested in "
         "next fields, comparison stops when pattern match is found."),
        "* wildcard is supported to mask all characters to the end of the pattern string.",
        "? wildcards are supported to mask single characters (except space character).",
    };
    int n = 1;
    for (const char* note : notes) {
        auto* label = new QLabel(QString::fromLatin1(note), this);
        label->setObjectName(QStringLiteral("Label_note%1").arg(n++));
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("BitBtn1"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void TForm4::order_focus() {
    QWidget* previous = nullptr;
    const auto chain = [&](QWidget* next) {
        if (previous) setTabOrder(previous, next);
        previous = next;
    };
    // Settings without the filter rows (a test's) leave the rows empty; otherwise every row
    // control must be there.
    const bool rows_built = !rows_->children().isEmpty();
    for (int r = 1; r <= zyvora::kFilterRows; ++r) {
        for (const char* what : {"callsign", "ssid", "type"}) {
            if (!rows_built) continue;
            chain(required_child<QWidget>(*this, QString::fromStdString(zyvora::filter_row_control(what, r))));
        }
        if (r == kOkAfterRow) chain(ok_);
    }
    // Fit the window to its rows where the font needs more than the usual size.
    const QSize wanted = sizeHint();
    setFixedSize(std::max(kClientWidth, wanted.width()), std::max(kClientHeight, wanted.height()));
}

void TForm4::show_modal() {
    centre_on_screen(this);
    exec();
}

}  // namespace zyvora_app
