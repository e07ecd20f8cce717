#pragma once

#include "inspect/TypeGuess.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace qm {

// What the chunks of one undescribed id show about their data type,
// gathered one payload at a time, and the guess that follows from all of
// them together.
//
// A payload is tested only for the layouts that every earlier payload of the
// id fitted, so an id whose bytes fit nothing soon costs only a count.
class CIdEvidence {
public:
    using Bytes = std::span<const std::uint8_t>;
    // Where a chunk was found: the id of the chunk it lies in, or kTopLevel.
    using Context = std::uint64_t;
    static constexpr Context kTopLevel = Context{1} << 32;
    // Whether a child id is known apart from the container being judged:
    // described, or found somewhere else.
    using KnownChild = std::function<bool(std::uint32_t childId, std::uint32_t containerId)>;

    explicit CIdEvidence(std::uint32_t id) : m_nId(id) {}

    void Add(Bytes payload, Context context);

    // For an id whose chunks are being walked as containers: the same as
    // Add, except that the caller tells while walking the payload which
    // chunks it holds (NoteChild) and whether they filled it (EndList).
    void AddWalked(Bytes payload, Context context) { AddPayload(payload, context, false); }
    void NoteChild(std::uint32_t childId);
    void EndList(bool filled, std::uint32_t children);

    // Payloads that are chunk lists and whose chunks nobody has looked at
    // yet; only kept while every payload of the id is one.
    bool HasUnwalked() const { return m_nWalked < m_walkable.size(); }
    Bytes TakeUnwalked() { return m_walkable[m_nWalked++]; }

    // True when the id was also found somewhere other than inside context.
    bool SeenOutside(Context context) const { return m_bSeveralContexts || m_nFirstContext != context; }

    // The guess from every payload so far. notRec leaves REC out: for an id
    // whose chunks, once walked, showed it is no container.
    TypeGuess Judge(const KnownChild& known, bool notRec = false) const;
    // True when the best guess so far is REC: cheaper than Judge.
    bool LeansToRec(const KnownChild& known) const;

private:
    struct Scored {
        std::int32_t dataType;
        int score;
    };
    // The layouts every payload fits, best first.
    struct Scores {
        std::array<Scored, 16> items{};
        std::size_t count = 0;
    };

    void AddPayload(Bytes payload, Context context, bool testList);
    bool AddChunkList(Bytes payload);
    bool AddText(Bytes payload);
    bool AddScriptEnc(Bytes payload);
    bool AddStrSar(Bytes payload);
    bool AddFloatList(Bytes payload, std::uint32_t valuesPerEntry);
    void AddWords(Bytes payload);

    Scores Score(const KnownChild& known, bool notRec = false) const;
    std::string Reason(std::int32_t dataType, const KnownChild& known) const;
    std::uint64_t KnownChildIds(const KnownChild& known) const;
    bool IsScript() const;
    bool LooksLikeFloats() const;
    int Bonus() const;

    std::uint32_t m_nId;
    std::uint32_t m_nChunks = 0;
    std::uint32_t m_nNonEmpty = 0;
    std::uint32_t m_nFits = 0;
    std::uint32_t m_nMinSize = 0;
    std::uint32_t m_nMaxSize = 0;
    Context m_nFirstContext = 0;
    bool m_bSeveralContexts = false;

    // Chunk lists.
    std::vector<Bytes> m_walkable;
    std::size_t m_nWalked = 0;
    std::uint64_t m_nChildren = 0;
    std::uint32_t m_nListsOfSeveral = 0;
    std::vector<std::uint32_t> m_childIds;  // the first distinct ones
    std::uint32_t m_nNotedChildren = 0;

    // Text, plain and enciphered.
    std::uint64_t m_nTextChars = 0;
    std::uint64_t m_nHighChars = 0;
    std::uint32_t m_nMinText = 0;
    std::uint32_t m_nMaxText = 0;
    std::uint32_t m_nLfPayloads = 0;
    std::uint32_t m_nCrPayloads = 0;
    std::uint64_t m_nDecipheredChars = 0;
    std::uint64_t m_nDecipheredHigh = 0;
    std::uint32_t m_nDeciphered = 0;

    // Counted lists.
    std::uint64_t m_nSarRecords = 0;
    std::uint64_t m_nSarOwnIds = 0;
    std::uint64_t m_nEntries[2] = {0, 0};       // STR_S01, STR_S02
    std::uint32_t m_nMinEntries[2] = {UINT32_MAX, UINT32_MAX};
    std::uint32_t m_nMaxEntries[2] = {0, 0};

    // The 32-bit words of fixed-size payloads, by what they look like.
    std::uint64_t m_nFloatWords = 0;
    std::uint64_t m_nIntWords = 0;
    std::uint64_t m_nZeroWords = 0;
    std::uint64_t m_nOtherWords = 0;
};

} // namespace qm
