#include "main_window.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QMenu>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "advice.h"
#include "control_views.h"
#include "device_chooser.h"
#include "device_worker.h"
#include "device_flows.h"
#include "filter_window.h"
#include "firmware_check.h"
#include "folders.h"
#include "help_window.h"
#include "hid.h"
#include "lint.h"
#include "multi_row_tabs.h"
#include "network.h"
#include "operation_log.h"
#include "operations.h"
#include "pages.h"
#include "remote_update.h"
#include "required_child.h"
#include "send_dialog.h"
#include "send_update.h"
#include "status_log.h"
#include "telemetry.h"
#include "texts.h"
#include "window_feedback.h"
#include "write_preview.h"

namespace zyvora_app {

namespace {

constexpr int kClientWidth = 800;
constexpr int kClientHeight = 428;

QPushButton* add_button(QLayout* layout, const char* name, const char* caption, const char* hint) {
    auto* button = new QPushButton(QString::fromLatin1(caption));
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromLatin1(hint));
    button->setAutoDefault(false);
    layout->addWidget(button);
    return button;
}

// A note naming a web address opens it in the browser on a click; its text reads as before.
void link_web_addresses(QWidget* pages) {
    static const QRegularExpression address(QStringLiteral("https?://\\S+"));
    for (QLabel* label : pages->findChildren<QLabel*>()) {
        const QString text = label->text();
        const QRegularExpressionMatch found = address.match(text);
        if (label->textFormat() == Qt::RichText || !found.hasMatch()) continue;
        const QString link = found.captured().toHtmlEscaped();
        label->setTextFormat(Qt::RichText);
        label->setText(text.left(found.capturedStart()).toHtmlEscaped() + QStringLiteral("<a href=\"%1\">%1</a>").arg(link) +
                       text.mid(found.capturedEnd()).toHtmlEscaped());
        label->setOpenExternalLinks(true);
        label->setTextInteractionFlags(Qt::TextBrowserInteraction);
        label->setStyleSheet(QStringLiteral("QLabel:focus { border: 1px dotted palette(window-text); }"));
    }
}

QGroupBox* button_group(const char* title) {
    auto* group = new QGroupBox(QString::fromLatin1(title));
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setSpacing(6);
    return group;
}

FileDialogDecl dialog(const char* name, bool save, const char* folder, const char* file_name, const char* filter) {
    return {QString::fromLatin1(name), save, QCoreApplication::applicationDirPath() + u'/' + QString::fromLatin1(folder),
            QString::fromLatin1(file_name), QString::fromLatin1(filter)};
}

// A firmware page holds 32 bytes and takes the device about 1.3 ms.
constexpr double kFirmwarePageBytes = 32;
constexpr double kFirmwarePageSeconds = 0.0013;

QString counted(long long count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

// Names what is about to be sent and how long the device must stay plugged in.
QString upload_question(const QString& file_name, std::size_t bytes) {
    const QString what = file_name.isEmpty() ? QStringLiteral("the firmware image built into this program")
                                             : QStringLiteral("firmware ") + QFileInfo(file_name).fileName();
    const double pages = std::ceil(static_cast<double>(bytes) / kFirmwarePageBytes);
    const long long seconds = std::max(1LL, std::llround(pages * kFirmwarePageSeconds));
    return QStringLiteral("Upload %1 (%2) to the device?\nThe upload takes about %3; do not unplug the device until it ends.")
        .arg(what, counted(static_cast<long long>(bytes), "byte", "bytes"), counted(seconds, "second", "seconds"));
}

// The firmware file's name, or what stands for the image built into this program.
QString firmware_named(const QString& file_name) {
    return file_name.isEmpty() ? QStringLiteral("the firmware image built into this program")
                               : QFileInfo(file_name).fileName();
}

// The operations' names and the reasons of their cancels, as the status log tells them.
const QString kSaveToFile = QStringLiteral("Save to file");
const QString kReadFromFile = QStringLiteral("Read from file");
const QString kNoFileChosen = QStringLiteral("no file was chosen.");
const QString kNoDeviceChosen = QStringLiteral("no device was chosen.");

const QString kUnsavedChanges = QStringLiteral(
    "The settings have changes that are not saved to a file, written to the device or built into a remote "
    "update file.\nSave them to a file before closing?");
// Reading settings in replaces every edit, as closing drops them.
const QString kChangesReplaced = QStringLiteral(
    "The settings have changes that are not saved to a file, written to the device or built into a remote "
    "update file.\nSave them to a file before they are replaced?");

// The one local settings file (*.cfg) among what is dragged; empty for anything else.
QString dropped_settings_file(const QMimeData* mime) {
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile() || !url.toLocalFile().endsWith(QStringLiteral(".cfg"), Qt::CaseInsensitive)) return {};
    return url.toLocalFile();
}

const QString kReadRunning = QStringLiteral(
    "The device's settings are being read. Closing now would stop the read half way.\n"
    "The window closes when the read ends.");
const QString kSendRunning = QStringLiteral(
    "The remote update file is being sent to the device. Closing now would stop the transfer half way.\n"
    "The window closes when the transfer ends.");
const QString kTransferRunning = QStringLiteral(
    "A transfer to the device is running. Closing now could leave the device with an incomplete configuration "
    "or firmware.\nThe window closes when the transfer ends.");
// Asked before a Stop that would leave the device half written, in the words the CLI's
// interrupt uses.
const QString kStopWrite = QStringLiteral(
    "The device is being written; stopping now would leave it with an incomplete configuration.\n\nStop now?");
const QString kStopUpload = QStringLiteral(
    "The firmware is being uploaded; stopping now would leave the device without working firmware.\n\nStop now?");

}  // namespace

