// Writes the starting corpus of every fuzz target, a few small inputs that
// reach the interesting paths at once:
//
//   make_fuzz_seeds OUTPUT_FOLDER
//
// gives OUTPUT_FOLDER/fuzz_load, fuzz_desc and fuzz_codec. The committed
// corpus began as these files and grew by fuzzing; see README.md.

#include "tools/CSyntheticMob.h"
#include "tools/ChunkBuilder.h"

#include "codec/CPayloadLayout.h"
#include "codec/CryptScriptData.h"
#include "codec/FormatChunkData.h"
#include "desc/DataType.h"
#include "platform/LittleEndian.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qm::tools::ChunkBuilder;
using qm::tools::F32Bytes;
using qm::tools::U32Bytes;
using Bytes = std::vector<std::uint8_t>;
using qm::CPayloadLayout;

// Ids the load target's description table knows.
constexpr std::uint32_t kRecZero = 0x00000000;
constexpr std::uint32_t kRecOne = 0x00000001;
constexpr std::uint32_t kRecGroup = 0x00010000;
constexpr std::uint32_t kFlag = 0x00020001;
constexpr std::uint32_t kName = 0x00020005;
constexpr std::uint32_t kUnknown = 0x00077777;

void Write(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Write(const fs::path& path, std::string_view text)
{
    Write(path, Bytes(text.begin(), text.end()));
}

// A last byte ending in 0xF sends the input through the file loader.
Bytes ThroughFiles(Bytes bytes)
{
    bytes.push_back(0x0F);
    return bytes;
}

void WriteLoadSeeds(const fs::path& folder)
{
    Write(folder / "empty", Bytes{});
    Write(folder / "short", Bytes{1, 2, 3});
    Write(folder / "leaves", ChunkBuilder().Chunk(kFlag, {7}).Chunk(kName, "name").Chunk(kUnknown, {1, 2}).Bytes());
    Write(folder / "nested", ChunkBuilder()
                                 .Begin(kRecGroup)
                                 .Chunk(kFlag, {1})
                                 .Begin(kRecOne)
                                 .Chunk(kName, "inner")
                                 .Begin(kRecZero)
                                 .End()
                                 .End()
                                 .End()
                                 .Bytes());
    Write(folder / "trailing-bytes", ThroughFiles(ChunkBuilder().Chunk(kFlag, {1}).Raw({1, 2}).Bytes()));
    Write(folder / "size-below-header", ChunkBuilder().Chunk(kFlag, {1}).RawHeader(kFlag, 3).Raw({9, 9, 9}).Bytes());
    Write(folder / "size-past-end", ChunkBuilder().Chunk(kFlag, {1}).RawHeader(kName, 200).Raw({'a', 'b'}).Bytes());
    Write(folder / "container-short-payload", ChunkBuilder().Chunk(kRecGroup, {1, 2, 3}).Bytes());
    Write(folder / "container-bad-first-child",
          ChunkBuilder().Begin(kRecGroup).RawHeader(kFlag, 4).Chunk(kFlag, {1}).End().Bytes());
    Write(folder / "unknown-holds-chunks", ChunkBuilder().Begin(kUnknown).Chunk(kFlag, {1}).End().Bytes());
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        qm::tools::SyntheticOptions options;
        options.seed = seed;
        options.chunkCount = 10 * seed;
        options.maxPayload = 24;
        Write(folder / ("synthetic-" + std::to_string(seed)), qm::tools::CSyntheticMob::Generate(options));
    }
}

void WriteDescSeeds(const fs::path& folder)
{
    Write(folder / "synthetic", qm::tools::CSyntheticMob::DescriptionText());
    Write(folder / "empty", "");
    Write(folder / "three-fields", "0x0000A000\tDWORD\tCount\r\n0x0000A001\tREC\tGroup\tA group\n");
    Write(folder / "skipped-lines", "\r\n\t\t\n0x0000A000\tBYTE\tFlag\tdesc\t\tignored\n");
    Write(folder / "empty-type-field", "0x0000A000\t\tName\tDesc\r\n");
    Write(folder / "one-field", "0x0000A000\tBYTE\tFlag\r\n0x0000A001\n");
    Write(folder / "spaces-only", "   \r\n");
    Write(folder / "nul-line", std::string_view("0x0000A000\tBYTE\tFlag\n\0x\n", 24));
    Write(folder / "nul-in-field", std::string_view("0x0000A000\tBYTE\tFl\0ag\tdesc\n", 26));
    Write(folder / "cr-in-fields", "0x0000A\r000\tBY\rTE\tFlag\tde\rsc\r\r\n0x0000A 000\tWORD\tOther\n");
    Write(folder / "short-ids", "0x\tBYTE\tEmpty key\nab\tWORD\tAlso empty\nA\tDWORD\tShort\n");
    Write(folder / "long-line", "0x0000A000\tSTRING\tName\t" + std::string(600, 'x') + "\r\n");
    Write(folder / "duplicate-keys", "0x0000A000\tBYTE\tFirst\r\n0X0000A000\tWORD\tSecond\r\n");
}

