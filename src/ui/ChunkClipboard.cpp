#include "ui/ChunkClipboard.h"

#include <QByteArray>
#include <QMimeData>

#include <algorithm>

namespace qm {

namespace {

constexpr qsizetype kHexBytesPerLine = 16;

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

QString HexText(std::span<const std::uint8_t> bytes)
{
    const QByteArray all(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QString text;
    text.reserve(all.size() * 3);
    for (qsizetype at = 0; at < all.size(); at += kHexBytesPerLine)
        text += QString::fromLatin1(all.mid(at, kHexBytesPerLine).toHex(' ').toUpper()) + QLatin1Char('\n');
    return text;
}

std::optional<std::vector<std::uint8_t>> FromHexText(const QString& text)
{
    // Characters beyond Latin-1 turn into '?', which is no digit.
    QByteArray digits = text.toLatin1();
    digits.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
    // Any other character, or half a byte, makes it no hex text of bytes;
    // QByteArray::fromHex would skip such characters without a word.
    if (digits.isEmpty() || digits.size() % 2 != 0 || !std::all_of(digits.begin(), digits.end(), IsHexDigit))
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(digits);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

} // namespace

std::unique_ptr<QMimeData> ChunksToMimeData(std::span<const std::uint8_t> bytes)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(kChunksMimeType,
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    data->setText(HexText(bytes));
    return data;
}

std::optional<std::vector<std::uint8_t>> ChunksFromMimeData(const QMimeData* data)
{
    if (!data)
        return std::nullopt;
    if (data->hasFormat(kChunksMimeType)) {
        const QByteArray bytes = data->data(kChunksMimeType);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }
    if (data->hasText())
        return FromHexText(data->text());
    return std::nullopt;
}

} // namespace qm
