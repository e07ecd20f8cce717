#include "codec/CNumberText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace qm {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c)
{
    const char lower = static_cast<char>(c | 0x20);
    return IsDigit(c) || (lower >= 'a' && lower <= 'f');
}

std::size_t SkipSpace(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && CNumberText::IsSpace(text[pos]))
        ++pos;
    return pos;
}

// from_chars reports a number beyond the range of f32 without telling which
// end it fell off; strtod gives infinity above and zero below. Numbers that
// far out are nowhere near 1, so the position of the first significant digit
// plus the exponent is all it takes to tell.
bool IsBeyondOne(const char* first, const char* last, bool hex)
{
    const auto isDigit = hex ? IsHexDigit : IsDigit;
    const char exponentMark = hex ? 'p' : 'e';
    const long long digitWeight = hex ? 4 : 1;
    long long magnitude = 0;
    const char* p = first;
    while (p != last && *p == '0')
        ++p;
    for (; p != last && isDigit(*p); ++p)
        magnitude += digitWeight;
    if (magnitude == 0 && p != last && *p == '.') {
        for (++p; p != last && *p == '0'; ++p)
            magnitude -= digitWeight;
    }
    while (p != last && (isDigit(*p) || *p == '.'))
        ++p;
    if (p == last || static_cast<char>(*p | 0x20) != exponentMark)
        return magnitude > 0;
    ++p;
    const bool negative = p != last && *p == '-';
    if (p != last && (*p == '-' || *p == '+'))
        ++p;
    constexpr long long kSaturated = 1'000'000'000;
    long long exponent = 0;
    for (; p != last && IsDigit(*p); ++p)
        exponent = std::min(exponent * 10 + (*p - '0'), kSaturated);
    return magnitude + (negative ? -exponent : exponent) > 0;
}

// Converts what from_chars found into strtod's answer. Returns the end of the
// number, or nullptr when there is none.
const char* Settle(std::from_chars_result result, const char* first, bool hex, float parsed, float& value)
{
    if (result.ec == std::errc::invalid_argument)
        return nullptr;
    if (result.ec == std::errc::result_out_of_range)
        parsed = IsBeyondOne(first, result.ptr, hex) ? std::numeric_limits<float>::infinity() : 0.0f;
    value = parsed;
    return result.ptr;
}

// strtod's "0x" form. A "0x" without hex digits behind it is the number 0
// followed by an "x", which the decimal reading finds.
const char* ReadHex(const char* first, const char* last, float& value)
{
    if (last - first < 3 || first[0] != '0' || (first[1] | 0x20) != 'x')
        return nullptr;
    const char* digits = first + 2;
    const bool hasDigit = IsHexDigit(digits[0]) || (digits[0] == '.' && last - digits > 1 && IsHexDigit(digits[1]));
    if (!hasDigit)
        return nullptr;
    float parsed = 0.0f;
    const auto result = std::from_chars(digits, last, parsed, std::chars_format::hex);
    return Settle(result, digits, true, parsed, value);
}

const char* ReadDecimal(const char* first, const char* last, float& value)
{
    float parsed = 0.0f;
    const auto result = std::from_chars(first, last, parsed, std::chars_format::general);
    return Settle(result, first, false, parsed, value);
}

// Powers of ten that double and float hold exactly, and the nearest doubles
// to the first negative ones.
constexpr std::array<double, 23> kDoublePowers = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::array<float, 11> kFloatPowers = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
constexpr std::array<double, 11> kInversePowers = {1e0,  1e-1, 1e-2, 1e-3, 1e-4, 1e-5,
                                                   1e-6, 1e-7, 1e-8, 1e-9, 1e-10};

// 10^-17 to 10^27, some of them rounded.
constexpr int kLowestPower = -17;
constexpr std::array<double, 45> kApproxPowers = {
    1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3,
    1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12,
    1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27};

constexpr int kSignificant = 6;
constexpr std::uint32_t kLowestSix = 100000;
constexpr std::uint32_t kBeyondSix = 1000000;

