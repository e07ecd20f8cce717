// Arbitrary bytes as a MOB file with almost no descriptions, as a user
// opens a file nobody has described yet. Whatever the bytes, the type
// guesses list each undescribed id once, in id order, with a confidence
// that is 0 exactly when there is no guess and a one-line reason; and every
// chunk's hex rows, readings and type list read nothing outside its bytes
// (the sanitizer build of the corpus replay watches that).

#include "FuzzCheck.h"
#include "tools/TempDir.h"

#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "inspect/CDataInspector.h"
#include "inspect/CHexLayout.h"
#include "inspect/CPayloadBytes.h"
#include "inspect/CTypeGuesser.h"
#include "inspect/CTypePreview.h"
#include "mob/CMobDocument.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qm::fuzz {
namespace {

// One described container, so described chunks turn up inside guessed ones.
constexpr std::string_view kDescription = "0x00000001\tREC\tONE\r\n0x00000002\tBYTE\tTWO\r\n";
// Enough of a large payload to reach its end without reading it all.
constexpr std::size_t kOffsetsRead = 64;

CMobDocument& TheDocument()
{
    static tools::TempDir temp;
    static CMobDocument doc;
    static const bool ready = [] {
        const std::string path = temp.File("mob_desc.txt");
        tools::WriteFileBytes(path, kDescription.data(), kDescription.size());
        doc.SetDescFile(path);
        return doc.ReadDescFile();
    }();
    Check(ready, "the description table reads");
    return doc;
}

void CheckGuesses(const CMobDocument& doc)
{
    const auto guesses = CTypeGuesser::GuessAll(doc);
    for (std::size_t i = 0; i < guesses.size(); ++i) {
        const TypeGuess& guess = guesses[i];
        Check(i == 0 || guesses[i - 1].id < guess.id, "guesses come once an id, in id order");
        Check(doc.LookupDesc(IdKey(guess.id)) == nullptr, "only undescribed ids are guessed");
        Check(guess.chunks > 0, "a guessed id has chunks");
        Check(guess.dataType >= 0 && guess.dataType < kDataTypeCount, "a guess is a data type");
        Check((guess.confidence == 0) == (guess.dataType == DT_NULL), "no guess has confidence 0, a guess more");
        Check(guess.confidence <= 100, "a confidence is a percentage");
        Check(!guess.reason.empty() && guess.reason.find_first_of("\t\r\n") == std::string::npos,
              "a reason is one line without a TAB");
    }
}

void CheckInspector(CMobDocument& doc, NodeId node)
{
    const CPayloadBytes payload = CPayloadBytes::Of(doc, node);
    const auto bytes = payload.Bytes();
    const CHexLayout layout(bytes);
    Check(layout.RowCount() * CHexLayout::kBytesPerRow >= bytes.size(), "the rows cover the payload");
    for (std::size_t row = 0; row < layout.RowCount(); ++row) {
        Check(layout.Line(row).size() == 8 + 2 + CHexLayout::kHexWidth + 2 + layout.RowBytes(row).size(),
              "a hex line has its fixed width and one character a byte");
    }
    for (std::size_t i = 0; i < std::min(bytes.size(), kOffsetsRead); ++i) {
        const ByteReadings ahead = CDataInspector::Read(bytes, i);
        const ByteReadings behind = CDataInspector::Read(bytes, bytes.size() - 1 - i);
        Check(ahead.u64.has_value() == (bytes.size() - i >= 8), "a reading is there exactly when it fits");
        Check(behind.u16.has_value() == (i >= 1), "a reading is there exactly when it fits");
    }
    for (const TypePreview& preview : CTypePreview::ForPayload(bytes))
        Check(CTypePreview::LayoutFits(preview.dataType, bytes), "only types that fit are listed");
}

void TestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0xFFFFFFFEu)
        return;
    CMobDocument& doc = TheDocument();
    static const std::uint8_t kNothing = 0;
    const NodeId file = doc.Tree().InsertItem(std::string_view("memory"), IMG_FILE, kNoNode);
    const auto key = static_cast<std::int32_t>(doc.Tree().GetCount());
    doc.Tree().SetItemData(file, key);
    doc.Chunks().SetAt(key, CMobChunk(std::string_view("memory")));
    doc.ParseChunks(file, data ? data : &kNothing, static_cast<std::uint32_t>(size));

    CheckGuesses(doc);
    for (NodeId node = 1; node <= doc.Tree().GetCount(); ++node)
        CheckInspector(doc, node);
    doc.UnloadAll();
}

} // namespace
} // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qm::fuzz::TestOneInput(data, size);
    return 0;
}
