#include "tools/CTypedSampleMob.h"

#include "tools/ChunkBuilder.h"

#include "codec/CryptScriptData.h"
#include "desc/DataType.h"
#include "platform/LittleEndian.h"

#include <array>
#include <cmath>
#include <random>
#include <string>

namespace qm::tools {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<const char*, 16> kSyllables = {"ar", "bel", "cor", "dun", "el", "fen", "gar", "hol",
                                                    "ir", "kas", "lum", "mor", "nor", "ost", "ran", "vel"};
constexpr std::array<const char*, 10> kWords = {"the", "gate", "is", "closed", "bring", "me", "gold",
                                                "north", "beware", "tonight"};
constexpr std::array<const char*, 8> kStatements = {
    "if (gold > {n}) {",    "  give(player, {n})", "}",           "wait({n})",
    "say(\"{w} {w} {w}\")", "set flag_{n} = 1",    "move(unit, {n}, {n})", "end",
};

class Maker {
public:
    explicit Maker(std::uint64_t seed) : m_random(seed) {}

    std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(m_random() % bound); }
    bool Chance(std::uint32_t percent) { return Below(100) < percent; }
    std::int32_t Between(std::int32_t low, std::int32_t high)
    {
        return low + static_cast<std::int32_t>(Below(static_cast<std::uint32_t>(high - low + 1)));
    }
    // A float as game data holds it: a few digits after the point.
    float Decimal(float low, float high, int digits)
    {
        const float scale = std::pow(10.0f, static_cast<float>(digits));
        const auto steps = static_cast<std::uint32_t>((high - low) * scale);
        return low + static_cast<float>(Below(steps + 1)) / scale;
    }

    std::string Name()
    {
        std::string name;
        const std::uint32_t parts = 2 + Below(3);
        for (std::uint32_t i = 0; i < parts; ++i)
            name += kSyllables[Below(kSyllables.size())];
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        if (Chance(30))
            name += std::string(" ") + kWords[Below(kWords.size())];
        return name;
    }

    std::string Sentence()
    {
        std::string text = Name();
        const std::uint32_t words = 2 + Below(8);
        for (std::uint32_t i = 0; i < words; ++i)
            text += std::string(" ") + kWords[Below(kWords.size())];
        return text + (Chance(50) ? "." : "!");
    }

    std::string Script()
    {
        std::string script;
        const std::uint32_t lines = 2 + Below(9);
        for (std::uint32_t i = 0; i < lines; ++i) {
            std::string line = kStatements[Below(kStatements.size())];
            for (std::size_t at; (at = line.find("{n}")) != std::string::npos;)
                line.replace(at, 3, std::to_string(Below(500)));
            for (std::size_t at; (at = line.find("{w}")) != std::string::npos;)
                line.replace(at, 3, kWords[Below(kWords.size())]);
            script += line + "\n";
        }
        return script;
    }

private:
    std::mt19937_64 m_random;
};

void PutU32(Bytes& out, std::uint32_t value)
{
    const std::size_t at = out.size();
    out.resize(at + 4);
    le::WriteU32(out.data() + at, value);
}

void PutI32(Bytes& out, std::int32_t value)
{
    PutU32(out, static_cast<std::uint32_t>(value));
}

void PutF32(Bytes& out, float value)
{
    const std::size_t at = out.size();
    out.resize(at + 4);
    le::WriteF32(out.data() + at, value);
}

void PutText(Bytes& out, const std::string& text, bool finalZero)
{
    out.insert(out.end(), text.begin(), text.end());
    if (finalZero)
        out.push_back(0);
}

// How one id's values look, fixed for all of its chunks.
struct Style {
    std::uint32_t kind = 0;
    std::uint32_t size = 0;
};