// "%g" laid out from six significant digits and the decimal exponent of the
// first one.
void AppendGeneral(std::string& out, bool negative, std::uint32_t significand, int exponent)
{
    char digits[kSignificant];
    for (int i = kSignificant - 1; i >= 0; --i, significand /= 10)
        digits[i] = static_cast<char>('0' + significand % 10);
    int used = kSignificant;
    while (used > 1 && digits[used - 1] == '0')
        --used;
    char text[24];
    char* p = text;
    if (negative)
        *p++ = '-';
    if (exponent < -4 || exponent >= kSignificant) {
        *p++ = digits[0];
        if (used > 1)
            *p++ = '.';
        for (int i = 1; i < used; ++i)
            *p++ = digits[i];
        *p++ = 'e';
        *p++ = exponent < 0 ? '-' : '+';
        const int size = std::abs(exponent);
        if (size < 10)
            *p++ = '0';
        p = std::to_chars(p, text + sizeof text, size).ptr;
    } else if (exponent < 0) {
        *p++ = '0';
        *p++ = '.';
        for (int i = exponent + 1; i < 0; ++i)
            *p++ = '0';
        for (int i = 0; i < used; ++i)
            *p++ = digits[i];
    } else {
        const int whole = exponent + 1;
        for (int i = 0; i < std::max(used, whole); ++i) {
            if (i == whole)
                *p++ = '.';
            *p++ = i < used ? digits[i] : '0';
        }
    }
    out.append(text, static_cast<std::size_t>(p - text));
}

// "%g" for the values games hold, in a few multiplies. Scaling by an exact
// power of ten rounds once, which moves the scaled value (below 10^7) by
// less than 2e-9: only a fraction that close to one half can come out on the
// wrong side, and those, with values too large or small for an exact power,
// are left to the exact conversion.
bool AppendFloatQuickly(std::string& out, float value)
{
    const double magnitude = std::fabs(static_cast<double>(value));
    if (!(magnitude >= 1e-16 && magnitude < 1e26))
        return false;
    const int binaryExponent = static_cast<int>((std::bit_cast<std::uint32_t>(value) >> 23) & 0xFF) - 127;
    // floor(binaryExponent * log10(2)) is at most one too low; a table
    // look-up mends that nearly always, and the loop below the rest.
    int exponent = (binaryExponent * 78913) >> 18;
    if (exponent + 1 >= kLowestPower && exponent + 1 - kLowestPower < static_cast<int>(kApproxPowers.size()) &&
        magnitude >= kApproxPowers[static_cast<std::size_t>(exponent + 1 - kLowestPower)])
        ++exponent;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int shift = kSignificant - 1 - exponent;
        if (shift < -22 || shift > 22)
            return false;
        const double scaled = shift >= 0 ? magnitude * kDoublePowers[static_cast<std::size_t>(shift)]
                                         : magnitude / kDoublePowers[static_cast<std::size_t>(-shift)];
        // Below 10^7 the whole part converts exactly and the fraction is
        // an exact subtraction.
        if (!(scaled < 1e7))
            return false;
        const auto whole = static_cast<std::uint32_t>(scaled);
        const double fraction = scaled - whole;
        if (std::fabs(fraction - 0.5) < 1e-8)
            return false;
        const std::uint32_t significand = whole + (fraction > 0.5 ? 1u : 0u);
        if (significand >= kBeyondSix) {
            ++exponent;
        } else if (significand < kLowestSix) {
            --exponent;
        } else {
            AppendGeneral(out, std::signbit(value), significand, exponent);
            return true;
        }
    }
    return false;
}

