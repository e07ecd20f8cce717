#include "unpack/CMobDiff.h"

#include "codec/CAnsiText.h"
#include "codec/CPayloadTextForm.h"
#include "mob/CMobDocument.h"
#include "unpack/UnpackedFormat.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <unordered_map>
#include <vector>

namespace qm {

namespace {

struct Side {
    const CMobDocument& doc;
    const CChunkTree& tree;

    const CMobChunk* Record(NodeId node) const { return doc.Chunks().Lookup(tree.GetItemData(node)); }
    std::uint32_t Id(NodeId node) const
    {
        const CMobChunk* rec = Record(node);
        return rec ? rec->m_nId : 0;
    }
    std::span<const std::uint8_t> Payload(NodeId node) const
    {
        const CMobChunk* rec = Record(node);
        if (!rec || !rec->m_pData)
            return {};
        return {rec->m_pData.get(), rec->m_nSize};
    }
    std::int32_t DataType(NodeId node) const
    {
        const CMobChunk* rec = Record(node);
        return rec ? rec->m_nDataType : 0;
    }
};

struct Sibling {
    NodeId node;
    std::uint32_t id;
    std::uint32_t occurrence;
};

// The children of a list node, each with its place
// among the siblings with its id.
std::vector<Sibling> SiblingsOf(const Side& side, NodeId list)
{
    std::vector<Sibling> siblings;
    for (NodeId node = side.tree.GetChildItem(list); node != kNoNode; node = side.tree.GetNextSiblingItem(node))
        siblings.push_back({node, side.Id(node), 0});
    std::unordered_map<std::uint32_t, std::uint32_t> seen;
    for (Sibling& sibling : siblings)
        sibling.occurrence = seen[sibling.id]++;
    return siblings;
}

std::uint64_t Key(const Sibling& sibling)
{
    return std::uint64_t{sibling.id} << 32 | sibling.occurrence;
}

struct Action {
    enum class Kind : std::uint8_t { Removed, Added, Compare } kind;
    NodeId a = kNoNode;
    NodeId b = kNoNode;
    std::uint32_t id = 0;
    std::uint32_t occurrence = 0;
};

// What to do for two lists of siblings, in the order of B with what is
// only in A before the first chunk matched behind it.
std::vector<Action> Plan(const std::vector<Sibling>& a, const std::vector<Sibling>& b)
{
    std::vector<Action> actions;
    actions.reserve(std::max(a.size(), b.size()));
    const bool sameIds = a.size() == b.size() &&
                         std::equal(a.begin(), a.end(), b.begin(), [](const Sibling& x, const Sibling& y) {
                             return x.id == y.id;
                         });
    if (sameIds) {
        for (std::size_t i = 0; i < a.size(); ++i)
            actions.push_back({Action::Kind::Compare, a[i].node, b[i].node, a[i].id, a[i].occurrence});
        return actions;
    }
    std::unordered_map<std::uint64_t, std::size_t> indexOfA;
    for (std::size_t i = 0; i < a.size(); ++i)
        indexOfA.emplace(Key(a[i]), i);
    std::vector<bool> matched(a.size(), false);
    std::vector<std::size_t> match(b.size(), a.size());
    for (std::size_t j = 0; j < b.size(); ++j) {
        if (const auto it = indexOfA.find(Key(b[j])); it != indexOfA.end()) {
            match[j] = it->second;
            matched[it->second] = true;
        }
    }
    std::size_t nextA = 0;
    auto removeUpTo = [&](std::size_t end) {
        for (; nextA < end; ++nextA) {
            if (!matched[nextA])
                actions.push_back({Action::Kind::Removed, a[nextA].node, kNoNode, a[nextA].id, a[nextA].occurrence});
        }
    };
    for (std::size_t j = 0; j < b.size(); ++j) {
        if (match[j] == a.size()) {
            actions.push_back({Action::Kind::Added, kNoNode, b[j].node, b[j].id, b[j].occurrence});
            continue;
        }
        if (match[j] >= nextA) {
            removeUpTo(match[j]);
            nextA = match[j] + 1;
        }
        actions.push_back({Action::Kind::Compare, a[match[j]].node, b[j].node, b[j].id, b[j].occurrence});
    }
    removeUpTo(a.size());
    return actions;
}

std::uint64_t BytesDiffering(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
    const std::size_t common = std::min(a.size(), b.size());
    std::uint64_t count = std::max(a.size(), b.size()) - common;
    for (std::size_t i = 0; i < common; ++i)
        count += a[i] != b[i] ? 1u : 0u;
    return count;
}

bool Same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

bool FitsOnALine(std::string_view text)
{
    if (text.find_first_of("\r\n") != std::string_view::npos)
        return false;
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    return static_cast<std::size_t>(characters) <= CMobDiff::kLongestText;
}

class Walk {
public:
    Walk(const CMobDocument& docA, const CMobDocument& docB, const CMobDiff::Emit& emit)
        : m_a{docA, docA.Tree()}, m_b{docB, docB.Tree()}, m_emit(emit)
    {
    }

