#include "ui/CCodePage.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <memory>

namespace qm {

namespace {

constexpr char16_t kUnassignedBase = 0xF700;
constexpr char kReplacement = '?';

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// The character ICU gives the byte, or 0 when it has none (or more than one).
char16_t IcuChar(UConverter* converter, std::uint8_t byte)
{
    if (!converter)
        return 0;
    const char in = static_cast<char>(byte);
    UChar out[4] = {};
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length = ucnv_toUChars(converter, out, 4, &in, 1, &status);
    if (U_FAILURE(status) || length != 1)
        return 0;
    return out[0];
}

bool IsSurrogatePair(QStringView text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
}

} // namespace

const std::vector<int>& CCodePage::Offered()
{
    static const std::vector<int> kNumbers = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    return kNumbers;
}

const CCodePage& CCodePage::Get(int number)
{
    // Built once, on first use; ICU is asked 256 times per code page.
    static const std::vector<CCodePage> kPages = [] {
        std::vector<CCodePage> pages;
        for (const int n : Offered())
            pages.push_back(CCodePage(n));
        return pages;
    }();
    for (const CCodePage& page : kPages) {
        if (page.Number() == number)
            return page;
    }
    return Get(kDefault);
}

CCodePage::CCodePage(int number)
    : m_nNumber(number)
{
    const std::string name = "windows-" + std::to_string(number);
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(name.c_str(), &status));
    if (U_SUCCESS(status))
        ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const bool usable = U_SUCCESS(status);

    std::vector<bool> taken(0x10000, false);
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        char16_t ch = b < 0x80 ? static_cast<char16_t>(b) : IcuChar(usable ? converter.get() : nullptr, byte);
        // A second byte for a character already taken would make the map
        // lose one of them on the way back.
        if (b >= 0x80 && (ch == 0 || taken[ch]))
            ch = static_cast<char16_t>(kUnassignedBase + b);
        taken[ch] = true;
        m_toChar[byte] = ch;
        if (b >= 0x80)
            m_toByte.emplace_back(ch, byte);
    }
    std::sort(m_toByte.begin(), m_toByte.end());

    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        m_upper[byte] = byte;
        const UChar32 upper = u_toupper(m_toChar[byte]);
        std::uint8_t capital = 0;
        if (upper != m_toChar[byte] && upper <= 0xFFFF && ToByte(static_cast<char16_t>(upper), capital))
            m_upper[byte] = capital;
    }
}

QString CCodePage::Name() const
{
    static const std::array<const char*, 9> kScripts = {
        "Central European", "Cyrillic", "Western European", "Greek", "Turkish",
        "Hebrew",           "Arabic",   "Baltic",           "Vietnamese",
    };
    const auto index = static_cast<std::size_t>(m_nNumber - 1250);
    return QStringLiteral("Windows-%1 (%2)").arg(m_nNumber).arg(QLatin1String(kScripts[index]));
}

bool CCodePage::ToByte(char16_t ch, std::uint8_t& byte) const
{
    if (ch < 0x80) {
        byte = static_cast<std::uint8_t>(ch);
        return true;
    }
    const auto it = std::lower_bound(m_toByte.begin(), m_toByte.end(), std::make_pair(ch, std::uint8_t{0}));
    if (it == m_toByte.end() || it->first != ch)
        return false;
    byte = it->second;
    return true;
}

QString CCodePage::Decode(std::string_view bytes) const
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes)
        *out++ = QChar(m_toChar[static_cast<std::uint8_t>(c)]);
    return text;
}

std::string CCodePage::Encode(QStringView text, bool* lossless) const
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    bool complete = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        std::uint8_t byte = 0;
        if (ToByte(text[i].unicode(), byte)) {
            bytes += static_cast<char>(byte);
            continue;
        }
        // One replacement for a character, not one for each half of it.
        if (IsSurrogatePair(text, i))
            ++i;
        bytes += kReplacement;
        complete = false;
    }
    if (lossless)
        *lossless = complete;
    return bytes;
}

QString CCodePage::ToUpper(QStringView text) const
{
    QString upper;
    upper.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        std::uint8_t byte = 0;
        if (ToByte(text[i].unicode(), byte)) {
            upper += QChar(m_toChar[m_upper[byte]]);
            continue;
        }
        if (IsSurrogatePair(text, i)) {
            const char32_t capital = QChar::toUpper(QChar::surrogateToUcs4(text[i], text[i + 1]));
            upper += QString::fromUcs4(&capital, 1);
            ++i;
            continue;
        }
        upper += text[i].toUpper();
    }
    return upper;
}

} // namespace qm
