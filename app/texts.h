#pragma once
// Conversions between the core's byte strings and Qt's strings, and the window's fixed texts.
#include <QString>
#include <string>

namespace zyvora_app {

// Control texts are bytes; the window shows and takes them as Latin-1, one byte per character.
QString from_store(const std::string& bytes);
std::string to_store(const QString& text);

// Messages and declared texts (captions, hints, items) are UTF-8 where valid; a message that
// quotes a control text may hold other bytes, which show as Latin-1.
QString from_message(const std::string& bytes);

// File names as the operating system wants them.
std::string to_path(const QString& file_name);

// "Zyvora Plus 2.0 Configurator".
QString application_title();
// The main window's caption: the title, one space, the image version tag.
QString window_caption();

}  // namespace zyvora_app