// Plain decimal text ("-12.5", "3e4") of fewer than 2^24 in its digits and a
// power of ten within 10^10 either way, the f32 nearest to it in one rounding.
// Digits times a power up to 10^10 is one float multiply of exact operands.
// Dividing is slower, so digits are multiplied by 10^-k in double instead:
// that lands within 2^-52 of the quotient, while such a quotient is never a
// float midpoint nor within 2^-48 of one, so rounding the double to f32
// still gives the nearest f32. Returns the end of the number, or nullptr for
// text left to from_chars.
const char* ReadDecimalQuickly(const char* first, const char* last, float& value)
{
    constexpr std::uint32_t kExactLimit = 1u << 24;
    std::uint32_t digits = 0;
    int exponent = 0;
    bool any = false;
    const char* p = first;
    for (; p != last && IsDigit(*p); ++p, any = true) {
        digits = digits * 10 + static_cast<std::uint32_t>(*p - '0');
        if (digits >= kExactLimit)
            return nullptr;
    }
    if (p != last && *p == '.') {
        for (++p; p != last && IsDigit(*p); ++p, any = true, --exponent) {
            digits = digits * 10 + static_cast<std::uint32_t>(*p - '0');
            if (digits >= kExactLimit)
                return nullptr;
        }
    }
    if (!any)
        return nullptr;
    if (p != last && (*p | 0x20) == 'e') {
        const char* mark = p++;
        const bool negative = p != last && *p == '-';
        if (p != last && (*p == '-' || *p == '+'))
            ++p;
        int written = 0;
        const char* exponentDigits = p;
        for (; p != last && IsDigit(*p) && written < 100; ++p)
            written = written * 10 + (*p - '0');
        if (p == exponentDigits)
            p = mark;
        else if (p != last && IsDigit(*p))
            return nullptr;
        else
            exponent += negative ? -written : written;
    }
    if (exponent < -10 || exponent > 10)
        return nullptr;
    if (exponent >= 0)
        value = static_cast<float>(digits) * kFloatPowers[static_cast<std::size_t>(exponent)];
    else
        value = static_cast<float>(static_cast<double>(digits) * kInversePowers[static_cast<std::size_t>(-exponent)]);
    return p;
}

} // namespace

bool CNumberText::IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

void CNumberText::AppendInt(std::string& out, std::int32_t value)
{
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, static_cast<std::size_t>(result.ptr - text));
}

void CNumberText::AppendFloat(std::string& out, float value)
{
    if (AppendFloatQuickly(out, value))
        return;
    // to_chars with a precision is defined as printf's "%.*g" in the C
    // locale, which is "%g" for precision 6.
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                                      std::chars_format::general, 6);
    out.append(text, static_cast<std::size_t>(result.ptr - text));
}

std::uint32_t CNumberText::ReadInt(std::string_view text)
{
    std::size_t pos = 0;
    std::uint32_t value = 0;
    ScanInt(text, pos, value);
    return value;
}

float CNumberText::ReadFloat(std::string_view text)
{
    std::size_t pos = 0;
    float value = 0.0f;
    ScanFloat(text, pos, value);
    return value;
}

bool CNumberText::ScanInt(std::string_view text, std::size_t& pos, std::uint32_t& value)
{
    std::size_t at = SkipSpace(text, pos);
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;
    const std::size_t digitsStart = at;
    // Unsigned arithmetic wraps where atoi's signed sum would overflow, and
    // gives the same 32 bits for every number that fits.
    std::uint32_t sum = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
        sum = sum * 10u + static_cast<std::uint32_t>(text[at] - '0');
    if (at == digitsStart)
        return false;
    value = negative ? 0u - sum : sum;
    pos = at;
    return true;
}

// Takes what strtod takes: decimal numbers with an optional point and
// exponent, the "0x" hex form, and inf, infinity and nan (with an optional
// "(chars)"), letters in any case. The result is the f32 nearest to the
// number written, reached in one rounding; going through double first, as
// atof followed by a cast does, can land one unit off.
bool CNumberText::ScanFloat(std::string_view text, std::size_t& pos, float& value)
{
    std::size_t at = SkipSpace(text, pos);
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;
    // from_chars would take a second sign of its own; strtod does not.
    if (at == text.size() || text[at] == '-' || text[at] == '+')
        return false;
    const char* first = text.data() + at;
    const char* last = text.data() + text.size();
    float parsed = 0.0f;
    const char* end = ReadHex(first, last, parsed);
    if (!end)
        end = ReadDecimalQuickly(first, last, parsed);
    if (!end)
        end = ReadDecimal(first, last, parsed);
    if (!end)
        return false;
    value = negative ? -parsed : parsed;
    pos = static_cast<std::size_t>(end - text.data());
    return true;
}

} // namespace qm
