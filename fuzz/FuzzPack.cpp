// Arbitrary bytes as an unpacked document. The reader either refuses them
// with a place ("PATH:LINE:COLUMN: ...") or gives MOB bytes; those bytes,
// loaded without descriptions (every chunk a leaf), unpacked and packed
// again, come back as the same bytes when they hold whole chunks only.

#include "FuzzCheck.h"
#include "tools/TempDir.h"

#include "mob/CMobDocument.h"
#include "unpack/CPackReader.h"
#include "unpack/CUnpackWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::fuzz {
namespace {

struct Folder {
    tools::TempDir temp;
    std::string input = temp.File("input.json");
    std::string again = temp.File("again.json");
};

Folder& TheFolder()
{
    static Folder folder;
    return folder;
}

} // namespace
} // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qm;
    using fuzz::Check;
    fuzz::Folder& folder = fuzz::TheFolder();
    tools::WriteFileBytes(folder.input, data, size);

    CPackReader reader;
    if (!reader.ReadFile(folder.input)) {
        Check(reader.GetError().rfind(folder.input + ":", 0) == 0, "a refusal names the document");
        Check(reader.Bytes().empty(), "a refused document gives no bytes");
        return 0;
    }
    Check(!reader.Bytes().empty(), "a document that packs gives bytes");

    CMobDocument doc;
    Check(doc.LoadMobBytes("packed.mob", reader.Bytes()), "packed bytes load");
    const bool whole = doc.NodesWithTrailingBytes().empty() && doc.ChunksCutShort().empty();
    CUnpackWriter writer(doc);
    Check(writer.WriteFile(doc.Tree().GetRootItem(), "packed.mob", folder.again), "packed bytes unpack");
    CPackReader again;
    Check(again.ReadFile(folder.again), "an unpacked document packs");
    Check(!whole || again.Bytes() == reader.Bytes(), "whole chunks pack back to the same bytes");
    return 0;
}
