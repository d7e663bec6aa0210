#include "FileNames.h"

#include <cerrno>
#include <vector>

#include <unistd.h>

#include <QDir>
#include <QUrl>

namespace {

constexpr char16_t ESCAPED_BYTE = 0xDC00; // + a byte from 0x80 to 0xFF

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at bytes[at] and its code point, or 0:
// no overlong forms, no surrogates, nothing above U+10FFFF.
int sequenceAt(const QByteArray& bytes, qsizetype at, char32_t* codePoint)
{
    const auto byte = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    char32_t value = lead & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
        if (!isContinuation(byte(at + k)))
            return 0;
        value = (value << 6) | (byte(at + k) & 0x3F);
    }
    *codePoint = value;
    return length;
}

bool isEscapedByte(const QString& name, qsizetype at)
{
    const char16_t u = name.at(at).unicode();
    return u >= ESCAPED_BYTE + 0x80 && u <= ESCAPED_BYTE + 0xFF
        && !(at > 0 && QChar::isHighSurrogate(name.at(at - 1).unicode()));
}

} // namespace

QString fileNameFromBytes(const QByteArray& bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            name += QChar(lead);
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        if (const int length = sequenceAt(bytes, at, &codePoint)) {
            if (QChar::requiresSurrogates(codePoint)) {
                name += QChar(QChar::highSurrogate(codePoint));
                name += QChar(QChar::lowSurrogate(codePoint));
            } else {
                name += QChar(char16_t(codePoint));
            }
            at += length;
        } else {
            name += QChar(char16_t(ESCAPED_BYTE + lead));
            ++at;
        }
    }
    return name;
}

QByteArray fileNameBytes(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    const auto put = [&bytes](char32_t codePoint) {
        if (codePoint < 0x80) {
            bytes += char(codePoint);
        } else if (codePoint < 0x800) {
            bytes += char(0xC0 | (codePoint >> 6));
            bytes += char(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            bytes += char(0xE0 | (codePoint >> 12));
            bytes += char(0x80 | ((codePoint >> 6) & 0x3F));
            bytes += char(0x80 | (codePoint & 0x3F));
        } else {
            bytes += char(0xF0 | (codePoint >> 18));
            bytes += char(0x80 | ((codePoint >> 12) & 0x3F));
            bytes += char(0x80 | ((codePoint >> 6) & 0x3F));
            bytes += char(0x80 | (codePoint & 0x3F));
        }
    };
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t u = name.at(at).unicode();
        if (QChar::isHighSurrogate(u) && at + 1 < name.size() && QChar::isLowSurrogate(name.at(at + 1).unicode())) {
            put(QChar::surrogateToUcs4(u, name.at(at + 1).unicode()));
            ++at;
        } else if (isEscapedByte(name, at)) {
            bytes += char(u - ESCAPED_BYTE);
        } else if (QChar::isSurrogate(u)) {
            put(QChar::ReplacementCharacter);
        } else {
            put(u);
        }
    }
    return bytes;
}

QString shownFileName(const QString& name)
{
    if (!holdsRawBytes(name))
        return name;
    QString shown;
    shown.reserve(name.size() + 8);
    for (qsizetype at = 0; at < name.size(); ++at) {
        if (isEscapedByte(name, at))
            shown += QStringLiteral("\\x") + QString::number(name.at(at).unicode() - ESCAPED_BYTE, 16).toUpper();
        else
            shown += name.at(at);
    }
    return shown;
}

bool holdsRawBytes(const QString& name)
{
    for (qsizetype at = 0; at < name.size(); ++at) {
        if (isEscapedByte(name, at))
            return true;
    }
    return false;
}

QStringList argumentsFromBytes(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameFromBytes(QByteArray(argv[i]));
    return arguments;
}

QString absoluteFileName(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(name);
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + name);
        buffer.resize(buffer.size() * 2);
    }
    return QDir::cleanPath(fileNameFromBytes(QByteArray(buffer.data())) + QLatin1Char('/') + name);
}

QString fileNameFromUrl(const QUrl& url)
{
    const QString decoded = url.toLocalFile();
    if (!decoded.contains(QChar::ReplacementCharacter) || !url.host().isEmpty())
        return decoded;
    return fileNameFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}