Bytes Payload(std::int32_t type, std::uint32_t id, const Style& style, Maker& m)
{
    Bytes out;
    switch (type) {
    case DT_BYTE:
        out.push_back(static_cast<std::uint8_t>(style.kind == 0 ? m.Below(2) : m.Below(style.kind == 1 ? 101 : 256)));
        break;
    case DT_WORD: {
        const auto value = static_cast<std::uint16_t>(style.kind == 0 ? 1 + m.Below(100) : m.Below(65536));
        out = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
        break;
    }
    case DT_DWORD:
        switch (style.kind) {
        case 0: PutI32(out, m.Between(0, 1000)); break;                          // a count
        case 1: PutI32(out, m.Between(0, 2000000)); break;                       // gold
        case 2: PutU32(out, 0x00020000u + m.Below(64)); break;                   // an id
        default: PutI32(out, m.Chance(50) ? -1 : m.Between(-50, 50)); break;     // a signed setting
        }
        break;
    case DT_FLOAT:
        switch (style.kind) {
        case 0: PutF32(out, m.Decimal(0.5f, 10.0f, 2)); break;                  // a scale
        case 1: PutF32(out, m.Decimal(-1000.0f, 1000.0f, 1)); break;            // a coordinate
        default: PutF32(out, m.Chance(20) ? 1.0f : m.Decimal(0.0f, 1.0f, 3)); break;  // a share
        }
        break;
    case DT_STRING:
        PutText(out, style.kind == 0 ? m.Name() : m.Sentence(), m.Chance(40));
        break;
    case DT_SCRIPT:
        PutText(out, m.Script(), m.Chance(30));
        break;
    case DT_SCRIPT_ENC: {
        PutU32(out, static_cast<std::uint32_t>(m.Below(0xFFFFFFFFu)));
        PutText(out, m.Script(), m.Chance(30));
        CryptScriptData(le::ReadU32(out.data()), out.data() + 4, static_cast<std::uint32_t>(out.size() - 4));
        break;
    }
    case DT_STR_SAR: {
        const std::uint32_t count = m.Chance(10) ? 0 : 1 + m.Below(8);
        PutU32(out, count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::string text = m.Chance(5) ? std::string() : m.Sentence();
            PutU32(out, id);
            PutU32(out, static_cast<std::uint32_t>(text.size() + 8));
            PutText(out, text, false);
        }
        break;
    }
    case DT_RECT: {
        const std::int32_t left = m.Between(0, 1600);
        const std::int32_t top = m.Between(0, 900);
        PutI32(out, left);
        PutI32(out, top);
        PutI32(out, left + m.Between(16, 512));
        PutI32(out, top + m.Between(16, 512));
        break;
    }
    case DT_STR_S01:
    case DT_STR_S02: {
        const std::uint32_t values = type == DT_STR_S01 ? 3 : 2;
        const std::uint32_t count = m.Chance(5) ? 0 : 1 + m.Below(30);
        PutU32(out, count);
        for (std::uint32_t i = 0; i < count * values; ++i)
            PutF32(out, m.Decimal(-2000.0f, 2000.0f, 2));
        break;
    }
    case DT_PLOT:
        PutF32(out, m.Decimal(-2000.0f, 2000.0f, 2));
        PutF32(out, style.kind == 0 ? 0.0f : m.Decimal(-50.0f, 200.0f, 2));
        PutF32(out, m.Decimal(-2000.0f, 2000.0f, 2));
        break;
    case DT_QUATERNION: {
        if (m.Chance(20)) {
            for (const float v : {0.0f, 0.0f, 0.0f, 1.0f})
                PutF32(out, v);
            break;
        }
        // A turn about the vertical axis, as most facings are.
        const float angle = m.Decimal(0.0f, 6.28f, 2);
        for (const float v : {0.0f, std::sin(angle / 2), 0.0f, std::cos(angle / 2)})
            PutF32(out, v);
        break;
    }
    case DT_BINARY:
        for (int i = 0; i < 3; ++i)
            PutI32(out, m.Between(0, 500));
        break;
    case DT_STR_S06: {
        for (int i = 0; i < 4; ++i)
            PutI32(out, m.Between(0, 100));
        for (int i = 0; i < 10; ++i)
            PutF32(out, m.Decimal(0.0f, 100.0f, 1));
        out.push_back(static_cast<std::uint8_t>(m.Below(10)));
        out.push_back(static_cast<std::uint8_t>(m.Below(10)));
        out.insert(out.end(), 2, 0);
        for (int i = 0; i < 13; ++i)
            PutF32(out, m.Decimal(0.0f, 100.0f, 1));
        out.push_back(static_cast<std::uint8_t>(m.Below(4)));
        out.insert(out.end(), 3, 0);
        for (int i = 0; i < 12; ++i)
            PutF32(out, m.Decimal(0.0f, 100.0f, 1));
        for (int i = 0; i < 6; ++i)
            out.push_back(static_cast<std::uint8_t>(m.Below(20)));
        out.insert(out.end(), style.size, 0);
        break;
    }
    case DT_DIPLOMACY: {
        std::array<std::array<std::int32_t, 32>, 32> table{};
        for (std::size_t a = 0; a < 32; ++a) {
            for (std::size_t b = a + 1; b < 32; ++b)
                table[a][b] = table[b][a] = style.kind == 0 ? m.Between(-100, 100) : m.Between(0, 3);
        }
        for (const auto& row : table) {
            for (const std::int32_t value : row)
                PutI32(out, value);
        }
        break;
    }
    case DT_STR_S08:
        if (style.kind == 0) {
            PutI32(out, m.Between(1, 99));           // a level
            PutI32(out, m.Between(0, 50000));        // and its experience
        } else {
            PutI32(out, 8 * m.Between(1, 8));        // a size in tiles
            PutI32(out, 8 * m.Between(1, 8));
        }
        break;
    default: {
        // Layouts nobody has described: records of mixed values.
        const std::uint32_t words = 5 + m.Below(25);
        for (std::uint32_t i = 0; i < words; ++i) {
            if (i % 3 == 2)
                PutF32(out, m.Decimal(-100.0f, 100.0f, 2));
            else
                PutI32(out, m.Between(0, 300));
        }
        break;
    }
    }
    return out;
}

