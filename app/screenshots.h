#pragma once
// Pictures of the main window with each page in turn, for reviewing the layout.
#include <QString>
#include <QStringList>

namespace zyvora_app {

class TForm1;

// Makes every top-level page and every sub-page current in tab order and saves the whole window
// as DIR/NN-<page object name>.png (NN from 01). Returns the files written; stops at the first
// file that cannot be written, with `error` set.
QStringList save_screenshots(TForm1& window, const QString& dir, QString* error = nullptr);

}  // namespace zyvora_app