// The codec target's input: data type selector, flags, payload length,
// payload, text.
Bytes CodecInput(qm::DataType type, const Bytes& payload, std::string_view text, std::uint8_t flags = 0)
{
    Bytes input(4);
    input[0] = static_cast<std::uint8_t>(type + 1);
    input[1] = flags;
    qm::le::WriteU16(input.data() + 2, static_cast<std::uint16_t>(payload.size()));
    input.insert(input.end(), payload.begin(), payload.end());
    input.insert(input.end(), text.begin(), text.end());
    return input;
}

// With the payload's own rendering as the text.
Bytes RenderedInput(qm::DataType type, const Bytes& payload, std::uint8_t flags = 0)
{
    return CodecInput(type, payload, qm::FormatChunkData(type, payload.data(), static_cast<std::uint32_t>(payload.size())),
                      flags);
}

Bytes SarRecord(std::string_view text)
{
    Bytes record = U32Bytes({0xA000, static_cast<std::uint32_t>(text.size() + CPayloadLayout::kStringRecordHeaderSize)});
    record.insert(record.end(), text.begin(), text.end());
    return record;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Enciphered(std::uint32_t key, std::string_view script)
{
    Bytes payload = Cat({U32Bytes({key}), Bytes(script.begin(), script.end())});
    qm::CryptScriptData(key, payload.data() + CPayloadLayout::kScriptKeySize, static_cast<std::uint32_t>(script.size()));
    return payload;
}

void WriteCodecSeeds(const fs::path& folder)
{
    using namespace qm;
    constexpr std::uint8_t kPad = 2;
    constexpr std::uint8_t kMissing = 1;
    Write(folder / "byte", RenderedInput(DT_BYTE, {0xC8}));
    Write(folder / "word", CodecInput(DT_WORD, {1, 2}, "65536"));
    Write(folder / "dword-one-byte", CodecInput(DT_DWORD, {7}, "513"));
    Write(folder / "dword", RenderedInput(DT_DWORD, U32Bytes({0xFFFFFFFF})));
    Write(folder / "float", CodecInput(DT_FLOAT, F32Bytes({0.1f}), "2.5e3xyz"));
    Write(folder / "string", CodecInput(DT_STRING, {'a', 0, 'b'}, "abc"));
    Write(folder / "script", CodecInput(DT_SCRIPT, {'a', '\n', 'b'}, "a\r\nb\r\r\n"));
    Write(folder / "script-enc", RenderedInput(DT_SCRIPT_ENC, Enciphered(12345, "line\nnext")));
    Write(folder / "str-sar", RenderedInput(DT_STR_SAR, Cat({U32Bytes({2}), SarRecord("ab"), SarRecord("\r\nc")})));
    Write(folder / "str-sar-tilde", RenderedInput(DT_STR_SAR, Cat({U32Bytes({1}), SarRecord("~~~")})));
    Write(folder / "rect", CodecInput(DT_RECT, U32Bytes({1, 2, 3, 4}), "1 ,2,3,4"));
    Write(folder / "rect-short", RenderedInput(DT_RECT, U32Bytes({1, 2, 3})));
    Write(folder / "str-s01", CodecInput(DT_STR_S01, U32Bytes({0}), "1,2,3\r\n\r\n4,5,6\r\n"));
    Write(folder / "str-s02", RenderedInput(DT_STR_S02, Cat({U32Bytes({2}), F32Bytes({1, 2, 3.5f, -4})})));
    Write(folder / "plot", CodecInput(DT_PLOT, F32Bytes({1.5f, -2, 0}), "1, 2, 3"));
    Write(folder / "quaternion", RenderedInput(DT_QUATERNION, F32Bytes({1e-5f, 1e6f, -0.0f, 3.25f})));
    Write(folder / "binary", RenderedInput(DT_BINARY, U32Bytes({1, 0x80000000u, 3})));
    Write(folder / "str-s06", RenderedInput(DT_STR_S06, Bytes(CPayloadLayout::kStrS06Size, 0x41)));
    Write(folder / "diplomacy", RenderedInput(DT_DIPLOMACY, U32Bytes({5, 6}), kPad));
    Write(folder / "str-s08", RenderedInput(DT_STR_S08, U32Bytes({1, 2})));
    Write(folder / "str-s09", CodecInput(DT_STR_S09, {1}, "x"));
    Write(folder / "rec", CodecInput(DT_REC, {}, ""));
    Write(folder / "missing-bytes", CodecInput(DT_QUATERNION, {1, 2, 3, 4}, "1,2,3,4", kMissing));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    for (const char* target : {"fuzz_load", "fuzz_desc", "fuzz_codec"})
        fs::create_directories(out / target);
    WriteLoadSeeds(out / "fuzz_load");
    WriteDescSeeds(out / "fuzz_desc");
    WriteCodecSeeds(out / "fuzz_codec");
    return 0;
}