TForm1::TForm1(QWidget* parent) : TForm1(PageBuilding::at_once, parent) {}

TForm1::TForm1(PageBuilding building, QWidget* parent)
    : TForm1(zyvora::Registry::instance(), page_layouts(), {}, parent, building) {}

TForm1::TForm1(const zyvora::Registry& registry, const std::vector<PageLayout>& layouts, BoxPresenter presenter,
               QWidget* parent, PageBuilding building)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                      Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      registry_(registry),
      save_dialog_(dialog("SaveDialog1", true, "config/", "zyvoraplus20.cfg", "Zyvora Plus 2.0 config files (*.cfg)")),
      open_dialog_(dialog("OpenDialog2", false, "config/", "", "Zyvora Plus 2.0 config files (*.cfg)")),
      ruf_save_dialog_(dialog("RUF_SaveDialog", true, "remote/", "zyvoraplus20.ruf",
                              "Zyvora Plus 2.0 remote update files (*.ruf)")),
      firmware_dialog_(dialog("Firmware_OpenDialog", false, "firmware/", "", "Firmware images (*.bin);;All files (*)")),
      log_dialog_(dialog("StatusLog_SaveDialog", true, "logs/", "zyvora-log.txt", "Text files (*.txt *.log);;All files (*)")) {
    setObjectName(QStringLiteral("TForm1"));
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);
    build_client();
    build_views(layouts, std::move(presenter), building);
    build_keys();
    ask_file_ = [this](const FileDialogDecl& d) {
        const auto dialog = make_file_dialog(this, d);
        return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
    };
    ask_changes_ = [this](const QString& text) {
        return QMessageBox::warning(this, application_title(), text,
                                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    };
    add_print_action();
    views_->set_edit_listener([this] { settings_changed(); });
    pages_->setCurrentIndex(0);
    setAcceptDrops(true);
    show_title();
    setFixedSize(kClientWidth, kClientHeight);
}

// Hidden while every member still lives: hiding takes the focus from an edit, whose leaving
// handlers read the settings this window owns.
TForm1::~TForm1() { hide(); }

// The dialog starts where files of its kind are kept, or at the current file, and the file chosen
// is remembered for next time: its folder, and among the recent files in the dialogs' history.
QString TForm1::ask_file(const FileDialogDecl& dialog, const QString& current) {
    FileDialogDecl shown = dialog;
    shown.folder = dialog_start_folder(dialog.folder);
    if (!current.isEmpty()) {
        // Its folder as any start folder: not one since removed, nor one under /usr.
        shown.folder = start_folder(QFileInfo(current).absolutePath(), shown.folder, {});
        shown.file_name = QFileInfo(current).fileName();
    }
    shown.history = dialog_history(dialog.folder);
    const QString file = ask_file_(shown);
    if (!file.isEmpty()) remember_dialog_folder(dialog.folder, file);
    return file;
}

// The action buttons over the pages, the status log and the progress bar under them.
void TForm1::build_client() {
    auto* client = new QWidget;
    auto* outer = new QVBoxLayout(client);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(4, 2, 4, 4);
    body->setSpacing(4);
    outer->addLayout(body, 1);

    body->addWidget(build_button_row());

    // The eleven captions need more than the window's width: the tabs take a second row.
    pages_ = new MultiRowTabWidget;
    pages_->setObjectName(QStringLiteral("PageControl1"));
    add_pages(pages_, page_tree());
    body->addWidget(pages_, 1);

    log_ = new StatusLog;
    log_->set_saver([this] { save_log(); });
    log_->set_history_opener([this] { required_child<QAction>(*this, QStringLiteral("ActionStationHistory"))->trigger(); });
    log_->setObjectName(QStringLiteral("Memo1"));
    log_->setReadOnly(true);
    log_->setAccessibleName(QStringLiteral("Status log"));
    // A caret the arrow keys move, so that the lines can be read one by one.
    log_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    log_->setStyleSheet(QStringLiteral("QPlainTextEdit:focus { border: 2px solid palette(window-text); }"));
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setFixedHeight(64);
    body->addWidget(log_);
    add_advice_menu();

    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("ProgressBar1"));
    progress_->setAccessibleName(QStringLiteral("Transfer progress"));
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setFixedHeight(16);
    // Shown beside the progress bar while a device operation runs (at its own height, so its text
    // is never cut, also at 150%); Esc presses it.
    stop_ = new QPushButton(QStringLiteral("Stop"));
    stop_->setObjectName(QStringLiteral("ButtonStop"));
    stop_->setAccessibleName(QStringLiteral("Stop"));
    stop_->setAccessibleDescription(QStringLiteral("Stops the running transfer with the device"));
    stop_->setToolTip(QStringLiteral("Stop the transfer (Esc)"));
    stop_->hide();
    connect(stop_, &QPushButton::clicked, this, &TForm1::stop_operation);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (stop_->isVisible()) stop_->click();
    });
    auto* status = new QHBoxLayout;
    status->setContentsMargins(0, 0, 0, 0);
    status->addWidget(progress_, 1);
    status->addWidget(stop_);
    outer->addLayout(status);

    setCentralWidget(client);
}

