#pragma once
// The main window TForm1: the action buttons, the tab pages with every setting control, the
// status log and the progress bar.
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "box_presenter.h"
#include "controls.h"
#include "feedback.h"
#include "firmware.h"
#include "image.h"
#include "page_layouts.h"
#include "registry.h"
#include "transport.h"

class QFileDialog;
class QPrinter;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace zyvora_app {

class ControlViews;
class TForm2;
class TForm4;
class MultiRowTabWidget;
class StationHistory;
class StatusLog;
class WindowFeedback;
class WorkerFeedback;

// What a file dialog shows; the answer is a file name, or an empty text when cancelled.
struct FileDialogDecl {
    QString name;       // "SaveDialog1", ...
    bool save = false;  // a save dialog, else an open dialog
    QString folder;     // the folder beside the program for these files, ending in '/'; the
                        // dialog starts there where it exists (folders.h)
    QString file_name;  // proposed file name
    QString filter;
    QStringList history;  // the folders of the recent files of this kind, newest first
};
using FileAsker = std::function<QString(const FileDialogDecl& dialog)>;
// Which of several attached devices to use, each named by path and serial number: the row
// chosen, or nullopt when cancelled.
using DeviceAsker = std::function<std::optional<int>(const QStringList& devices)>;
// Whether to send the remote update file `file` just built, and where: the HOST[:PORT] given
// (`proposed` filled in), or nullopt for not now.
using SendAsker = std::function<std::optional<QString>(const QString& file, const QString& proposed)>;
// Whether to save changes before the window closes: Save, Discard or Cancel.
using ChangesAsker = std::function<QMessageBox::StandardButton(const QString& text)>;
// Where to print: sets up `printer` (a PDF file is one of its choices) and says whether to print.
using PrintAsker = std::function<bool(QPrinter& printer)>;

// The file dialog `dialog` describes; a save dialog asks before it replaces a file.
std::unique_ptr<QFileDialog> make_file_dialog(QWidget* parent, const FileDialogDecl& dialog);

// When the window builds the controls of its pages: all as it is made, or each page as it is
// first shown or a control of it is looked for, and the others one at a time once the window has
// painted, which brings the window up sooner (the help window too is then made when first
// opened). Either way every page shows the same.
enum class PageBuilding { at_once, when_shown };

class TForm1 : public QMainWindow {
public:
    // The device's settings and the pages that show them.
    explicit TForm1(QWidget* parent = nullptr);
    explicit TForm1(PageBuilding building, QWidget* parent = nullptr);
    // Boxes shown while the window is built (the interlock step's) already go to `presenter`;
    // an empty one shows real modal boxes.
    TForm1(const zyvora::Registry& registry, const std::vector<PageLayout>& layouts, BoxPresenter presenter = {},
           QWidget* parent = nullptr, PageBuilding building = PageBuilding::at_once);
    ~TForm1() override;

    zyvora::ControlStore& store() { return *store_; }
    zyvora::Feedback& feedback();
    zyvora::Image& outgoing_image() { return outgoing_image_; }
    const zyvora::Image& incoming_image() const { return incoming_image_; }

    // The device the connection buttons talk to; the HID device unless another is set.
    void set_device_port(std::unique_ptr<zyvora::DevicePort> port) { port_ = std::move(port); }
    // The firmware "Upload firmware" sends; the image embedded in this build unless another is set.
    // One that carries no image makes the button ask for a file.
    void set_firmware(zyvora::FirmwareStore firmware) {
        firmware_ = std::move(firmware);
        firmware_file_.clear();
    }
    // The firmware in `file_name`, which the upload's question names.
    void set_firmware_file(const QString& file_name);

    void set_box_presenter(BoxPresenter presenter);
    void set_file_asker(FileAsker asker) { ask_file_ = std::move(asker); }
    // Unset, the device chooser dialog asks.
    void set_device_asker(DeviceAsker asker) { ask_device_ = std::move(asker); }
    // Unset, the send dialog asks.
    void set_send_asker(SendAsker asker) { ask_send_ = std::move(asker); }
    // Unset, a message box asks.
    void set_changes_asker(ChangesAsker asker) { ask_changes_ = std::move(asker); }
    // Unset, Qt's print dialog asks.
    void set_print_asker(PrintAsker asker) { ask_print_ = std::move(asker); }

    // Ctrl+P: the station sheet of the settings shown, on the printer the print dialog gives.
    void print_sheet();

    // Reads a settings file as "Read from file" does; the title then names it.
    bool open_file(const QString& file_name);

    const FileDialogDecl& save_dialog() const { return save_dialog_; }
    const FileDialogDecl& open_dialog() const { return open_dialog_; }
    const FileDialogDecl& ruf_save_dialog() const { return ruf_save_dialog_; }
    const FileDialogDecl& firmware_dialog() const { return firmware_dialog_; }
    // Made on first use when the pages are built as shown.
    TForm2& help_window();
    // With its rows built.
    TForm4& filter_window();

protected:
    // Refused while a device operation runs; the window then closes when it ends.
    // With changes not yet saved, asks first whether to save them.
    void closeEvent(QCloseEvent* event) override;
    // A settings file dropped on the window is read as "Read from file" reads it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Pages not yet built are built once the window has painted.
    void paintEvent(QPaintEvent* event) override;

private:
    class DeviceOperation;

