#pragma once
// Every modal box of the window is shown through one presenter, so that tests can take the
// boxes' place and record them instead of meeting a real modal box.
#include <QString>
#include <functional>

class QWidget;

namespace zyvora_app {

enum class BoxKind {
    Information,  // information box with OK
    Message,      // plain message box with OK
    Error,        // the application's error display
};

// An empty caption stands for the application's title, which most boxes carry.
using BoxPresenter = std::function<void(BoxKind kind, const QString& text, const QString& caption)>;

// Real modal message boxes over `parent`.
BoxPresenter modal_boxes(QWidget* parent);

}  // namespace zyvora_app