// The start-up settings, and the controls of the pages and of the filter window that show them.
void TForm1::build_views(const std::vector<PageLayout>& layouts, BoxPresenter presenter, PageBuilding building) {
    feedback_ = std::make_unique<WindowFeedback>(log_, progress_, presenter ? std::move(presenter) : modal_boxes(this));
    feedback_->hold_boxes_until_painted(this);
    store_.emplace(zyvora::start_up_store(registry_, *feedback_));
    feedback_->stop_holding_boxes();
    if (building == PageBuilding::at_once) help_ = new TForm2(this);
    filter_ = new TForm4(this);
    for (QWidget* window : {static_cast<QWidget*>(this), static_cast<QWidget*>(filter_)}) add_hint_keys(*window);
    views_ = std::make_unique<ControlViews>(registry_, *store_, *feedback_, std::vector<QWidget*>{pages_, filter_},
                                            layouts);
    views_->set_build_listener([this](const std::vector<QWidget*>& pages) { pages_built(pages); });
    if (building == PageBuilding::at_once) {
        views_->build_all();
    } else {
        views_->build_when_shown();
        building_later_ = true;
    }
    check_page_buttons(layouts);
    filter_->order_focus();
}

TForm2& TForm1::help_window() {
    if (!help_) help_ = new TForm2(this);
    return *help_;
}

TForm4& TForm1::filter_window() {
    views_->build(filter_);
    return *filter_;
}

// Each page once built: its web addresses, its buttons, and the filter window's focus order.
void TForm1::pages_built(const std::vector<QWidget*>& pages) {
    for (QWidget* page : pages) link_web_addresses(page);
    // Controls built after the log come after it in the Tab order: it and Stop go after the last
    // control of the pages again.
    QWidget* last = nullptr;
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain()) {
        if (pages_->isAncestorOf(w) && w->focusPolicy() != Qt::NoFocus) last = w;
    }
    if (last) {
        setTabOrder(last, log_);
        setTabOrder(log_, stop_);
    }
    connect_page_buttons(pages);
    if (std::any_of(pages.begin(), pages.end(), [this](QWidget* page) { return filter_->isAncestorOf(page); })) {
        filter_->order_focus();
    }
}

void TForm1::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (std::exchange(building_later_, false)) QTimer::singleShot(0, this, &TForm1::build_next_page);
}

// One page at a time, so that what the user does meanwhile is not held up.
void TForm1::build_next_page() {
    if (views_->build_next()) QTimer::singleShot(0, this, &TForm1::build_next_page);
}

namespace {

// The connected push buttons, each placed by one of the window's own layouts.
constexpr const char* kPageButtons[] = {"Button_filter_setup", "Button_special_strings", "Button22"};

// `name`, when it is among `pages` just built.
QPushButton* built_button(ControlViews& views, const std::vector<QWidget*>& pages, const QString& name) {
    QPushButton* button = views.button(name);
    const bool built_now =
        button && std::any_of(pages.begin(), pages.end(), [button](QWidget* page) { return page->isAncestorOf(button); });
    return built_now ? button : nullptr;
}

}  // namespace

// The window's own layouts place every button it connects; other layouts (a test's) leave out
// the buttons of pages they do not arrange, but not of those they do.
void TForm1::check_page_buttons(const std::vector<PageLayout>& layouts) const {
    std::vector<std::string> names(std::begin(kPageButtons), std::end(kPageButtons));
    for (int n = 1; n <= zyvora::kAnalogChannels; ++n) names.push_back(analog_preset_button(n));
    for (int n = 1; n <= zyvora::kDigitalChannels; ++n) names.push_back(digital_preset_button(n));
    for (const std::string& wanted : names) {
        const PageLayout* home = layout_placing_button(page_layouts(), wanted);
        if (!home) throw std::logic_error("no page layout places the button " + wanted);
        const bool arranged = std::any_of(layouts.begin(), layouts.end(),
                                          [&](const PageLayout& layout) { return layout.page == home->page; });
        if (arranged && !layout_placing_button(layouts, wanted)) {
            throw std::logic_error("the layout of " + home->page + " places no button " + wanted);
        }
    }
}

