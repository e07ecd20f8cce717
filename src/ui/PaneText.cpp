#include "ui/PaneText.h"

#include "ui/CCodePage.h"

namespace qm {

namespace {

constexpr char16_t kParagraphBreak = 0x2029;  // CR LF
constexpr char16_t kLineSeparator = 0x2028;   // lone LF
constexpr char16_t kCarriageReturnSymbol = 0x240D;  // lone CR

} // namespace

QString ToPaneText(const CCodePage& codePage, std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            text += QChar(kParagraphBreak);
            ++i;
        } else if (c == '\r') {
            text += QChar(kCarriageReturnSymbol);
        } else if (c == '\n') {
            text += QChar(kLineSeparator);
        } else {
            text += QChar(codePage.ToChar(static_cast<std::uint8_t>(c)));
        }
    }
    return text;
}

std::string FromPaneText(const CCodePage& codePage, QStringView text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()) + 16);
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            bytes += codePage.Encode(text.mid(runStart, end - runStart));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i].unicode();
        const char* replacement = ch == kParagraphBreak       ? "\r\n"
                                  : ch == kLineSeparator        ? "\n"
                                  : ch == kCarriageReturnSymbol ? "\r"
                                                                : nullptr;
        if (!replacement)
            continue;
        flushRun(i);
        bytes += replacement;
        runStart = i + 1;
    }
    flushRun(text.size());
    return bytes;
}

} // namespace qm
