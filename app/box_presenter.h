#pragma once
// Every modal box of the window is shown through one presenter, so that tests can take the
// boxes' place and record them (and answer the questions) instead of meeting a real modal box.
#include <QString>
#include <functional>

class QWidget;

namespace zyvora_app {

enum class BoxKind {
    Information,  // information box with OK
    Message,      // plain message box with OK
    Error,        // the application's error display
    Question,     // question box with Yes and No
    Notice,       // information box with OK that the window does not wait for
};

// An empty caption stands for the application's title, which most boxes carry. The answer is
// true for Yes; a box with only OK answers true.
using BoxPresenter = std::function<bool(BoxKind kind, const QString& text, const QString& caption)>;

// Real modal message boxes over `parent`; a Notice shows without blocking and returns at once.
BoxPresenter modal_boxes(QWidget* parent);

// Closes the notices still shown over `parent`, once what they announced has come.
void close_notices(QWidget* parent);

}  // namespace zyvora_app