void TForm1::connect_page_buttons(const std::vector<QWidget*>& pages) {
    if (auto* button = built_button(*views_, pages, QStringLiteral("Button_filter_setup"))) {
        button->setToolTip(QStringLiteral("APRS-IS to RF filter for non-message packets."));
        connect(button, &QPushButton::clicked, this, [this] { filter_window().show_modal(); });
    }
    for (const char* name : {"Button_special_strings", "Button22"}) {
        if (auto* button = built_button(*views_, pages, QString::fromLatin1(name))) {
            button->setToolTip(QStringLiteral("Shows the special strings a beacon message may hold."));
            connect(button, &QPushButton::clicked, this, [this] { help_window().show_modal(); });
        }
    }
    connect_telemetry_presets(pages);
}

// Button_teleanalogN_defaultClick and Button_teledigitalN_defaultClick: the channel's preset.
void TForm1::connect_telemetry_presets(const std::vector<QWidget*>& pages) {
    for (int n = 1; n <= zyvora::kAnalogChannels; ++n) {
        if (auto* button = built_button(*views_, pages, QString::fromStdString(analog_preset_button(n)))) {
            button->setToolTip(QStringLiteral("Default parameters for telemetry module."));
            connect(button, &QPushButton::clicked, this, [this, n] {
                zyvora::run_analog_preset(*store_, n);
                settings_changed();
            });
        }
    }
    for (int n = 1; n <= zyvora::kDigitalChannels; ++n) {
        if (auto* button = built_button(*views_, pages, QString::fromStdString(digital_preset_button(n)))) {
            connect(button, &QPushButton::clicked, this, [this, n] {
                zyvora::run_digital_preset(*store_, n);
                settings_changed();
            });
        }
    }
}

zyvora::Feedback& TForm1::feedback() { return *feedback_; }

void TForm1::set_box_presenter(BoxPresenter presenter) { feedback_->set_presenter(std::move(presenter)); }

QWidget* TForm1::build_button_row() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    // Alt and the underlined letter press a button; each letter is taken once in the window.
    auto* connection = button_group("Connection:");
    connect(add_button(connection->layout(), "Button4", "&Read config", "Reads current configuration from device."),
            &QPushButton::clicked, this, &TForm1::read_config);
    connect(add_button(connection->layout(), "Button5", "&Write config", "Writes current configuration to device."),
            &QPushButton::clicked, this, &TForm1::write_config);
    connect(add_button(connection->layout(), "Button3", "&Upload firmware", "Uploads firmware to device."),
            &QPushButton::clicked, this, &TForm1::upload_firmware);
    layout->addWidget(connection);

    auto* files = button_group("Configuration import/export:");
    connect(add_button(files->layout(), "Button1", "&Save to file",
                       "Saves current configuration from Configurator application to file."),
            &QPushButton::clicked, this, &TForm1::save_to_file);
    connect(add_button(files->layout(), "Button2", "Read &from file",
                       "Reads current configuration from file to Configurator application."),
            &QPushButton::clicked, this, &TForm1::read_from_file);
    layout->addWidget(files);

    auto* remote = button_group("Remote update");
    connect(add_button(remote->layout(), "Button12", "&Build remote update file",
                       "Builds remote update file which can then be uploaded to device via TFTP."),
            &QPushButton::clicked, this, &TForm1::build_remote_update_file);
    layout->addWidget(remote);
    layout->addStretch(1);
    return row;
}

bool TForm1::save_to_file() { return save_to(ask_file(save_dialog_, file_)); }

bool TForm1::save() { return file_.isEmpty() ? save_to_file() : save_to(file_); }

bool TForm1::save_to(const QString& file) {
    const auto announce = qScopeGuard([this] { feedback_->announce_outcome(); });
    if (file.isEmpty()) {
        log_outcome(cancelled_line(kSaveToFile, kNoFileChosen));
        return false;
    }
    Said said;
    NotingFeedback noting(*feedback_, said);
    if (!zyvora::save_settings_file(registry_, *store_, to_path(file), noting)) {
        log_outcome(failed_line(kSaveToFile, said));
        return false;
    }
    settings_kept(file);
    log_outcome(done_line(kSaveToFile, {logged_file(file)}));
    return true;
}

void TForm1::read_from_file() {
    if (!may_drop_changes(kChangesReplaced, kReadFromFile)) return;
    const QString file = ask_file(open_dialog_);
    if (file.isEmpty()) log_outcome(cancelled_line(kReadFromFile, kNoFileChosen));
    else open_file(file);
}

bool TForm1::load_into_window(const QString& file) {
    return !operation_running_ && may_drop_changes(kChangesReplaced, kReadFromFile) && open_file(file);
}

