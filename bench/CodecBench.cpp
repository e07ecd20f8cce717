// Throughput of the value codec: the script cipher with its trace off, and
// rendering and parsing of the list types. Bytes per second count payload
// bytes; "text/s" counts the characters of the text form.

#include "codec/CryptScriptData.h"
#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"
#include "mob/CMobChunk.h"
#include "platform/LittleEndian.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace qm {
namespace {

constexpr std::uint32_t kListBytes = 4u << 20;
constexpr std::uint32_t kDiplomacyBytes = 4096;
constexpr std::uint32_t kChunkId = 0xA000;

// Floats as they appear in game data: a few digits before and after the point.
float GameFloat(std::mt19937& random)
{
    return static_cast<float>(static_cast<std::int32_t>(random() % 2000001) - 1000000) / 1000.0f;
}

std::vector<std::uint8_t> FloatList(std::uint32_t valuesPerEntry)
{
    std::mt19937 random(1);
    const std::uint32_t count = (kListBytes - 4) / (4 * valuesPerEntry);
    std::vector<std::uint8_t> payload(4 + std::size_t{count} * 4 * valuesPerEntry);
    le::WriteU32(payload.data(), count);
    for (std::size_t at = 4; at < payload.size(); at += 4)
        le::WriteF32(payload.data() + at, GameFloat(random));
    return payload;
}

std::vector<std::uint8_t> StringList()
{
    std::mt19937 random(2);
    std::vector<std::uint8_t> payload(4);
    std::uint32_t count = 0;
    while (true) {
        const std::uint32_t length = 10 + static_cast<std::uint32_t>(random() % 70);
        if (payload.size() + 8 + length > kListBytes)
            break;
        const std::size_t at = payload.size();
        payload.resize(at + 8 + length);
        le::WriteU32(payload.data() + at, kChunkId);
        le::WriteU32(payload.data() + at + 4, 8 + length);
        for (std::uint32_t i = 0; i < length; ++i)
            payload[at + 8 + i] = static_cast<std::uint8_t>(' ' + random() % 94);
        ++count;
    }
    le::WriteU32(payload.data(), count);
    return payload;
}

std::vector<std::uint8_t> Diplomacy()
{
    std::mt19937 random(3);
    std::vector<std::uint8_t> payload(kDiplomacyBytes);
    for (std::size_t at = 0; at < payload.size(); at += 4)
        le::WriteI32(payload.data() + at, static_cast<std::int32_t>(random() % 2001) - 1000);
    return payload;
}

std::vector<std::uint8_t> Payload(std::int32_t type)
{
    switch (type) {
    case DT_STR_S01:
        return FloatList(3);
    case DT_STR_S02:
        return FloatList(2);
    case DT_STR_SAR:
        return StringList();
    default:
        return Diplomacy();
    }
}

void ReportRates(benchmark::State& state, std::size_t payloadBytes, std::size_t textBytes)
{
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(payloadBytes));
    state.counters["text/s"] =
        benchmark::Counter(static_cast<double>(textBytes), benchmark::Counter::kIsIterationInvariantRate,
                           benchmark::Counter::kIs1024);
}

void BM_Cipher(benchmark::State& state)
{
    SetCipherTraceSink(nullptr);
    std::vector<std::uint8_t> data(kListBytes, 0x5A);
    for (auto _ : state) {
        CryptScriptData(0x12345678u, data.data(), kListBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kListBytes});
}
BENCHMARK(BM_Cipher);

// DIPLOMACY payloads are always 4096 bytes, so one iteration renders one
// payload; the rate is over as many iterations as the timer asks for.
void BM_Render(benchmark::State& state)
{
    const auto type = static_cast<std::int32_t>(state.range(0));
    const std::vector<std::uint8_t> payload = Payload(type);
    const auto size = static_cast<std::uint32_t>(payload.size());
    std::size_t textBytes = 0;
    for (auto _ : state) {
        const std::string text = FormatChunkData(type, payload.data(), size);
        textBytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    ReportRates(state, size, textBytes);
}

void BM_Parse(benchmark::State& state)
{
    const auto type = static_cast<std::int32_t>(state.range(0));
    const std::vector<std::uint8_t> payload = Payload(type);
    const auto size = static_cast<std::uint32_t>(payload.size());
    const std::string text = FormatChunkData(type, payload.data(), size);
    CMobChunk rec(size, kChunkId, type, CPayload::Copy(payload.data(), size), 0);
    for (auto _ : state) {
        if (!ParseChunkData(rec, text))
            state.SkipWithError("the rendered text did not parse");
        benchmark::DoNotOptimize(rec.m_pData.get());
    }
    ReportRates(state, size, text.size());
}

void ListTypes(benchmark::internal::Benchmark* bench)
{
    bench->ArgName("type");
    for (const std::int32_t type : {DT_DIPLOMACY, DT_STR_SAR, DT_STR_S01, DT_STR_S02})
        bench->Arg(type);
}
BENCHMARK(BM_Render)->Apply(ListTypes);
BENCHMARK(BM_Parse)->Apply(ListTypes);

} // namespace
} // namespace qm

BENCHMARK_MAIN();
