#include "codec/CPayloadTextForm.h"

#include "codec/CAnsiText.h"
#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "mob/CMobChunk.h"

#include <cstring>

namespace qm {

namespace {

// The data pane's line breaks are CR LF, the travelling text's LF.
void CrLfToLf(std::string& text)
{
    std::size_t cr = text.find("\r\n");
    if (cr == std::string::npos)
        return;
    std::size_t out = cr;
    for (std::size_t in = cr; in < text.size(); ++in) {
        if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n')
            continue;
        text[out++] = text[in];
    }
    text.resize(out);
}

void LfToCrLf(std::string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n')) {
        out.append(text.substr(0, lf));
        out.append("\r\n");
        text.remove_prefix(lf + 1);
    }
    out.append(text);
}

// A LF that is no part of a CR LF would come back as one.
bool HasLoneLf(std::string_view text)
{
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n', lf + 1)) {
        if (lf == 0 || text[lf - 1] != '\r')
            return true;
    }
    return false;
}

// Text applied as the data pane's Apply does, onto base (none: an empty
// payload); false when the type's parser refuses it.
bool ParseOnto(std::int32_t dataType, std::uint32_t id, std::optional<std::span<const std::uint8_t>> base,
               std::string_view crLfText, CMobChunk& rec)
{
    const auto size = static_cast<std::uint32_t>(base ? base->size() : 0);
    rec = CMobChunk(size, id, dataType, size ? CPayload::Copy(base->data(), size) : CPayload(), 0);
    return ParseChunkData(rec, crLfText);
}

// Whether text (UTF-8, LF) is what rendered (8-bit, CR LF) travels as,
// without making the travelling text.
bool Travels(std::string_view rendered, std::string_view text)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < rendered.size(); ++i) {
        const char c = rendered[i];
        if (c == '\r' && i + 1 < rendered.size() && rendered[i + 1] == '\n') {
            if (at == text.size() || text[at] != '\n')
                return false;
            ++at;
            ++i;
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x80) {
            if (at == text.size() || text[at] != c)
                return false;
            ++at;
            continue;
        }
        const std::string_view utf8 = CAnsiText::Utf8Of(static_cast<unsigned char>(c));
        if (text.size() - at < utf8.size())
            return false;
        for (const char u : utf8) {
            if (text[at++] != u)
                return false;
        }
    }
    return at == text.size();
}

bool Holds(const CMobChunk& rec, std::span<const std::uint8_t> payload)
{
    const std::uint32_t held = rec.m_pData ? rec.m_nSize : 0;
    return held == payload.size() && (held == 0 || std::memcmp(rec.m_pData.get(), payload.data(), held) == 0);
}

} // namespace

bool CPayloadTextForm::HasText(std::int32_t dataType)
{
    return HasTextForm(dataType);
}

void CPayloadTextForm::TravelText(std::int32_t dataType, std::span<const std::uint8_t> payload, std::string& out)
{
    std::string rendered = FormatChunkData(dataType, payload.data(), static_cast<std::uint32_t>(payload.size()));
    CrLfToLf(rendered);
    out.clear();
    CAnsiText::AppendUtf8(out, rendered);
}

void CPayloadTextForm::Unpack(std::int32_t dataType, std::uint32_t id, std::span<const std::uint8_t> payload,
                              Unpacked& out, Scratch& scratch)
{
    out.hasText = HasText(dataType);
    out.text.clear();
    out.needsBytes = true;
    if (!out.hasText)
        return;
    scratch.rendered = FormatChunkData(dataType, payload.data(), static_cast<std::uint32_t>(payload.size()));
    // What packing the text alone would parse: the rendering itself, unless
    // a lone LF in it would come back as CR LF.
    std::string_view parsed = scratch.rendered;
    if (HasLoneLf(scratch.rendered)) {
        std::string lf = scratch.rendered;
        CrLfToLf(lf);
        LfToCrLf(lf, scratch.eightBit);
        parsed = scratch.eightBit;
    }
    CMobChunk rec;
    out.needsBytes = !ParseOnto(dataType, id, std::nullopt, parsed, rec) || !Holds(rec, payload);
    CrLfToLf(scratch.rendered);
    CAnsiText::AppendUtf8(out.text, scratch.rendered);
}

CPayloadTextForm::Result CPayloadTextForm::Pack(std::int32_t dataType, std::uint32_t id,
                                                std::optional<std::string_view> text,
                                                std::optional<std::span<const std::uint8_t>> bytes,
                                                std::vector<std::uint8_t>& out, Scratch& scratch, std::size_t* badAt)
{
    if (!text && !bytes)
        return Result::NothingGiven;
    if (bytes && text) {
        scratch.rendered = FormatChunkData(dataType, bytes->data(), static_cast<std::uint32_t>(bytes->size()));
        if (Travels(scratch.rendered, *text))
            text.reset();
    }
    if (!text) {
        out.insert(out.end(), bytes->begin(), bytes->end());
        return Result::Ok;
    }
    if (!CAnsiText::FromUtf8(*text, scratch.rendered, badAt))
        return Result::BadCharacter;
    LfToCrLf(scratch.rendered, scratch.eightBit);
    CMobChunk rec;
    if (!ParseOnto(dataType, id, bytes, scratch.eightBit, rec))
        return Result::Refused;
    if (rec.m_pData)
        out.insert(out.end(), rec.m_pData.get(), rec.m_pData.get() + rec.m_nSize);
    return Result::Ok;
}

} // namespace qm