bool TForm1::open_file(const QString& file_name) {
    const auto announce = qScopeGuard([this] { feedback_->announce_outcome(); });
    std::string text;
    Said said;
    NotingFeedback noting(*feedback_, said);
    if (!zyvora::read_settings_file(registry_, *store_, to_path(file_name), noting, &text)) {
        log_outcome(failed_line(kReadFromFile, said));
        return false;
    }
    // What a hand-edited file holds that reads without an error but not as meant, in the log.
    bool whole = true;
    for (const zyvora::LintWarning& w : zyvora::lint_settings_file(registry_, text)) {
        feedback_->warning(w.text);
        whole = whole && !w.missing;
    }
    // Advice on a whole station; the defaults a cut file leaves to the window are no one's choice.
    if (whole) {
        for (const zyvora::aprs::Advice& a : zyvora::aprs::station_advice(*store_, silenced_advice())) {
            feedback_->log("Advice [" + a.id + "]: " + a.text);
        }
    }
    settings_kept(file_name);
    log_outcome(done_line(kReadFromFile, {logged_file(file_name)}));
    return true;
}

// Told at once: nothing may come after it that would show it.
void TForm1::log_outcome(const QString& line) {
    feedback_->log(line.toStdString());
    feedback_->flush();
}

namespace {

constexpr const char* kSilencedAdvice = "advice/silenced";

}  // namespace

std::vector<std::string> TForm1::silenced_advice() const {
    std::vector<std::string> ids;
    for (const QString& id : window_settings().value(kSilencedAdvice).toStringList()) ids.push_back(id.toStdString());
    return ids;
}

// "Advice shown": one tick per kind of advice; untick one to hear no more of it.
void TForm1::add_advice_menu() {
    QMenu* shown = log_->menu()->addMenu(QStringLiteral("&Advice shown"));
    const QStringList silenced = window_settings().value(kSilencedAdvice).toStringList();
    for (const std::string_view id : zyvora::aprs::advice_ids()) {
        const QString name = QString::fromUtf8(id.data(), static_cast<qsizetype>(id.size()));
        QAction* action = shown->addAction(name);
        action->setCheckable(true);
        action->setChecked(!silenced.contains(name));
        connect(action, &QAction::toggled, this, [name](bool on) {
            QSettings settings = window_settings();
            QStringList ids = settings.value(kSilencedAdvice).toStringList();
            ids.removeAll(name);
            if (!on) ids.append(name);
            settings.setValue(kSilencedAdvice, ids);
        });
    }
}

void TForm1::save_log() {
    const QString operation = QStringLiteral("Save log");
    const QString text = log_->text_to_save();
    const QString file = ask_file(log_dialog_);
    if (file.isEmpty()) {
        log_outcome(cancelled_line(operation, kNoFileChosen));
        return;
    }
    if (const auto why = save_text_file(file, text)) {
        const QString error = QStringLiteral("Unable to write to %1: %2").arg(logged_file(file), *why);
        feedback_->error(error.toStdString());
        log_outcome(failed_line(operation, {error, {}}));
        return;
    }
    log_outcome(done_line(operation, {logged_file(file)}));
}

void TForm1::settings_kept(const QString& file) {
    if (!file.isEmpty()) file_ = file;
    changed_ = false;
    show_title();
}

void TForm1::settings_changed() {
    if (std::exchange(changed_, true)) return;
    show_title();
}

// Qt's convention: "[*]" shows as "*" while the window is modified. Without a file the title
// stays the program's own.
void TForm1::show_title() {
    const QString caption = window_caption();
    if (!file_.isEmpty()) setWindowTitle(QFileInfo(file_).fileName() + QStringLiteral("[*] - ") + caption);
    else setWindowTitle(changed_ ? caption + QStringLiteral("[*]") : caption);
    setWindowModified(changed_);
}

bool TForm1::may_close_with_changes() { return may_drop_changes(kUnsavedChanges, QStringLiteral("Close")); }

bool TForm1::may_drop_changes(const QString& question, const QString& operation) {
    if (!changed_) return true;
    const QMessageBox::StandardButton answer = ask_changes_(question);
    if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && save_to_file())) return true;
    log_outcome(cancelled_line(operation, QStringLiteral("the unsaved changes are kept.")));
    return false;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!operation_running_ && !dropped_settings_file(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// Read once the drop is over, so that its boxes do not hold up the program the file came from.
void TForm1::dropEvent(QDropEvent* event) {
    const QString file = dropped_settings_file(event->mimeData());
    if (operation_running_ || file.isEmpty()) return;
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, file] {
        if (!operation_running_ && may_drop_changes(kChangesReplaced, kReadFromFile)) open_file(file);
    });
}

// Taken to the control only after the operation has ended, so that the filter window's modal
// loop does not run inside it.
void TForm1::show_failed_setting() {
    const std::string name = feedback_->take_failed_setting();
    const int id = name.empty() ? -1 : store_->id(name);
    QWidget* control = id >= 0 ? views_->widget(id) : nullptr;
    if (!control) return;
    for (QWidget* w = control; w && w != this; w = w->parentWidget()) {
        if (pages_->indexOf(w) >= 0) pages_->setCurrentWidget(w);
        const auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr) tabs->setCurrentWidget(w);
    }
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    if (filter_->isAncestorOf(control)) filter_window().show_modal();
}