    std::uint64_t Run(NodeId fileA, NodeId fileB)
    {
        Push(fileA, fileB, 0, 0);
        while (!m_frames.empty()) {
            Frame& frame = m_frames.back();
            if (frame.next == frame.actions.size()) {
                CompareTrailing(frame);
                m_frames.pop_back();
                continue;
            }
            const Action action = frame.actions[frame.next++];
            Do(action);
        }
        return m_count;
    }

private:
    struct Frame {
        NodeId listA;
        NodeId listB;
        std::uint32_t id;
        std::uint32_t occurrence;
        std::vector<Action> actions;
        std::size_t next = 0;
    };

    void Push(NodeId listA, NodeId listB, std::uint32_t id, std::uint32_t occurrence)
    {
        Frame frame{listA, listB, id, occurrence, Plan(SiblingsOf(m_a, listA), SiblingsOf(m_b, listB))};
        m_frames.push_back(std::move(frame));
    }

    void Do(const Action& action)
    {
        switch (action.kind) {
        case Action::Kind::Removed:
            Report(ChunkDifference::Kind::Removed, action, Name(m_a, action.a));
            return;
        case Action::Kind::Added:
            Report(ChunkDifference::Kind::Added, action, Name(m_b, action.b));
            return;
        case Action::Kind::Compare:
            Compare(action);
            return;
        }
    }

    void Compare(const Action& action)
    {
        const bool listA = m_a.tree.ItemHasChildren(action.a);
        const bool listB = m_b.tree.ItemHasChildren(action.b);
        if (listA || listB) {
            // A container that lost all its children is an empty list.
            const bool emptyA = !listA && m_a.Payload(action.a).empty();
            const bool emptyB = !listB && m_b.Payload(action.b).empty();
            if ((listA || emptyA) && (listB || emptyB)) {
                Push(action.a, action.b, action.id, action.occurrence);
                return;
            }
            Report(ChunkDifference::Kind::Removed, action, Name(m_a, action.a));
            Report(ChunkDifference::Kind::Added, action, Name(m_b, action.b));
            return;
        }
        const auto bytesA = m_a.Payload(action.a);
        const auto bytesB = m_b.Payload(action.b);
        if (Same(bytesA, bytesB))
            return;
        ChunkDifference difference = Difference(ChunkDifference::Kind::Changed, action, Name(m_a, action.a));
        if (difference.name.empty())
            difference.name = Name(m_b, action.b);
        const std::int32_t typeA = m_a.DataType(action.a);
        const std::int32_t typeB = m_b.DataType(action.b);
        if (CPayloadTextForm::HasText(typeA) && CPayloadTextForm::HasText(typeB)) {
            CPayloadTextForm::TravelText(typeA, bytesA, difference.oldText);
            CPayloadTextForm::TravelText(typeB, bytesB, difference.newText);
            difference.hasTexts = difference.oldText != difference.newText && FitsOnALine(difference.oldText) &&
                                  FitsOnALine(difference.newText);
        }
        if (!difference.hasTexts) {
            difference.oldText.clear();
            difference.newText.clear();
            difference.bytesDiffer = BytesDiffering(bytesA, bytesB);
        }
        ++m_count;
        m_emit(difference);
    }

    void CompareTrailing(const Frame& frame)
    {
        const auto bytesA = m_a.doc.GetTrailingBytes(frame.listA);
        const auto bytesB = m_b.doc.GetTrailingBytes(frame.listB);
        if (Same(bytesA, bytesB))
            return;
        ChunkDifference difference;
        difference.kind = ChunkDifference::Kind::Changed;
        difference.path = PathOfFrames();
        if (!difference.path.empty())
            difference.path += '/';
        difference.path += "trailing";
        difference.bytesDiffer = BytesDiffering(bytesA, bytesB);
        ++m_count;
        m_emit(difference);
    }

    static std::string Name(const Side& side, NodeId node)
    {
        return CAnsiText::ToUtf8(side.tree.GetItemText(node));
    }

    std::string PathOfFrames() const
    {
        std::string path;
        for (std::size_t i = 1; i < m_frames.size(); ++i)
            unpacked::AppendPathSegment(path, m_frames[i].id, m_frames[i].occurrence);
        return path;
    }

    ChunkDifference Difference(ChunkDifference::Kind kind, const Action& action, std::string name) const
    {
        ChunkDifference difference;
        difference.kind = kind;
        difference.path = PathOfFrames();
        unpacked::AppendPathSegment(difference.path, action.id, action.occurrence);
        difference.name = std::move(name);
        return difference;
    }

    void Report(ChunkDifference::Kind kind, const Action& action, std::string name)
    {
        ++m_count;
        m_emit(Difference(kind, action, std::move(name)));
    }

    Side m_a;
    Side m_b;
    const CMobDiff::Emit& m_emit;
    std::vector<Frame> m_frames;
    std::uint64_t m_count = 0;
};

} // namespace

std::uint64_t CMobDiff::Compare(const CMobDocument& docA, NodeId fileA, const CMobDocument& docB, NodeId fileB,
                                const Emit& emit)
{
    Walk walk(docA, docB, emit);
    return walk.Run(fileA, fileB);
}

} // namespace qm