    void build_client();
    QWidget* build_button_row();
    void build_views(const std::vector<PageLayout>& layouts, BoxPresenter presenter, PageBuilding building);
    void check_page_buttons(const std::vector<PageLayout>& layouts) const;
    void pages_built(const std::vector<QWidget*>& pages);
    void connect_page_buttons(const std::vector<QWidget*>& pages);
    void connect_telemetry_presets(const std::vector<QWidget*>& pages);
    void build_next_page();
    // The window's keys: Ctrl+O, Ctrl+S, Ctrl+Shift+S, Ctrl+Q (or the platform's own), and the
    // general help F1 shows where no setting has the focus.
    void build_keys();
    // The print key and its dialog, on the window itself: there is no menu to hold them.
    void add_print_action();
    bool save_to_file();
    // To the file last read or saved, without a dialog; the dialog when there is none yet.
    bool save();
    bool save_to(const QString& file);
    void read_from_file();
    // Ctrl+H: the station book's entries, of the device talked to last where one is known.
    void show_station_history();
    // An entry of the station book, read as "Read from file" reads a file: asked over unsaved
    // changes first, and not while a device operation runs.
    bool load_into_window(const QString& file);
    void build_remote_update_file();
    // Asks through `dialog`, starting where files of its kind are kept, or proposing `current`
    // where there is one.
    QString ask_file(const FileDialogDecl& dialog, const QString& current = {});
    // When `firmware` carries no image, asks for a firmware file and takes it (its name in
    // `file_name`); false when cancelled.
    bool ask_firmware_if_none(zyvora::FirmwareStore& firmware, QString& file_name);
    // After a build: offers to send `file` to the device, proposing the address last given for
    // it, else the device's own.
    void offer_to_send(const QString& file);
    void read_config();
    void write_config();
    void upload_firmware();
    // "Save log..." of the status log's menu.
    void save_log();
    // The kinds of advice the owner turned off in the log's menu, remembered between runs.
    std::vector<std::string> silenced_advice() const;
    void add_advice_menu();
    // A line that tells how an operation ended, shown at once.
    void log_outcome(const QString& line);
    // Runs `work` on the device's own thread (device_worker.h), with the device port made ready
    // first. `settings`, when given, is the copy of the settings the work may change: the window
    // takes its changes before each box and at the end.
    void run_device_work(const std::function<void(WorkerFeedback&)>& work, zyvora::ControlStore* settings = nullptr);
    void enable_device_buttons(bool enabled);
    void stop_operation();
    zyvora::DevicePort& port();
    // After an operation whose check failed: the failing control's page, or the filter window, with it focused.
    void show_failed_setting();
    // The settings now match `file` (empty: the file named so far), or the device, or an update file.
    void settings_kept(const QString& file = {});
    void settings_changed();
    void show_title();
    bool may_close_with_changes();
    // Save/Discard/Cancel over unsaved changes before they go; false: keep them, do nothing.
    // `operation` names what is then not done, in the log.
    bool may_drop_changes(const QString& question, const QString& operation);

    const zyvora::Registry& registry_;
    MultiRowTabWidget* pages_ = nullptr;
    StatusLog* log_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* stop_ = nullptr;  // beside progress_ while a device operation runs
    std::unique_ptr<WindowFeedback> feedback_;
    std::optional<zyvora::ControlStore> store_;
    std::unique_ptr<ControlViews> views_;  // after the store: it stops listening before the store goes
    zyvora::Image outgoing_image_{};
    zyvora::Image incoming_image_{};
    std::unique_ptr<zyvora::DevicePort> port_;
    zyvora::FirmwareStore firmware_ = zyvora::FirmwareStore::embedded();
    QString firmware_file_;  // the file firmware_ reads, if any
    FileDialogDecl save_dialog_;
    FileDialogDecl open_dialog_;
    FileDialogDecl ruf_save_dialog_;
    FileDialogDecl firmware_dialog_;
    FileDialogDecl log_dialog_;
    FileAsker ask_file_;
    DeviceAsker ask_device_;
    SendAsker ask_send_;
    ChangesAsker ask_changes_;
    PrintAsker ask_print_;
    QString file_;                  // the settings file last saved or read
    bool changed_ = false;          // by the user since then, or since the last write or build
    std::optional<std::string> chosen_device_;  // the path chosen for the running operation
    bool no_device_chosen_ = false;             // its chooser was cancelled
    WorkerFeedback* worker_ = nullptr;          // the running device work's, on its thread
    bool operation_running_ = false;  // a device operation; the window takes its events meanwhile
    bool close_asked_ = false;        // during that operation
    QString close_refusal_;           // why that operation refuses a close
    QString stop_question_;           // asked before that operation stops, if it harms the device
    bool building_later_ = false;  // pages are left to build once the window has painted
    TForm2* help_ = nullptr;  // child windows, made once
    TForm4* filter_ = nullptr;
    QPointer<StationHistory> history_;  // while open
};

// Centres a top-level window on the screen it is on.
void centre_on_screen(QWidget* window);

}  // namespace zyvora_app