namespace {

// Keeps the settings' editors from taking input while a device operation runs: what the user
// typed meanwhile would be overwritten by a read or left out of a write. Pages, tabs and the log
// stay usable for looking; Tab and Escape still move the focus and reach the window.
class ReadOnlyEditors : public QObject {
public:
    ReadOnlyEditors(std::vector<QWidget*> roots) : roots_(std::move(roots)) { qApp->installEventFilter(this); }
    ~ReadOnlyEditors() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Escape) return false;
                return is_editor(watched);
            }
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::InputMethod:
            case QEvent::ContextMenu:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
                return is_editor(watched);
            default:
                return false;
        }
    }

private:
    bool is_editor(QObject* object) const {
        auto* widget = qobject_cast<QWidget*>(object);
        // A line edit's or combo box's own parts (its view, its line edit) count as the editor.
        for (QWidget* w = widget; w; w = w->parentWidget()) {
            const auto* button = qobject_cast<QAbstractButton*>(w);
            const bool editor = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                                qobject_cast<QAbstractSpinBox*>(w) || (button && button->isCheckable());
            if (editor) return inside_pages(w);
        }
        return false;
    }
    bool inside_pages(const QWidget* widget) const {
        return std::any_of(roots_.begin(), roots_.end(),
                           [widget](const QWidget* root) { return root == widget || root->isAncestorOf(widget); });
    }

    std::vector<QWidget*> roots_;
};

}  // namespace

// While it lives a device operation runs: the device buttons are off, the pages take no input,
// Stop shows, and a close asked meanwhile is done when the operation ends.
class TForm1::DeviceOperation {
public:
    // `stop_question`, when given, is asked before a Stop: stopping would harm the device.
    DeviceOperation(TForm1& window, const QString& close_refusal, const QString& stop_question = {})
        : window_(window), read_only_(std::vector<QWidget*>{window.pages_, window.filter_}) {
        window_.operation_running_ = true;
        window_.close_refusal_ = close_refusal;
        window_.stop_question_ = stop_question;
        window_.enable_device_buttons(false);
        window_.feedback_->begin_operation();
        window_.stop_->setEnabled(true);
        window_.stop_->show();
    }
    ~DeviceOperation() {
        window_.stop_->hide();
        window_.feedback_->announce_outcome();
        window_.enable_device_buttons(true);
        window_.operation_running_ = false;
        if (std::exchange(window_.close_asked_, false)) {
            close_notices(&window_);
            window_.close();
        }
    }
    DeviceOperation(const DeviceOperation&) = delete;
    DeviceOperation& operator=(const DeviceOperation&) = delete;

private:
    TForm1& window_;
    ReadOnlyEditors read_only_;
};

