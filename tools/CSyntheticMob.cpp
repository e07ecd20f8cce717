#include "tools/CSyntheticMob.h"

#include "desc/IdKey.h"
#include "platform/LittleEndian.h"

#include <array>

namespace qm::tools {

namespace {

struct IdType {
    std::uint32_t id;
    const char* type;
    const char* name;
};

// Containers first; ids from kUnknownIdBase on have no description.
constexpr std::array<IdType, 3> kContainers = {{
    {0x00010000, "REC", "GROUP"},
    {0x00010001, "REC", "LIST"},
    {0x00010002, "REC", "ENTRY"},
}};
constexpr std::array<IdType, 10> kLeaves = {{
    {0x00020001, "BYTE", "FLAG"},
    {0x00020002, "WORD", "LEVEL"},
    {0x00020003, "DWORD", "COUNT"},
    {0x00020004, "FLOAT", "SCALE"},
    {0x00020005, "STRING", "NAME"},
    {0x00020007, "SCRIPT", "SCRIPT"},
    {0x0002000A, "RECT", "BOUNDS"},
    {0x0002000D, "PLOT", "POSITION"},
    {0x0002000F, "BINARY", "TRIPLE"},
    {0x00020012, "STR_S08", "PAIR"},
}};
constexpr std::uint32_t kUnknownIdBase = 0x00090000;

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }

private:
    std::uint64_t m_state;
};

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    const std::size_t at = out.size();
    out.resize(at + 4);
    le::WriteU32(out.data() + at, value);
}

} // namespace

std::string CSyntheticMob::DescriptionText()
{
    std::string text;
    for (const auto& list : {std::vector<IdType>(kContainers.begin(), kContainers.end()),
                             std::vector<IdType>(kLeaves.begin(), kLeaves.end())}) {
        for (const IdType& entry : list) {
            text += TypeIdText(entry.id) + '\t' + entry.type + '\t' + entry.name + "\tsynthetic " + entry.type + "\r\n";
        }
    }
    return text;
}

std::vector<std::uint32_t> CSyntheticMob::ContainerIds()
{
    std::vector<std::uint32_t> ids;
    for (const IdType& entry : kContainers)
        ids.push_back(entry.id);
    return ids;
}

std::vector<std::uint8_t> CSyntheticMob::Generate(const SyntheticOptions& options)
{
    Random random(options.seed);
    std::vector<std::uint8_t> out;
    out.reserve(options.chunkCount * (options.maxPayload / 2 + 8));
    std::vector<std::size_t> open;  // header offsets of the open containers

    auto closeOne = [&] {
        const std::size_t start = open.back();
        open.pop_back();
        le::WriteU32(out.data() + start + 4, static_cast<std::uint32_t>(out.size() - start));
    };

    for (std::size_t made = 0; made < options.chunkCount; ++made) {
        const std::uint32_t roll = random.Below(100);
        if (!open.empty() && roll < 12) {
            closeOne();
            --made;  // closing makes no chunk
            continue;
        }
        if (static_cast<int>(open.size()) < options.maxDepth && roll < 22) {
            open.push_back(out.size());
            AppendU32(out, kContainers[random.Below(kContainers.size())].id);
            AppendU32(out, 0);
            continue;
        }
        const std::uint32_t pick = random.Below(kLeaves.size() + 2);
        const std::uint32_t id = pick < kLeaves.size() ? kLeaves[pick].id : kUnknownIdBase + pick;
        const std::uint32_t size = random.Below(options.maxPayload + 1);
        AppendU32(out, id);
        AppendU32(out, size + 8);
        const std::size_t at = out.size();
        out.resize(at + size);
        for (std::uint32_t i = 0; i < size; i += 8) {
            const std::uint64_t bits = random.Next();
            for (std::uint32_t j = 0; j < 8 && i + j < size; ++j)
                out[at + i + j] = static_cast<std::uint8_t>(bits >> (8 * j));
        }
    }
    while (!open.empty())
        closeOne();
    return out;
}

} // namespace qm::tools
