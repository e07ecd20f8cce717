#pragma once

#include "support/DocFixture.h"

#include "desc/CFieldDesc.h"
#include "desc/DataType.h"
#include "edit/CEditSession.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace qm::test {

// Everything an edit may change: every node's label, image and record with
// its payload bytes, and the description entries under the keys asked for.
struct DocState {
    struct Node {
        std::int32_t key = 0;
        std::string label;
        int image = 0;
        std::uint32_t id = 0;
        std::int32_t dataType = 0;
        std::uint32_t size = 0;
        bool hasData = false;
        std::vector<std::uint8_t> bytes;

        bool operator==(const Node&) const = default;
    };

    std::vector<Node> nodes;  // in tree order
    std::map<std::string, CFieldDesc> entries;

    Node& At(std::int32_t key);
    bool operator==(const DocState&) const = default;
};

void PrintTo(const DocState& state, std::ostream* out);

// A document whose table also describes every data type (id 0x3000 plus
// the code, named after the type), with an edit session over it.
class EditFixture : public DocFixture {
protected:
    EditFixture();

    static std::uint32_t TypeId(std::int32_t code) { return 0x3000 + static_cast<std::uint32_t>(code); }

    // The state, with the entries of every id the fixture knows and of extraKeys.
    DocState State(const std::vector<std::string>& extraKeys = {}) const;

    // Every chunk's size and offset, and every file's length, are what
    // saving writes: at the offset in the saved bytes stand the chunk's id
    // and a size field of its header and payload.
    void ExpectSizesAndOffsetsAsSaved();

    CEditSession session{doc};
};

} // namespace qm::test
