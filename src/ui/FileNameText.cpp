#include "ui/FileNameText.h"

#include "mob/Utf8.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QUrl>

#include <cstdint>

namespace qm {

namespace {

constexpr char16_t kByteEscape = 0xDC00;  // plus a byte from 0x80 to 0xFF

bool IsByteEscape(char16_t c)
{
    return c >= kByteEscape + 0x80 && c <= kByteEscape + 0xFF;
}

} // namespace

QString FileNameFromBytes(std::string_view bytes)
{
    QString name;
    name.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = Utf8CharLength(bytes, pos);
        const auto lead = static_cast<std::uint8_t>(bytes[pos]);
        if (length == 1 && lead >= 0x80)
            name += QChar(static_cast<char16_t>(kByteEscape + lead));
        else
            name += QString::fromUtf8(bytes.data() + pos, static_cast<qsizetype>(length));
        pos += length;
    }
    return name;
}

std::string FileNameToBytes(QStringView name)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(name.size()));
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        const QByteArray utf8 = name.mid(runStart, end - runStart).toUtf8();
        bytes.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        // The low half of a surrogate pair is a character's, not an escape.
        const bool paired = i > 0 && name[i - 1].isHighSurrogate();
        if (!IsByteEscape(c) || paired)
            continue;
        flushRun(i);
        bytes += static_cast<char>(c - kByteEscape);
        runStart = i + 1;
    }
    flushRun(name.size());
    return bytes;
}

QString FileNameForDisplay(QStringView name)
{
    QString shown = name.toString();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const bool paired = i > 0 && shown[i - 1].isHighSurrogate();
        if (IsByteEscape(shown[i].unicode()) && !paired)
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

QString FileNameFromUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return FileNameFromBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString AbsoluteFileName(const QString& name)
{
    // QFileInfo would do this through the file system's encoding and lose
    // the bytes kept above.
    if (name.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(name);
    return QDir::cleanPath(FileNameFromBytes(platform::CurrentWorkingFolder()) + QLatin1Char('/') + name);
}

} // namespace qm
