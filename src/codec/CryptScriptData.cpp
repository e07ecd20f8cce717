#include "codec/CryptScriptData.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>

namespace qm {

namespace {

constexpr std::uint32_t kMultiplier = 214013u;
constexpr std::uint32_t kIncrement = 2531011u;

std::atomic<ICipherTraceSink*> g_traceSink{nullptr};

// A number of generator steps taken at once: state * mul + add.
struct Jump {
    std::uint32_t mul;
    std::uint32_t add;
};

constexpr std::size_t kLanes = 8;

constexpr std::array<Jump, kLanes> BuildJumps()
{
    std::array<Jump, kLanes> jumps{};
    Jump total{1u, 0u};
    for (Jump& jump : jumps) {
        total = {total.mul * kMultiplier, total.add * kMultiplier + kIncrement};
        jump = total;
    }
    return jumps;
}

// kJumps[j] takes the state j + 1 steps ahead.
constexpr std::array<Jump, kLanes> kJumps = BuildJumps();

std::uint8_t StreamByte(std::uint32_t state)
{
    return static_cast<std::uint8_t>(state >> 16);
}

void XorStream(std::uint32_t state, std::uint8_t* data, std::uint32_t size)
{
    // Stepping the generator byte by byte chains every multiply to the one
    // before it. Jumping each byte of a block straight from the block's
    // start state lets the multiplies run side by side, and only one jump a
    // block stays on the chain.
    std::uint32_t i = 0;
    for (; size - i >= kLanes; i += kLanes) {
        for (std::size_t j = 0; j < kLanes; ++j)
            data[i + j] ^= StreamByte(kJumps[j].mul * state + kJumps[j].add);
        state = kJumps[kLanes - 1].mul * state + kJumps[kLanes - 1].add;
    }
    for (; i < size; ++i) {
        state = state * kMultiplier + kIncrement;
        data[i] ^= StreamByte(state);
    }
}

template <typename... Values>
void Trace(ICipherTraceSink& sink, const char* format, Values... values)
{
    char line[256];
    const int length = std::snprintf(line, sizeof line, format, values...);
    if (length > 0)
        sink.TraceLine(std::string_view(line, std::min(static_cast<std::size_t>(length), sizeof line - 1)));
}

void TracedXorStream(ICipherTraceSink& sink, std::uint32_t key, std::uint8_t* data, std::uint32_t size)
{
    Trace(sink, "Key: %u Size: %u\n", key, size);
    std::uint32_t state = key;
    for (std::uint32_t i = 0; i < size; ++i) {
        Trace(sink, "Before: Key: %u Byte: %u\n", state, unsigned{data[i]});
        state = state * kMultiplier + kIncrement;
        const std::uint8_t stream = StreamByte(state);
        data[i] ^= stream;
        Trace(sink, "After : Key: %u Byte: %u Xor:%u \n", state, unsigned{data[i]}, unsigned{stream});
    }
}

} // namespace

void SetCipherTraceSink(ICipherTraceSink* sink)
{
    g_traceSink.store(sink, std::memory_order_relaxed);
}

ICipherTraceSink* GetCipherTraceSink()
{
    return g_traceSink.load(std::memory_order_relaxed);
}

std::uint8_t* CryptScriptData(std::uint32_t key, std::uint8_t* data, std::uint32_t size)
{
    ICipherTraceSink* const sink = GetCipherTraceSink();
    if (sink)
        TracedXorStream(*sink, key, data, size);
    else
        XorStream(key, data, size);
    return data;
}

} // namespace qm
