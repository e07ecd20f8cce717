#include "mob/CByteOutput.h"

#include <cassert>

namespace qm {

CByteOutput::CByteOutput(std::uint8_t* out, std::size_t size) : m_pBegin(out), m_pPos(out), m_pEnd(out + size) {}

CByteOutput::CByteOutput(std::size_t pieceSize, Sink sink)
    : m_piece(std::make_unique_for_overwrite<std::uint8_t[]>(pieceSize)), m_pBegin(m_piece.get()),
      m_pPos(m_pBegin), m_pEnd(m_pBegin + pieceSize), m_sink(std::move(sink))
{
}

bool CByteOutput::Flush()
{
    const auto size = static_cast<std::size_t>(m_pPos - m_pBegin);
    m_nFlushed += size;
    m_pPos = m_pBegin;
    if (!m_bFailed && size != 0 && !m_sink(m_pBegin, size))
        m_bFailed = true;
    return !m_bFailed;
}

void CByteOutput::PutPastPiece(const void* data, std::size_t size)
{
    assert(m_sink && "more bytes put than the memory holds");
    if (!m_sink || !Flush())
        return;
    const auto pieceSize = static_cast<std::size_t>(m_pEnd - m_pBegin);
    if (size < pieceSize / 2) {
        std::memcpy(m_pPos, data, size);
        m_pPos += size;
        return;
    }
    // A large payload goes on as it is, not through the piece.
    m_nFlushed += size;
    if (!m_sink(static_cast<const std::uint8_t*>(data), size))
        m_bFailed = true;
}

bool CByteOutput::Finish()
{
    if (!m_sink)
        return true;
    return Flush();
}

} // namespace qm
