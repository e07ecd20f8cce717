#pragma once

// RapidJSON's reader as this library uses it: with the SSE2 scans of
// strings and white space, which every x86-64 processor has. (The writer's
// SSE2 scan leaves control characters unescaped, so the writer is included
// without it, and never in the same file.) The scans read whole aligned
// blocks of 16 bytes, so a buffer parsed in place needs that much room
// behind its end.

#if defined(__SSE2__) && !defined(RAPIDJSON_SSE2)
#define RAPIDJSON_SSE2
#endif

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <cstddef>

namespace qm::json {

inline constexpr std::size_t kScanOverhang = 16;

} // namespace qm::json
