#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

namespace qm {

// Where saving puts its bytes: straight into memory that has room for all
// of them, or gathered into pieces of a few MiB that go on to a file, so
// that a save never holds a second copy of the whole file.
class CByteOutput {
public:
    // Takes a piece; false stops the output.
    using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    // Into [out, out + size); more than size bytes must not be put.
    CByteOutput(std::uint8_t* out, std::size_t size);
    // To sink, in pieces of pieceSize bytes (the last one shorter).
    CByteOutput(std::size_t pieceSize, Sink sink);
    CByteOutput(const CByteOutput&) = delete;
    CByteOutput& operator=(const CByteOutput&) = delete;

    void Put(const void* data, std::size_t size)
    {
        if (size <= static_cast<std::size_t>(m_pEnd - m_pPos)) {
            std::memcpy(m_pPos, data, size);
            m_pPos += size;
            return;
        }
        PutPastPiece(data, size);
    }

    // Bytes put so far.
    std::uint64_t Done() const { return m_nFlushed + static_cast<std::uint64_t>(m_pPos - m_pBegin); }
    // Hands the last piece on; false when the sink refused one.
    bool Finish();

private:
    void PutPastPiece(const void* data, std::size_t size);
    bool Flush();

    std::unique_ptr<std::uint8_t[]> m_piece;
    std::uint8_t* m_pBegin;
    std::uint8_t* m_pPos;
    std::uint8_t* m_pEnd;
    Sink m_sink;
    std::uint64_t m_nFlushed = 0;
    bool m_bFailed = false;
};

} // namespace qm
