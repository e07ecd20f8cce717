#include "inspect/CIdEvidence.h"

#include "codec/CryptScriptData.h"
#include "desc/DataType.h"
#include "inspect/CPayloadShape.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace qm {

namespace {

// The layouts a payload can fit, as bits; an id keeps those that every one
// of its payloads fitted.
enum Fit : std::uint32_t {
    kFitRec = 1u << 0,
    kFitText = 1u << 1,
    kFitScriptEnc = 1u << 2,
    kFitDiplomacy = 1u << 3,
    kFitStrSar = 1u << 4,
    kFitS01 = 1u << 5,
    kFitS02 = 1u << 6,
    kFit1 = 1u << 7,
    kFit2 = 1u << 8,
    kFit4 = 1u << 9,
    kFit8 = 1u << 10,
    kFit12 = 1u << 11,
    kFit16 = 1u << 12,
    kFitAll = (1u << 13) - 1,
};

constexpr std::uint32_t kKeySize = 4;
constexpr std::uint32_t kDiplomacySize = 4096;
// Deciphering stops after this many bytes unless they read as text.
constexpr std::size_t kScriptProbe = 32;
constexpr std::size_t kChildIdsKept = 32;
constexpr std::uint32_t kChildrenNoted = 4096;
constexpr int kMaxScore = 97;
// A runner-up closer than this costs the winner confidence.
constexpr int kClearLead = 20;

enum class Word { Zero, Float, Int, Other };

// Game data holds small integers (counts, ids, coordinates) and floats of
// everyday magnitude. A small integer read as a float is a denormal, so the
// two never overlap.
Word ClassifyWord(std::uint32_t bits)
{
    if ((bits & 0x7FFFFFFFu) == 0)
        return Word::Zero;
    const auto value = std::bit_cast<std::int32_t>(bits);
    if (value > -(1 << 24) && value < (1 << 24))
        return Word::Int;
    const float f = std::bit_cast<float>(bits);
    const float magnitude = std::fabs(f);
    if (std::isnormal(f) && magnitude >= 1e-6f && magnitude <= 1e9f)
        return Word::Float;
    return Word::Other;
}

bool IsEmptyText(CIdEvidence::Bytes text)
{
    return text.empty() || (text.size() == 1 && text[0] == 0);
}

std::string Every(std::uint32_t n)
{
    return n == 1 ? "the payload" : "each of the " + std::to_string(n) + " payloads";
}

std::string Range(std::uint32_t low, std::uint32_t high, const char* unit)
{
    if (low == high)
        return std::to_string(low) + " " + unit;
    return std::to_string(low) + " to " + std::to_string(high) + " " + unit;
}

int Percent(std::uint64_t part, std::uint64_t whole)
{
    return whole == 0 ? 0 : static_cast<int>((part * 100 + whole / 2) / whole);
}

int Clamp(int score)
{
    return std::clamp(score, 1, kMaxScore);
}

std::string Count(std::uint64_t n, const char* thing)
{
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

// The fixed layouts of 4, 8, 12 and 16 bytes, by whether their values are
// floats or integers; no 8-byte layout holds floats.
struct Sized {
    std::uint32_t fit;
    std::uint32_t size;
    std::int32_t floats;
    std::int32_t integers;
};

constexpr std::array<Sized, 4> kSized = {{
    {kFit4, 4, DT_FLOAT, DT_DWORD},
    {kFit8, 8, DT_NULL, DT_STR_S08},
    {kFit12, 12, DT_PLOT, DT_BINARY},
    {kFit16, 16, DT_QUATERNION, DT_RECT},
}};

} // namespace

void CIdEvidence::Add(Bytes payload, Context context)
{
    AddPayload(payload, context, true);
}

void CIdEvidence::AddPayload(Bytes payload, Context context, bool testList)
{
    const auto size = static_cast<std::uint32_t>(payload.size());
    if (m_nChunks == 0) {
        m_nFits = kFitAll;
        m_nFirstContext = context;
        m_nMinSize = m_nMaxSize = size;
    } else {
        m_bSeveralContexts = m_bSeveralContexts || context != m_nFirstContext;
        m_nMinSize = std::min(m_nMinSize, size);
        m_nMaxSize = std::max(m_nMaxSize, size);
    }
    ++m_nChunks;
    // An empty payload is an empty container or an empty text; it says
    // nothing more.
    if (size == 0) {
        m_nFits &= kFitRec | kFitText;
        return;
    }
    ++m_nNonEmpty;

    const std::uint32_t open = m_nFits;
    std::uint32_t fits = 0;
    if ((open & kFitRec) != 0 && (!testList || AddChunkList(payload)))
        fits |= kFitRec;
    if ((open & kFitText) != 0 && AddText(payload))
        fits |= kFitText;
    if ((open & kFitScriptEnc) != 0 && AddScriptEnc(payload))
        fits |= kFitScriptEnc;
    if ((open & kFitDiplomacy) != 0 && size == kDiplomacySize)
        fits |= kFitDiplomacy;
    if ((open & kFitStrSar) != 0 && AddStrSar(payload))
        fits |= kFitStrSar;
    if ((open & kFitS01) != 0 && AddFloatList(payload, 3))
        fits |= kFitS01;
    if ((open & kFitS02) != 0 && AddFloatList(payload, 2))
        fits |= kFitS02;
    switch (size) {
    case 1: fits |= open & kFit1; break;
    case 2: fits |= open & kFit2; break;
    case 4: fits |= open & kFit4; break;
    case 8: fits |= open & kFit8; break;
    case 12: fits |= open & kFit12; break;
    case 16: fits |= open & kFit16; break;
    default: break;
    }
    if ((fits & (kFit4 | kFit8 | kFit12 | kFit16 | kFitDiplomacy)) != 0)
        AddWords(payload);

    m_nFits = open & fits;
    if ((m_nFits & kFitRec) == 0) {
        m_walkable.clear();
        m_walkable.shrink_to_fit();
        m_nWalked = 0;
    }
}

bool CIdEvidence::AddChunkList(Bytes payload)
{
    // One pass over the headers: the biggest containers hold most of the file.
    static thread_local std::vector<std::uint32_t> childIds;
    if (!CPayloadShape::IsChunkList(payload, &childIds))
        return false;
    for (const std::uint32_t childId : childIds)
        NoteChild(childId);
    EndList(true, static_cast<std::uint32_t>(childIds.size()));
    m_walkable.push_back(payload);
    return true;
}

void CIdEvidence::NoteChild(std::uint32_t childId)
{
    // The first children tell which ids a container holds as well as all
    // of them would.
    if (m_nNotedChildren == kChildrenNoted || m_childIds.size() == kChildIdsKept)
        return;
    ++m_nNotedChildren;
    if (std::find(m_childIds.begin(), m_childIds.end(), childId) == m_childIds.end())
        m_childIds.push_back(childId);
}

void CIdEvidence::EndList(bool filled, std::uint32_t children)
{
    if (!filled) {
        m_nFits &= ~kFitRec;
        return;
    }
    m_nChildren += children;
    if (children >= 2)
        ++m_nListsOfSeveral;
}

bool CIdEvidence::AddText(Bytes payload)
{
    const CPayloadShape::Text text = CPayloadShape::CheckText(payload);
    if (!text.isText)
        return false;
    m_nMinText = m_nTextChars == 0 ? text.chars : std::min(m_nMinText, text.chars);
    m_nMaxText = std::max(m_nMaxText, text.chars);
    m_nTextChars += text.chars;
    m_nHighChars += text.highChars;
    m_nLfPayloads += text.hasLf ? 1 : 0;
    m_nCrPayloads += text.hasCr ? 1 : 0;
    return true;
}

bool CIdEvidence::AddScriptEnc(Bytes payload)
{
    if (payload.size() < kKeySize)
        return false;
    // A key alone is an empty script.
    if (payload.size() == kKeySize)
        return true;
    const std::uint32_t key = le::ReadU32(payload.data());
    const Bytes script = payload.subspan(kKeySize);
    // Most payloads are not scripts, and their first bytes already say so.
    std::array<std::uint8_t, kScriptProbe> probe{};
    const std::size_t probed = std::min(script.size(), kScriptProbe);
    std::copy_n(script.begin(), probed, probe.begin());
    CryptScriptData(key, probe.data(), static_cast<std::uint32_t>(probed));
    if (probed < script.size() && probe[probed - 1] == 0)
        return false;
    CPayloadShape::Text text = CPayloadShape::CheckText(Bytes(probe.data(), probed));
    if (!text.isText)
        return false;
    if (probed < script.size()) {
        std::vector<std::uint8_t> plain(script.begin(), script.end());
        CryptScriptData(key, plain.data(), static_cast<std::uint32_t>(plain.size()));
        text = CPayloadShape::CheckText(plain);
        if (!text.isText)
            return false;
    }
    m_nDecipheredChars += text.chars;
    m_nDecipheredHigh += text.highChars;
    ++m_nDeciphered;
    return true;
}

bool CIdEvidence::AddStrSar(Bytes payload)
{
    bool allText = true;
    std::uint64_t ownIds = 0;
    const auto records = CPayloadShape::StrSarRecords(payload, [&](std::uint32_t recordId, Bytes text) {
        ownIds += recordId == m_nId ? 1 : 0;
        allText = allText && (IsEmptyText(text) || CPayloadShape::CheckText(text).isText);
    });
    if (!records || !allText)
        return false;
    m_nSarRecords += *records;
    m_nSarOwnIds += ownIds;
    return true;
}

bool CIdEvidence::AddFloatList(Bytes payload, std::uint32_t valuesPerEntry)
{
    const auto count = CPayloadShape::FloatListCount(payload, valuesPerEntry);
    if (!count)
        return false;
    for (std::size_t at = 4; at < payload.size(); at += 4) {
        const Word word = ClassifyWord(le::ReadU32(payload.data() + at));
        if (word != Word::Zero && word != Word::Float)
            return false;
    }
    const std::size_t list = valuesPerEntry == 3 ? 0 : 1;
    m_nEntries[list] += *count;
    m_nMinEntries[list] = std::min(m_nMinEntries[list], *count);
    m_nMaxEntries[list] = std::max(m_nMaxEntries[list], *count);
    return true;
}

void CIdEvidence::AddWords(Bytes payload)
{
    for (std::size_t at = 0; at + 4 <= payload.size(); at += 4) {
        switch (ClassifyWord(le::ReadU32(payload.data() + at))) {
        case Word::Zero: ++m_nZeroWords; break;
        case Word::Float: ++m_nFloatWords; break;
        case Word::Int: ++m_nIntWords; break;
        case Word::Other: ++m_nOtherWords; break;
        }
    }
}

int CIdEvidence::Bonus() const
{
    if (m_nNonEmpty >= 3)
        return 5;
    return m_nNonEmpty == 2 ? 2 : 0;
}

CIdEvidence::Scores CIdEvidence::Score(const KnownChild& known, bool notRec) const
{
    Scores scores;
    if (m_nNonEmpty == 0)
        return scores;
    auto add = [&scores](std::int32_t type, int score) { scores.items[scores.count++] = {type, Clamp(score)}; };

    if ((m_nFits & kFitRec) != 0 && m_nChildren != 0 && !notRec) {
        // One payload whose one chunk fills it is easily a pair of integers
        // that happens to hold its own size; several chunks, payloads of
        // several sizes and child ids met elsewhere are what containers show.
        const std::uint64_t knownIds = KnownChildIds(known);
        const bool several = m_nListsOfSeveral > 0;
        const int sizesVary = m_nMinSize == m_nMaxSize ? 0 : (several || knownIds > 0 ? 15 : 5);
        add(DT_REC, 35 + static_cast<int>(30 * knownIds / m_childIds.size()) + (several ? 15 : 0) + sizesVary + Bonus());
    }
    if ((m_nFits & kFitText) != 0) {
        const std::uint64_t average = m_nTextChars / m_nNonEmpty;
        const int highPenalty = m_nHighChars * 10 > m_nTextChars ? 10 : 0;
        add(IsScript() ? DT_SCRIPT : DT_STRING,
            50 + 2 * static_cast<int>(std::min<std::uint64_t>(average, 20)) - highPenalty + Bonus());
    }
    if ((m_nFits & kFitScriptEnc) != 0 && m_nDeciphered > 0) {
        // Any few bytes decipher to text now and then, so the score weighs
        // how far past chance the text is. Random bytes give an ASCII
        // character once in 2.6 tries, a script nearly always: 1.3 bits of
        // evidence. Random bytes give a byte from 0x80 up every other try, a
        // script seldom: 4 bits against. Bytes that are text already were
        // never enciphered.
        const std::uint64_t ascii = m_nDecipheredChars - m_nDecipheredHigh;
        const auto tenthBits = static_cast<std::int64_t>(13 * ascii) - static_cast<std::int64_t>(40 * m_nDecipheredHigh);
        add(DT_SCRIPT_ENC, 20 + static_cast<int>(std::clamp<std::int64_t>(tenthBits / 5, 0, 75)) + Bonus() -
                               ((m_nFits & kFitText) != 0 ? 40 : 0));
    }
    const std::uint64_t nonZero = m_nFloatWords + m_nIntWords + m_nOtherWords;
    if ((m_nFits & kFitDiplomacy) != 0)
        add(DT_DIPLOMACY, 80 + (nonZero == 0 ? 6 : static_cast<int>(12 * m_nIntWords / nonZero)) + Bonus());
    if ((m_nFits & kFitStrSar) != 0) {
        // A record that carries the id of its own list is no coincidence.
        add(DT_STR_SAR, m_nSarRecords == 0 ? 20
                                           : 60 + static_cast<int>(35 * m_nSarOwnIds / m_nSarRecords) +
                                                 (m_nSarRecords >= 2 ? 5 : 0) + Bonus());
    }
    for (std::size_t list = 0; list < 2; ++list) {
        if ((m_nFits & (list == 0 ? kFitS01 : kFitS02)) == 0)
            continue;
        add(list == 0 ? DT_STR_S01 : DT_STR_S02,
            m_nEntries[list] == 0 ? 20
                                  : 65 + (m_nMaxEntries[list] >= 2 ? 15 : 0) +
                                        (m_nMinEntries[list] != m_nMaxEntries[list] ? 10 : 0) + Bonus());
    }
    if ((m_nFits & kFit1) != 0)
        add(DT_BYTE, 85 + Bonus());
    if ((m_nFits & kFit2) != 0)
        add(DT_WORD, 85 + Bonus());
    for (const Sized& sized : kSized) {
        if ((m_nFits & sized.fit) == 0)
            continue;
        if (nonZero == 0) {
            add(sized.integers, 30);
            continue;
        }
        const bool floats = LooksLikeFloats();
        const std::uint64_t alike = floats ? m_nFloatWords : m_nIntWords;
        const std::uint64_t unlike = floats ? m_nIntWords : m_nFloatWords;
        // Floats and integers side by side in one layout are not what these
        // layouts hold, and a few values that look like neither (as text
        // does) soon make the layout unlikely.
        const int score =
            30 + static_cast<int>(65 * alike * alike / (nonZero * nonZero)) - (unlike > 0 ? 25 : 0) + Bonus();
        if (floats && sized.floats == DT_NULL)
            add(sized.integers, std::min(score, 35));  // no 8-byte layout holds floats
        else
            add(floats ? sized.floats : sized.integers, score);
    }
    // Ties go to the layout scored first, the one whose shape says most.
    std::stable_sort(scores.items.begin(), scores.items.begin() + static_cast<std::ptrdiff_t>(scores.count),
                     [](const Scored& a, const Scored& b) { return a.score > b.score; });
    return scores;
}

bool CIdEvidence::LeansToRec(const KnownChild& known) const
{
    const Scores scores = Score(known);
    return scores.count > 0 && scores.items[0].dataType == DT_REC;
}

TypeGuess CIdEvidence::Judge(const KnownChild& known, bool notRec) const
{
    TypeGuess guess{m_nId, m_nChunks, DT_NULL, 0, {}};
    if (m_nNonEmpty == 0) {
        guess.reason = m_nChunks == 1 ? "the payload is empty" : "every payload is empty";
        return guess;
    }
    const Scores scores = Score(known, notRec);
    if (scores.count == 0) {
        guess.reason = "no layout fits " + (m_nChunks == 1 ? std::string("the payload")
                                                           : "all " + std::to_string(m_nChunks) + " payloads") +
                       " (" + Range(m_nMinSize, m_nMaxSize, "bytes") + ")";
        return guess;
    }
    const Scored& best = scores.items[0];
    guess.dataType = best.dataType;
    guess.confidence = best.score;
    guess.reason = Reason(best.dataType, known);
    if (scores.count > 1) {
        const Scored& runnerUp = scores.items[1];
        const int lead = best.score - runnerUp.score;
        if (lead < kClearLead) {
            guess.confidence = Clamp(best.score - (kClearLead - lead + 1) / 2);
            guess.reason += "; " + std::string(kDataTypeNames[static_cast<std::size_t>(runnerUp.dataType)]) + " fits too";
        }
    }
    return guess;
}

std::string CIdEvidence::Reason(std::int32_t dataType, const KnownChild& known) const
{
    const std::string every = Every(m_nNonEmpty);
    switch (dataType) {
    case DT_REC:
        return every + " is a chunk list that fills it exactly (" + Count(m_nChildren, "chunk") + "; " +
               std::to_string(KnownChildIds(known)) + " of " + Count(m_childIds.size(), "child id") +
               " also found elsewhere)";
    case DT_STRING:
    case DT_SCRIPT: {
        std::string reason = every + " is printable text (" + Range(m_nMinText, m_nMaxText, "characters");
        if (IsScript())
            reason += ", LF line ends in " + std::to_string(m_nLfPayloads);
        else if (m_nCrPayloads > 0)
            reason += ", CR in " + std::to_string(m_nCrPayloads);
        return reason + ")";
    }
    case DT_SCRIPT_ENC:
        return every + " deciphers with its first 4 bytes as the key to printable text (" +
               std::to_string(m_nDecipheredChars / m_nDeciphered) + " characters on average)";
    case DT_DIPLOMACY: {
        const std::uint64_t nonZero = m_nFloatWords + m_nIntWords + m_nOtherWords;
        return every + " is 4096 bytes, 1024 values (" +
               (nonZero == 0 ? std::string("all zero")
                             : std::to_string(Percent(m_nIntWords, nonZero)) + "% of those not zero small integers") +
               ")";
    }
    case DT_STR_SAR:
        return every + " is a count and string records that fill it exactly (" + Count(m_nSarRecords, "record") +
               ", " + std::to_string(m_nSarOwnIds) + " carrying this id)";
    case DT_STR_S01:
        return every + " is a count and float triples that fill it exactly (" + Count(m_nEntries[0], "triple") + ")";
    case DT_STR_S02:
        return every + " is a count and float pairs that fill it exactly (" + Count(m_nEntries[1], "pair") + ")";
    case DT_BYTE:
        return every + " is 1 byte";
    case DT_WORD:
        return every + " is 2 bytes";
    default:
        break;
    }
    for (const Sized& sized : kSized) {
        if ((m_nFits & sized.fit) == 0)
            continue;
        const std::string size = every + " is " + std::to_string(sized.size) + " bytes";
        const std::uint64_t nonZero = m_nFloatWords + m_nIntWords + m_nOtherWords;
        if (nonZero == 0)
            return size + " (every value zero)";
        const bool floats = LooksLikeFloats();
        return size + " (" + std::to_string(floats ? m_nFloatWords : m_nIntWords) + " of " + std::to_string(nonZero) +
               " values not zero look like " + (floats ? "floats" : "integers") + ")";
    }
    return every;
}

std::uint64_t CIdEvidence::KnownChildIds(const KnownChild& known) const
{
    return static_cast<std::uint64_t>(
        std::count_if(m_childIds.begin(), m_childIds.end(), [&](std::uint32_t child) { return known(child, m_nId); }));
}

bool CIdEvidence::IsScript() const
{
    return m_nLfPayloads > 0 && m_nCrPayloads == 0;
}

bool CIdEvidence::LooksLikeFloats() const
{
    return m_nFloatWords > m_nIntWords;
}

} // namespace qm
