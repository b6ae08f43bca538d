#include "station_history.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "clock.h"
#include "device_flows.h"
#include "main_window.h"
#include "operation_log.h"
#include "operations.h"
#include "settings_source.h"
#include "texts.h"
#include "window_feedback.h"
#include "write_preview.h"

namespace zyvora_app {

namespace {

QString shown_or_dash(const std::string& text) { return text.empty() ? QStringLiteral("-") : from_message(text); }

}  // namespace

StationHistory::StationHistory(const zyvora::Registry& registry, std::vector<zyvora::BookEntry> entries,
                               std::string station, const zyvora::ControlStore& settings,
                               std::function<bool(const QString& file)> load, QWidget* parent)
    : QDialog(parent),
      registry_(registry),
      entries_(std::move(entries)),
      station_(std::move(station)),
      settings_(settings),
      now_(zyvora::system_local_time()),
      load_(std::move(load)),
      list_(new QTreeWidget),
      all_(new QCheckBox(QStringLiteral("Show &all devices"))),
      changes_(new QPlainTextEdit),
      load_button_(new QPushButton(QStringLiteral("&Load into window"))) {
    setObjectName(QStringLiteral("StationHistory"));
    setWindowTitle(QStringLiteral("Station history"));
    settings_.set_listener({});  // a copy: the window's pages listen to the window's own store
    {
        Said said;
        zyvora::SilentFeedback silent;
        NotingFeedback noting(silent, said);
        zyvora::ControlStore shown = settings_;
        window_values_ = held_values(shown, noting);
        no_window_values_ = said.last;
    }

    list_->setObjectName(QStringLiteral("StationBookEntries"));
    list_->setAccessibleName(QStringLiteral("Station book entries"));
    list_->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Kind"), QStringLiteral("Call sign"),
                            QStringLiteral("Firmware"), QStringLiteral("File")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* entries_label = new QLabel(QStringLiteral("&Entries:"));
    entries_label->setBuddy(list_);

    all_->setObjectName(QStringLiteral("ShowAllDevices"));
    // Without a device talked to, there is no "this device": every entry is shown.
    all_->setChecked(station_.empty());
    all_->setEnabled(!station_.empty());

    changes_->setObjectName(QStringLiteral("StationChanges"));
    changes_->setAccessibleName(QStringLiteral("Changes against the window"));
    changes_->setReadOnly(true);
    changes_->setLineWrapMode(QPlainTextEdit::NoWrap);
    changes_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    auto* changes_label = new QLabel(QStringLiteral("&Changes against the window:"));
    changes_label->setBuddy(changes_);

    load_button_->setObjectName(QStringLiteral("LoadIntoWindow"));
    load_button_->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(load_button_, QDialogButtonBox::ActionRole);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("CloseHistory"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(entries_label);
    layout->addWidget(list_, 3);
    layout->addWidget(all_);
    layout->addWidget(changes_label);
    layout->addWidget(changes_, 2);
    layout->addWidget(buttons);
    resize(720, 480);

    connect(all_, &QCheckBox::toggled, this, &StationHistory::show_entries);
    connect(list_, &QTreeWidget::currentItemChanged, this, &StationHistory::show_changes);
    connect(load_button_, &QPushButton::clicked, this, &StationHistory::load_selected);
    show_entries();
}

void StationHistory::show_entries() {
    list_->clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const zyvora::BookEntry& e = entries_[i];
        if (!all_->isChecked() && e.station != station_) continue;
        const std::string& file = e.cfg.empty() ? e.bin : e.cfg;
        auto* item = new QTreeWidgetItem(
            QStringList{from_message(e.date), QString::fromLatin1(zyvora::kind_name(e.kind)), shown_or_dash(e.call),
                        shown_or_dash(e.firmware.value_or("")), QFileInfo(QFile::decodeName(file.c_str())).fileName()});
        item->setToolTip(4, QFile::decodeName(file.c_str()));
        item->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
        list_->addTopLevelItem(item);
    }
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    show_changes();
}

// Compared as `diff` compares: as the device would hold each, so that what it would not keep
// (the case of a text, an empty number) is no change; one clock for both sides.
std::optional<std::vector<std::string>> StationHistory::held_values(zyvora::ControlStore& store,
                                                                    zyvora::Feedback& feedback) const {
    const auto held = zyvora::as_device_holds(registry_, store, feedback, [this] { return now_; });
    if (!held) return std::nullopt;
    return zyvora::file_values(registry_, *held, feedback);
}

const zyvora::BookEntry* StationHistory::selected() const {
    const QTreeWidgetItem* item = list_->currentItem();
    return item ? &entries_[item->data(0, Qt::UserRole).toULongLong()] : nullptr;
}

void StationHistory::show_changes() {
    const zyvora::BookEntry* entry = selected();
    load_button_->setEnabled(entry && !entry->cfg.empty());
    if (!entry) {
        changes_->setPlainText(all_->isChecked() ? QStringLiteral("No entries in the station book.")
                                                 : QStringLiteral("No entries of this device in the station book."));
        return;
    }
    changes_->setPlainText(changes_of(*entry));
}

QString StationHistory::changes_of(const zyvora::BookEntry& entry) const {
    if (entry.cfg.empty()) {
        return QStringLiteral("This entry is a raw image only: the device held no settings this program reads.");
    }
    if (!window_values_) return QStringLiteral("The window's settings cannot be compared: ") + no_window_values_;
    Said said;
    zyvora::SilentFeedback silent;
    NotingFeedback noting(silent, said);
    zyvora::ControlStore read = settings_;
    std::optional<std::vector<std::string>> values;
    if (zyvora::read_settings_file(registry_, read, entry.cfg, noting)) values = held_values(read, noting);
    if (!values) return QStringLiteral("The entry's settings file cannot be read: ") + said.last;
    const auto changes = zyvora::changed_settings(registry_, *window_values_, *values);
    if (changes.empty()) return QStringLiteral("The entry holds the settings the window shows.");
    QStringList lines = change_lines(registry_, changes);
    lines.prepend(changes.size() == 1
                      ? QStringLiteral("Loading this entry changes 1 setting:")
                      : QStringLiteral("Loading this entry changes %1 settings:").arg(changes.size()));
    return lines.join(u'\n');
}

void StationHistory::load_selected() {
    const zyvora::BookEntry* entry = selected();
    if (entry && !entry->cfg.empty() && load_(QFile::decodeName(entry->cfg.c_str()))) accept();
}

// The device the window talked to last, when it gave a serial number, picks the entries shown first.
void TForm1::show_station_history() {
    if (history_) {
        history_->raise();
        history_->activateWindow();
        return;
    }
    const zyvora::BookListing listing =
        zyvora::book_entries(zyvora::station_book_folder(), zyvora::default_write_safety().backups.value_or(""));
    for (const std::string& warning : listing.warnings) feedback_->warning(warning);
    feedback_->flush();
    std::string station;
    if (port_ && !port_->serial_number().empty()) {
        station = zyvora::station_folder_name({port_->serial_number(), port_->device_path(), std::nullopt, std::nullopt});
    }
    history_ = new StationHistory(
        registry_, listing.entries, station, *store_,
        [this](const QString& file) { return load_into_window(file); },
        this);
    history_->setAttribute(Qt::WA_DeleteOnClose);
    history_->setWindowModality(Qt::WindowModal);
    history_->show();
}

}  // namespace zyvora_app
