#include "inspect/CTypeGuesser.h"

#include "codec/CryptScriptData.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "inspect/CIdEvidence.h"
#include "inspect/CPayloadShape.h"
#include "mob/CMobDocument.h"

#include <algorithm>
#include <array>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace qm {

namespace {

using Bytes = CIdEvidence::Bytes;
using Context = CIdEvidence::Context;

// Guessing deciphers many payloads to see whether they are scripts; the
// cipher's trace is for scripts the user looks at, so it stays quiet here.
class QuietCipher {
public:
    QuietCipher() : m_sink(GetCipherTraceSink()) { SetCipherTraceSink(nullptr); }
    ~QuietCipher() { SetCipherTraceSink(m_sink); }
    QuietCipher(const QuietCipher&) = delete;
    QuietCipher& operator=(const QuietCipher&) = delete;

private:
    ICipherTraceSink* m_sink;
};

// One pass of gathering: every chunk of the document, and the chunks inside
// every payload of an id guessed as REC, until no new container turns up.
class Gathering {
public:
    Gathering(const CMobDocument& doc, const std::unordered_set<std::uint32_t>& neverWalked)
        : m_doc(doc), m_neverWalked(neverWalked),
          m_known([this](std::uint32_t child, std::uint32_t container) { return Known(child, container); })
    {
    }

    void FromDocument();
    void WalkContainers();
    // Ids that were walked as containers but are no longer guessed so.
    std::unordered_set<std::uint32_t> WalkedWrongly() const;
    std::vector<TypeGuess> Guesses() const;

private:
    struct IdInfo {
        std::int32_t describedType = DT_NULL;
        std::unique_ptr<CIdEvidence> evidence;  // only for an id without a description
        bool neverWalk = false;                 // walked wrongly before
        bool walked = false;                    // guessed REC, its chunks walked
    };

    IdInfo& Info(std::uint32_t id);
    bool Known(std::uint32_t child, std::uint32_t container) const;
    // True when id is guessed REC and has payloads not walked yet.
    bool StartWalking(std::uint32_t id, IdInfo& info);
    // Walks the payloads of id not walked yet, when id is guessed REC.
    bool WalkIfContainer(std::uint32_t id, IdInfo& info);
    // listOwner, when given, is told what the payload holds as it is walked.
    void Walk(Bytes payload, std::uint32_t containerId, CIdEvidence* listOwner = nullptr);

