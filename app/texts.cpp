#include "texts.h"

#include <QFile>
#include <QStringDecoder>

#include "image.h"
#include "settingsfile.h"

namespace zyvora_app {

QString from_store(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string to_store(const QString& text) {
    return text.toLatin1().toStdString();
}

QString from_message(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return utf8.hasError() ? from_store(bytes) : text;
}

std::string to_path(const QString& file_name) {
    return QFile::encodeName(file_name).toStdString();
}

QString application_title() {
    return QString::fromUtf8(zyvora::kApplicationName.data(), static_cast<qsizetype>(zyvora::kApplicationName.size()));
}

QString window_caption() {
    return application_title() + u' ' +
           QString::fromUtf8(zyvora::kVersionTag.data(), static_cast<qsizetype>(zyvora::kVersionTag.size()));
}

}  // namespace zyvora_app
