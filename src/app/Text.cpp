#include "app/Text.h"

#include <QStringDecoder>

namespace vtc880 {

std::string narrow(const QString& text) {
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (const QChar unit : text) {
        bytes.push_back(char(unit.unicode() & 0xFF));
    }
    return bytes;
}

QString widenLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QString displayText(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(text.data(), qsizetype(text.size())));
    return utf8.hasError() ? widenLatin1(text) : decoded;
}

} // namespace vtc880