void TForm1::closeEvent(QCloseEvent* event) {
    if (!operation_running_) {
        if (!may_close_with_changes()) {
            event->ignore();
            return;
        }
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    close_asked_ = true;
    feedback_->notice(close_refusal_);
}

// Read config and a send stop at the next page and change nothing; a write or an upload stops
// only once the user has agreed to what it leaves.
void TForm1::stop_operation() {
    if (!operation_running_ || feedback_->stop_requested()) return;
    if (!stop_question_.isEmpty() && !feedback_->ask(stop_question_)) return;
    if (!operation_running_) return;  // it ended while the question was open
    feedback_->request_stop();
    stop_->setEnabled(false);
}

namespace {

// The settings as device work may change them, away from the pages: the work runs beside the
// window, and the pages show the store the window holds.
zyvora::ControlStore detached(const zyvora::ControlStore& store) {
    zyvora::ControlStore copy = store;
    copy.set_listener({});
    return copy;
}

// Takes into `into` what device work changed in its copy `from`; only what differs, so that
// the pages refresh only those controls.
void take_changes(zyvora::ControlStore& into, const zyvora::ControlStore& from) {
    for (int id = 0; id < static_cast<int>(into.size()); ++id) {
        const zyvora::ControlState& now = into.state(id);
        const zyvora::ControlState& then = from.state(id);
        if (now.text != then.text) into.set_text(id, then.text);
        if (now.index != then.index) into.set_index(id, then.index);
        if (now.checked != then.checked) into.set_checked(id, then.checked);
        if (now.enabled != then.enabled) into.set_enabled(id, then.enabled);
    }
}

}  // namespace

void TForm1::run_device_work(const std::function<void(WorkerFeedback&)>& work, zyvora::ControlStore* settings) {
    port();  // made, and its chooser set, here on the window's thread; the work uses port_
    std::function<void()> catch_up;
    if (settings) catch_up = [this, settings] { take_changes(*store_, *settings); };
    const auto forget = qScopeGuard([this] { worker_ = nullptr; });
    run_beside_window(
        *feedback_,
        [&](WorkerFeedback& feedback) {
            worker_ = &feedback;
            work(feedback);
        },
        catch_up);
}

void TForm1::read_config() {
    const QString name = QStringLiteral("Read config");
    if (!may_drop_changes(kChangesReplaced, name)) return;
    const DeviceOperation operation(*this, kReadRunning);
    zyvora::ControlStore read = detached(*store_);
    zyvora::Image incoming{};
    bool ok = false;
    Said said;
    run_device_work(
        [&](zyvora::Feedback& feedback) {
            NotingFeedback noting(feedback, said);
            ok = zyvora::read_config(*port_, registry_, read, incoming, noting);
        },
        &read);
    incoming_image_ = incoming;
    if (ok) settings_kept();
    if (ok) log_outcome(done_line(name, said.versions.isEmpty() ? QStringList() : QStringList{said.versions}));
    else log_outcome(no_device_chosen_ ? cancelled_line(name, kNoDeviceChosen) : failed_line(name, said));
}

void TForm1::write_config() {
    {
        const DeviceOperation operation(*this, kTransferRunning, kStopWrite);
        zyvora::ControlStore written = detached(*store_);
        zyvora::Image outgoing = outgoing_image_;
        bool ok = false;
        bool declined = false;
        Said said;
        QString backup;
        const std::vector<std::string> silenced = silenced_advice();
        run_device_work(
            [&](WorkerFeedback& feedback) {
                NotingFeedback noting(feedback, said);
                zyvora::WriteSafety safety = zyvora::default_write_safety();
                safety.confirm = [&](const zyvora::WritePreview& preview) {
                    declined = !feedback.ask(
                        write_question(registry_, preview, zyvora::aprs::station_advice(written, silenced)));
                    return !declined;
                };
                safety.kept = [&](const std::string& file) { backup = from_message(zyvora::printable(file)); };
                ok = zyvora::write_config(*port_, registry_, written, outgoing, noting, safety);
            },
            &written);
        outgoing_image_ = outgoing;
        if (ok) settings_kept();
        // A declined write has said so in its last line already.
        if (no_device_chosen_) log_outcome(cancelled_line(QStringLiteral("Write config"), kNoDeviceChosen));
        else if (!declined) log_outcome(write_summary(ok, said, backup));
    }
    show_failed_setting();
}

void TForm1::set_firmware_file(const QString& file_name) {
    firmware_ = zyvora::FirmwareStore::from_file(to_path(file_name));
    firmware_file_ = file_name;
}

// A build without an image asks for one: a made-up image could ruin the device.
bool TForm1::ask_firmware_if_none(zyvora::FirmwareStore& firmware, QString& file_name) {
    if (firmware.carries_image()) return true;
    file_name = ask_file(firmware_dialog_);
    if (file_name.isEmpty()) return false;
    firmware = zyvora::FirmwareStore::from_file(to_path(file_name));
    return true;
}

void TForm1::upload_firmware() {
    const QString name = QStringLiteral("Upload firmware");
    zyvora::FirmwareStore firmware = firmware_;
    QString file_name = firmware_file_;
    if (!ask_firmware_if_none(firmware, file_name)) {
        log_outcome(cancelled_line(name, QStringLiteral("no firmware file was chosen.")));
        return;
    }
    // Read before the question, so that an image the device cannot take is refused first and
    // the question names its true size.
    Said said;
    NotingFeedback noting(*feedback_, said);
    const auto image = zyvora::checked_firmware(firmware, noting);
    if (!image) {
        log_outcome(failed_line(name, said));
        return;
    }
    if (!feedback_->ask(upload_question(file_name, image->size()))) {
        log_outcome(cancelled_line(name, QStringLiteral("nothing was sent to the device.")));
        return;
    }
    const DeviceOperation operation(*this, kTransferRunning, kStopUpload);
    const zyvora::FirmwareStore loaded = firmware.loaded(*image);
    bool ok = false;
    run_device_work([&](zyvora::Feedback& feedback) {
        NotingFeedback noting_work(feedback, said);
        ok = zyvora::upload_firmware_flow(*port_, loaded, noting_work);
    });
    if (ok) {
        log_outcome(done_line(name, {firmware_named(file_name),
                                     counted(static_cast<long long>(image->size()), "byte", "bytes")}));
    } else {
        log_outcome(no_device_chosen_ ? cancelled_line(name, kNoDeviceChosen) : failed_line(name, said));
    }
}

// The window keeps taking input during a transfer: no second operation may start meanwhile.
void TForm1::enable_device_buttons(bool enabled) {
    for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button5", "Button12"}) {
        required_child<QPushButton>(*this, QString::fromLatin1(name))->setEnabled(enabled);
    }
    for (const char* name : {"ActionReadFromFile", "ActionSave", "ActionSaveAs", "ActionStationHistory"}) {
        required_child<QAction>(*this, QString::fromLatin1(name))->setEnabled(enabled);
    }
}

