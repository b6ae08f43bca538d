#include "box_presenter.h"

#include <QMessageBox>
#include <QPointer>

#include "texts.h"

namespace zyvora_app {

namespace {

const QString kNoticeName = QStringLiteral("NoticeBox");

// A notice leaves a running transfer going: a modal box would hold it until the user answers.
// The same notice asked again raises the one shown rather than stacking another.
void show_notice(QWidget* owner, const QString& title, const QString& text) {
    if (owner) {
        for (QMessageBox* shown : owner->findChildren<QMessageBox*>(kNoticeName, Qt::FindDirectChildrenOnly)) {
            if (shown->text() == text) {
                shown->raise();
                shown->activateWindow();
                return;
            }
        }
    }
    auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, owner);
    box->setObjectName(kNoticeName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

}  // namespace

BoxPresenter modal_boxes(QWidget* parent) {
    return [owner = QPointer<QWidget>(parent)](BoxKind kind, const QString& text, const QString& caption) {
        const QString title = caption.isEmpty() ? application_title() : caption;
        switch (kind) {
            case BoxKind::Information: QMessageBox::information(owner, title, text, QMessageBox::Ok); break;
            case BoxKind::Error: QMessageBox::critical(owner, title, text, QMessageBox::Ok); break;
            case BoxKind::Message: {
                QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
                box.exec();
                break;
            }
            // No is the default: a stray Enter must not start what cannot be taken back.
            case BoxKind::Question:
                return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                             QMessageBox::No) == QMessageBox::Yes;
            case BoxKind::Notice: show_notice(owner, title, text); break;
        }
        return true;
    };
}

void close_notices(QWidget* parent) {
    for (QMessageBox* shown : parent->findChildren<QMessageBox*>(kNoticeName, Qt::FindDirectChildrenOnly)) {
        shown->close();
    }
}

}  // namespace zyvora_app
