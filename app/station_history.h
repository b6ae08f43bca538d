#pragma once
// "Station history" (Ctrl+H): the station book's entries, newest first, what loading the one
// selected would change in the window, and loading it.
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clock.h"
#include "controls.h"
#include "feedback.h"
#include "registry.h"
#include "station_book.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace zyvora_app {

class StationHistory : public QDialog {
public:
    // `station` is the folder of the device the window talked to last (empty: none known, every
    // entry is shown); `settings` the window's, which each entry is compared with; `load` reads
    // an entry's settings file into the window and says whether it did.
    StationHistory(const zyvora::Registry& registry, std::vector<zyvora::BookEntry> entries, std::string station,
                   const zyvora::ControlStore& settings, std::function<bool(const QString& file)> load,
                   QWidget* parent = nullptr);

private:
    void show_entries();
    void show_changes();
    void load_selected();
    const zyvora::BookEntry* selected() const;
    std::optional<std::vector<std::string>> held_values(zyvora::ControlStore& store, zyvora::Feedback& feedback) const;
    // The change list of `entry`'s settings file against the window's settings.
    QString changes_of(const zyvora::BookEntry& entry) const;

    const zyvora::Registry& registry_;
    std::vector<zyvora::BookEntry> entries_;
    std::string station_;
    zyvora::ControlStore settings_;
    std::optional<std::vector<std::string>> window_values_;
    QString no_window_values_;  // why window_values_ is missing
    zyvora::LocalTime now_;
    std::function<bool(const QString&)> load_;
    QTreeWidget* list_;
    QCheckBox* all_;
    QPlainTextEdit* changes_;
    QPushButton* load_button_;
};

}  // namespace zyvora_app
