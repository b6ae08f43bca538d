#include "box_presenter.h"

#include <QMessageBox>
#include <QPointer>

#include "texts.h"

namespace zyvora_app {

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
        }
    };
}

}  // namespace zyvora_app