    const CMobDocument& m_doc;
    const std::unordered_set<std::uint32_t>& m_neverWalked;
    const CIdEvidence::KnownChild m_known;
    std::unordered_map<std::uint32_t, IdInfo> m_ids;
    // A million chunks use a few hundred ids: a small direct-mapped cache
    // answers nearly every lookup before the map is asked.
    struct Cached {
        std::uint32_t id = 0;
        IdInfo* info = nullptr;
    };
    std::array<Cached, 256> m_recent{};
    std::unordered_set<std::uint32_t> m_walked;
};

Gathering::IdInfo& Gathering::Info(std::uint32_t id)
{
    Cached& cached = m_recent[(id ^ (id >> 8) ^ (id >> 16) ^ (id >> 24)) & 0xFF];
    if (cached.info && cached.id == id)
        return *cached.info;
    auto it = m_ids.find(id);
    if (it == m_ids.end()) {
        IdInfo info;
        info.neverWalk = m_neverWalked.contains(id);
        if (const CFieldDesc* desc = m_doc.LookupDesc(IdKey(id)))
            info.describedType = CDescTable::TypeCodeFromName(desc->m_strType);
        else
            info.evidence = std::make_unique<CIdEvidence>(id);
        it = m_ids.emplace(id, std::move(info)).first;
    }
    cached = {id, &it->second};
    return it->second;
}

void Gathering::FromDocument()
{
    // A container is walked as soon as its id is guessed REC, while its
    // bytes are fresh in the cache, rather than in a later round.
    const CChunkTree& tree = m_doc.Tree();
    for (NodeId node = tree.GetRootItem(); node != kNoNode; node = tree.NextInPreOrder(node, kNoNode)) {
        const NodeId parent = tree.GetParentItem(node);
        if (parent == kNoNode)
            continue;  // a file
        const CMobChunk* rec = m_doc.Chunks().Lookup(tree.GetItemData(node));
        if (!rec)
            continue;
        IdInfo& info = Info(rec->m_nId);
        if (!info.evidence)
            continue;
        Context context = CIdEvidence::kTopLevel;
        if (tree.GetParentItem(parent) != kNoNode) {
            if (const CMobChunk* container = m_doc.Chunks().Lookup(tree.GetItemData(parent)))
                context = container->m_nId;
        }
        const Bytes payload = rec->m_pData ? Bytes(rec->m_pData.get(), rec->m_nSize) : Bytes();
        if (info.walked) {
            info.evidence->AddWalked(payload, context);
            Walk(payload, rec->m_nId, info.evidence.get());
            continue;
        }
        info.evidence->Add(payload, context);
        WalkIfContainer(rec->m_nId, info);
    }
}

void Gathering::WalkContainers()
{
    // Chunks found inside containers can make more ids look like
    // containers; go on until none does.
    for (bool walkedAny = true; walkedAny;) {
        walkedAny = false;
        std::vector<std::uint32_t> pending;
        for (const auto& [id, info] : m_ids) {
            if (info.evidence && info.evidence->HasUnwalked() && !info.neverWalk)
                pending.push_back(id);
        }
        for (const std::uint32_t id : pending)
            walkedAny = WalkIfContainer(id, Info(id)) || walkedAny;
    }
}

bool Gathering::StartWalking(std::uint32_t id, IdInfo& info)
{
    if (info.neverWalk || !info.evidence->HasUnwalked())
        return false;
    if (!info.walked) {
        if (!info.evidence->LeansToRec(m_known))
            return false;
        info.walked = true;
        m_walked.insert(id);
    }
    return true;
}

bool Gathering::WalkIfContainer(std::uint32_t id, IdInfo& info)
{
    if (!StartWalking(id, info))
        return false;
    while (info.evidence->HasUnwalked())
        Walk(info.evidence->TakeUnwalked(), id);
    return true;
}

void Gathering::Walk(Bytes payload, std::uint32_t containerId, CIdEvidence* listOwner)
{
    // Depth first, in the order of the bytes, as loading walks a file, and
    // each header read once: a chunk of an id already walked as a container
    // is walked at once, and the walk itself tells its evidence whether the
    // chunk is a chunk list. Described containers are walked too, as
    // loading would have walked them. Nesting depth is bounded only by the
    // bytes, hence the stack.
    struct Frame {
        CPayloadShape::ChunkReader reader;
        std::uint32_t containerId;
        CIdEvidence* listOwner;  // told what the list holds; none when already known
        std::uint32_t children;
    };
    std::vector<Frame> stack{{CPayloadShape::ChunkReader(payload), containerId, listOwner, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        std::uint32_t id = 0;
        Bytes child;
        if (!frame.reader.Next(id, child)) {
            if (frame.listOwner)
                frame.listOwner->EndList(frame.reader.Filled(), frame.children);
            stack.pop_back();
            continue;
        }
        if (frame.listOwner) {
            frame.listOwner->NoteChild(id);
            ++frame.children;
        }
        const std::uint32_t parentId = frame.containerId;
        IdInfo& info = Info(id);
        if (!info.evidence) {
            if (info.describedType == DT_REC)
                stack.push_back({CPayloadShape::ChunkReader(child), id, nullptr, 0});
        } else if (info.walked) {
            info.evidence->AddWalked(child, parentId);
            stack.push_back({CPayloadShape::ChunkReader(child), id, info.evidence.get(), 0});
        } else {
            info.evidence->Add(child, parentId);
            if (StartWalking(id, info)) {
                while (info.evidence->HasUnwalked())
                    stack.push_back({CPayloadShape::ChunkReader(info.evidence->TakeUnwalked()), id, nullptr, 0});
            }
        }
    }
}

bool Gathering::Known(std::uint32_t child, std::uint32_t container) const
{
    const auto it = m_ids.find(child);
    if (it == m_ids.end())
        return false;
    return !it->second.evidence || it->second.evidence->SeenOutside(container);
}

std::unordered_set<std::uint32_t> Gathering::WalkedWrongly() const
{
    std::unordered_set<std::uint32_t> wrong;
    for (const std::uint32_t id : m_walked) {
        const CIdEvidence& evidence = *m_ids.at(id).evidence;
        if (evidence.Judge(m_known).dataType != DT_REC)
            wrong.insert(id);
    }
    return wrong;
}

std::vector<TypeGuess> Gathering::Guesses() const
{
    std::vector<TypeGuess> guesses;
    for (const auto& [id, info] : m_ids) {
        if (info.evidence)
            guesses.push_back(info.evidence->Judge(m_known, info.neverWalk));
    }
    std::sort(guesses.begin(), guesses.end(), [](const TypeGuess& a, const TypeGuess& b) { return a.id < b.id; });
    return guesses;
}

} // namespace

std::vector<TypeGuess> CTypeGuesser::GuessAll(const CMobDocument& doc)
{
    const QuietCipher quiet;
    // An id walked as a container whose later chunks showed it is not one
    // has added chunks that are not there: gather again without walking it.
    // Each round leaves out at least one more id, so this ends.
    std::unordered_set<std::uint32_t> neverWalked;
    for (;;) {
        Gathering gathering(doc, neverWalked);
        gathering.FromDocument();
        gathering.WalkContainers();
        const auto wrong = gathering.WalkedWrongly();
        if (wrong.empty())
            return gathering.Guesses();
        neverWalked.insert(wrong.begin(), wrong.end());
    }
}

const TypeGuess* CTypeGuesser::Find(const std::vector<TypeGuess>& guesses, std::uint32_t id)
{
    const auto it = std::lower_bound(guesses.begin(), guesses.end(), id,
                                     [](const TypeGuess& guess, std::uint32_t value) { return guess.id < value; });
    return it != guesses.end() && it->id == id ? &*it : nullptr;
}

} // namespace qm