struct Node {
    std::uint32_t id;
    Bytes payload;                 // a leaf's
    std::vector<std::size_t> kids; // a container's, by index into the nodes
};

void Emit(const std::vector<Node>& nodes, std::size_t index, ChunkBuilder& builder)
{
    const Node& node = nodes[index];
    if (node.payload.empty() && !node.kids.empty()) {
        builder.Begin(node.id);
        for (const std::size_t kid : node.kids)
            Emit(nodes, kid, builder);
        builder.End();
        return;
    }
    builder.Chunk(node.id, node.payload);
}

} // namespace

TypedSample CTypedSampleMob::Generate(const TypedSampleOptions& options)
{
    Maker m(options.seed);
    TypedSample sample;
    std::vector<Node> nodes;
    std::vector<std::size_t> containers;
    std::vector<std::size_t> leaves;
    for (std::int32_t type = DT_BYTE; type < kDataTypeCount; ++type) {
        for (std::uint32_t j = 0; j < options.idsPerType; ++j) {
            const std::uint32_t id = 0x00100000u | static_cast<std::uint32_t>(type) << 8 | j;
            sample.truth[id] = type;
            const Style style{m.Below(4), m.Below(8)};
            const std::uint32_t chunks = 1 + m.Below(options.maxChunksPerId);
            for (std::uint32_t c = 0; c < chunks; ++c) {
                (type == DT_REC ? containers : leaves).push_back(nodes.size());
                nodes.push_back({id, type == DT_REC ? Bytes() : Payload(type, id, style, m), {}});
            }
        }
    }
    // Containers form a forest: each lies at the top or in one made before
    // it, and every leaf lies in a container or, now and then, at the top.
    std::vector<std::size_t> top;
    for (std::size_t i = 0; i < containers.size(); ++i) {
        if (i == 0 || m.Chance(30))
            top.push_back(containers[i]);
        else
            nodes[containers[m.Below(static_cast<std::uint32_t>(i))]].kids.push_back(containers[i]);
    }
    for (const std::size_t leaf : leaves) {
        if (m.Chance(10))
            top.push_back(leaf);
        else
            nodes[containers[m.Below(static_cast<std::uint32_t>(containers.size()))]].kids.push_back(leaf);
    }
    ChunkBuilder builder;
    for (const std::size_t index : top)
        Emit(nodes, index, builder);
    sample.bytes = builder.Bytes();
    return sample;
}

} // namespace qm::tools
