#include "position_entry.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "texts.h"

namespace zyvora_app {

namespace aprs = zyvora::aprs;

std::optional<aprs::Axis> coordinate_axis(const zyvora::Setting& setting) {
    switch (setting.field.codec) {
        case zyvora::Codec::FixedLatitude:
        case zyvora::Codec::PackedLatitude: return aprs::Axis::latitude;
        case zyvora::Codec::FixedLongitude:
        case zyvora::Codec::PackedLongitude: return aprs::Axis::longitude;
        default: return std::nullopt;
    }
}

namespace {

// The other edit of the point: a latitude's longitude follows it in every table.
std::optional<int> partner(const zyvora::Registry& registry, int id, aprs::Axis axis) {
    const int other = axis == aprs::Axis::latitude ? id + 1 : id - 1;
    const auto& settings = registry.settings();
    if (other < 0 || other >= static_cast<int>(settings.size())) return std::nullopt;
    const auto other_axis = coordinate_axis(settings[static_cast<std::size_t>(other)]);
    if (!other_axis || *other_axis == axis) return std::nullopt;
    return other;
}

// Fills the edit `id` and, for a pair, its partner with what `text` reads as, and logs it:
// "Latitude: 52.3847 (decimal degrees) -> 5223.08N". False when it reads nothing for `id`.
bool fill(const PositionEntry& entry, int id, const std::string& text, const aprs::PositionReading& reading) {
    const auto axis = coordinate_axis(entry.registry.settings()[static_cast<std::size_t>(id)]);
    const auto own = *axis == aprs::Axis::latitude ? reading.latitude : reading.longitude;
    const auto other = *axis == aprs::Axis::latitude ? reading.longitude : reading.latitude;
    const auto other_id = partner(entry.registry, id, *axis);
    if (!own && !(other && other_id)) return false;
    std::string done;
    const auto put = [&](int target, aprs::Axis target_axis, double degrees) {
        const std::string field = aprs::field_text(degrees, target_axis);
        entry.set(target, field);
        done += (done.empty() ? "" : ", ") + field;
    };
    // Latitude first, as a pair is written.
    if (*axis == aprs::Axis::latitude && own) put(id, *axis, *own);
    if (other && other_id) put(*other_id, *axis == aprs::Axis::latitude ? aprs::Axis::longitude : aprs::Axis::latitude, *other);
    if (*axis == aprs::Axis::longitude && own) put(id, *axis, *own);
    entry.feedback.log(zyvora::spoken_name(entry.store.decl(id)) + ": " + text + " (" + reading.kind + ") -> " + done);
    return true;
}

// Leaving the edit: a text in the field's own format, or one that is no position, stays as typed.
void convert(const PositionEntry& entry, int id) {
    const auto axis = coordinate_axis(entry.registry.settings()[static_cast<std::size_t>(id)]);
    const std::string text = entry.store.text(id);
    if (text.empty() || aprs::from_field(text, *axis)) return;
    const auto reading = aprs::read_position(text, *axis);
    if (!reading) return;
    const auto own = *axis == aprs::Axis::latitude ? reading->latitude : reading->longitude;
    if (own) fill(entry, id, text, *reading);
}

void open_dialog(QLineEdit* edit, int id, const PositionEntry& entry) {
    auto* dialog = new QDialog(edit->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("PositionDialog"));
    dialog->setWindowTitle(QStringLiteral("Position"));
    auto* layout = new QVBoxLayout(dialog);
    auto* label = new QLabel(QStringLiteral("Decimal degrees, degrees, minutes and seconds, a pair or a Maidenhead "
                                            "locator:"),
                             dialog);
    auto* text = new QLineEdit(dialog);
    text->setObjectName(QStringLiteral("PositionText"));
    label->setBuddy(text);
    auto* reads = new QLabel(dialog);
    reads->setObjectName(QStringLiteral("PositionReading"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    layout->addWidget(label);
    layout->addWidget(text);
    layout->addWidget(reads);
    layout->addWidget(buttons);
    const auto axis = *coordinate_axis(entry.registry.settings()[static_cast<std::size_t>(id)]);
    // What the text reads as, before anything is filled in.
    const auto update = [=] {
        const auto reading = aprs::read_position(to_store(text->text()), axis);
        QString shown = QStringLiteral("Not a position.");
        if (reading) {
            QStringList parts;
            if (reading->latitude) parts << from_store(aprs::field_text(*reading->latitude, aprs::Axis::latitude));
            if (reading->longitude) parts << from_store(aprs::field_text(*reading->longitude, aprs::Axis::longitude));
            shown = parts.join(QStringLiteral(", ")) + QStringLiteral(" (%1)").arg(from_message(reading->kind));
        }
        reads->setText(shown);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(reading.has_value());
    };
    update();
    QObject::connect(text, &QLineEdit::textChanged, dialog, update);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [=] {
        const std::string typed = to_store(text->text());
        const auto reading = aprs::read_position(typed, axis);
        if (reading && fill(entry, id, typed, *reading)) dialog->accept();
    });
    dialog->open();
}

}  // namespace

void add_position_entry(QLineEdit* edit, int id, const PositionEntry& entry) {
    QObject::connect(edit, &QLineEdit::editingFinished, edit, [entry, id] { convert(entry, id); });
    auto* action = new QAction(QStringLiteral("Position..."), edit);
    action->setObjectName(QStringLiteral("ActionPosition"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    action->setShortcutContext(Qt::WidgetShortcut);
    edit->addAction(action);
    QObject::connect(action, &QAction::triggered, edit, [edit, entry, id] { open_dialog(edit, id, entry); });
    // The standard menu of a line edit, with the dialog at its end.
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(edit, &QLineEdit::customContextMenuRequested, edit, [edit, action](const QPoint& at) {
        QMenu* menu = edit->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->setObjectName(QStringLiteral("PositionMenu"));
        menu->addSeparator();
        menu->addAction(action);
        menu->popup(edit->mapToGlobal(at));
    });
}

}  // namespace zyvora_app
