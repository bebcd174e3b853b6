#include "app/Text.h"

namespace vtc880 {

std::string utf8Of(const QString& text) {
    return text.toUtf8().toStdString();
}

QString displayText(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace vtc880