// Made on first use, so that a window given another device never touches the USB bus. Called
// once per operation: with several devices attached, each operation asks which one, once
// however often it opens the device.
zyvora::DevicePort& TForm1::port() {
    if (!port_) port_ = std::make_unique<zyvora::HidPort>();
    if (auto* hid = dynamic_cast<zyvora::HidPort*>(port_.get())) {
        chosen_device_.reset();
        no_device_chosen_ = false;
        hid->set_chooser([this](const std::vector<zyvora::HidInterface>& devices) -> std::optional<std::size_t> {
            for (std::size_t i = 0; i < devices.size(); ++i) {
                if (devices[i].path == chosen_device_) return i;
            }
            QStringList names;
            for (const auto& device : devices) names.append(QString::fromStdString(zyvora::describe_device(device)));
            // Asked on the window's thread; the device work waits for the answer.
            const auto ask = [&] { return ask_device_ ? ask_device_(names) : ask_device_in_dialog(this, names); };
            const std::optional<int> row = worker_ ? worker_->on_window(ask) : ask();
            if (!row || *row < 0 || *row >= names.size()) {
                no_device_chosen_ = true;
                return std::nullopt;
            }
            chosen_device_ = devices[static_cast<std::size_t>(*row)].path;
            return static_cast<std::size_t>(*row);
        });
    }
    return *port_;
}

// The dialog comes after the encode pass, so a failing setting asks for no file.
// A build without an image asks for one after the file, as "Upload firmware" does.
void TForm1::build_remote_update_file() {
    const QString name = QStringLiteral("Build remote update file");
    QString file;
    QString cancelled;  // why nothing was built, when the user chose so
    zyvora::FirmwareStore firmware = firmware_;
    Said said;
    NotingFeedback noting(*feedback_, said);
    const bool built = zyvora::build_remote_update_file(
        registry_, *store_, outgoing_image_, firmware,
        [this, &file, &firmware, &cancelled]() -> std::optional<std::string> {
            file = ask_file(ruf_save_dialog_);
            if (file.isEmpty()) {
                cancelled = kNoFileChosen;
                return std::nullopt;
            }
            QString image;
            if (!ask_firmware_if_none(firmware, image)) {
                cancelled = QStringLiteral("no firmware file was chosen.");
                return std::nullopt;
            }
            return to_path(file);
        },
        noting);
    if (built) log_outcome(done_line(name, {logged_file(file)}));
    else log_outcome(cancelled.isEmpty() ? failed_line(name, said) : cancelled_line(name, cancelled));
    if (built) settings_kept();
    show_failed_setting();
    if (built) offer_to_send(file);
}

void TForm1::offer_to_send(const QString& file) {
    // Remembered per file, so that a file rebuilt for the same device goes where it went before.
    QSettings remembered = window_settings();
    const QString key = QStringLiteral("SendUpdate/") +
                        QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(file).absoluteFilePath()));
    QString address = remembered.value(key, QString::fromStdString(zyvora::device_address(*store_))).toString();
    std::optional<zyvora::UpdateAddress> to;
    while (!to) {
        const std::optional<QString> given = ask_send_ ? ask_send_(file, address) : ask_send_in_dialog(this, file, address);
        if (!given) {
            log_outcome(cancelled_line(QStringLiteral("Send remote update file"),
                                       QFileInfo(file).fileName() + QStringLiteral(" was not sent.")));
            return;
        }
        address = *given;
        const auto parsed = zyvora::parse_update_address(address.toStdString());
        if (parsed) to = *parsed;
        else feedback_->error(parsed.message());
    }
    remembered.setValue(key, address);
    zyvora::Result<void> outcome;
    {
        const DeviceOperation operation(*this, kSendRunning);
        run_beside_window(*feedback_, [&](zyvora::Feedback& feedback) {
            outcome = zyvora::send_update_file(to_path(file), *to, {}, feedback);
        });
        if (!outcome) feedback_->log("Sending failed: " + outcome.message());
        feedback_->flush();
        // Shown while the operation still holds a close asked meanwhile: the outcome comes before
        // the window goes, never as a box left alone after it.
        const QString name = QFileInfo(file).fileName();
        const QString where = QString::fromStdString(zyvora::address_text(*to));
        if (outcome) {
            feedback_->info(QStringLiteral("%1 was sent to the device at %2.").arg(name, where).toStdString());
        } else {
            feedback_->error(QStringLiteral("Sending %1 to the device at %2 failed: %3")
                                 .arg(name, where, QString::fromStdString(outcome.message()))
                                 .toStdString());
        }
    }
}

std::unique_ptr<QFileDialog> make_file_dialog(QWidget* parent, const FileDialogDecl& d) {
    auto dialog = std::make_unique<QFileDialog>(parent, QString(), d.folder + d.file_name, d.filter);
    dialog->setObjectName(d.name);
    dialog->setAcceptMode(d.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(d.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!d.history.isEmpty()) dialog->setHistory(d.history);
    return dialog;
}

void centre_on_screen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace zyvora_app
