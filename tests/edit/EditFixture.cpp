#include "EditFixture.h"

#include "desc/IdKey.h"
#include "platform/LittleEndian.h"

#include <ostream>

namespace qm::test {

DocState::Node& DocState::At(std::int32_t key)
{
    for (Node& node : nodes) {
        if (node.key == key)
            return node;
    }
    ADD_FAILURE() << "no node with key " << key;
    static Node none;
    return none;
}

void PrintTo(const DocState& state, std::ostream* out)
{
    *out << "\n";
    for (const DocState::Node& node : state.nodes) {
        *out << node.key << " \"" << node.label << "\" img=" << node.image << " id=" << IdKey(node.id)
             << " type=" << node.dataType << " size=" << node.size << (node.hasData ? " data=" : " nodata");
        for (const std::uint8_t byte : node.bytes)
            *out << "0123456789abcdef"[byte >> 4] << "0123456789abcdef"[byte & 0xF];
        *out << "\n";
    }
    for (const auto& [key, entry] : state.entries)
        *out << key << "\t" << entry.m_strType << "\t" << entry.m_strName << "\t" << entry.m_strDescription << "\n";
}

EditFixture::EditFixture()
{
    std::string text = tools::ReadFileText(dir.File("mob_desc.txt"));
    for (std::int32_t code = 0; code < kDataTypeCount; ++code) {
        const std::string type(kDataTypeNames[static_cast<std::size_t>(code)]);
        text += TypeIdText(TypeId(code)) + "\t" + type + "\tT_" + type + "\td-" + type + "\r\n";
    }
    tools::WriteFileText(dir.File("mob_desc.txt"), text);
    EXPECT_TRUE(doc.ReadDescFile()) << doc.GetError();
}

DocState EditFixture::State(const std::vector<std::string>& extraKeys) const
{
    DocState state;
    const CChunkTree& tree = doc.Tree();
    for (NodeId node = tree.GetRootItem(); node != kNoNode; node = tree.NextInPreOrder(node, kNoNode)) {
        DocState::Node& row = state.nodes.emplace_back();
        row.key = tree.GetItemData(node);
        row.label = tree.GetItemText(node);
        row.image = tree.GetItemImage(node);
        if (const CMobChunk* rec = doc.Chunks().Lookup(row.key)) {
            row.id = rec->m_nId;
            row.dataType = rec->m_nDataType;
            row.size = rec->m_nSize;
            row.hasData = static_cast<bool>(rec->m_pData);
            if (rec->m_pData)
                row.bytes.assign(rec->m_pData.get(), rec->m_pData.get() + rec->m_nSize);
        }
    }
    std::vector<std::string> keys = extraKeys;
    for (const std::uint32_t id : {kIdRec, kIdRecInner, kIdByte, kIdDword, kIdString, kIdRect, kIdUnknown})
        keys.push_back(IdKey(id));
    for (std::int32_t code = 0; code < kDataTypeCount; ++code)
        keys.push_back(IdKey(TypeId(code)));
    for (const std::string& key : keys) {
        if (const CFieldDesc* entry = doc.LookupDesc(key))
            state.entries[key] = *entry;
    }
    return state;
}

void EditFixture::ExpectSizesAndOffsetsAsSaved()
{
    const CChunkTree& tree = doc.Tree();
    for (NodeId file = tree.GetRootItem(); file != kNoNode; file = tree.GetNextSiblingItem(file)) {
        std::vector<std::uint8_t> saved;
        ASSERT_TRUE(doc.WriteChunkList(file, saved)) << doc.GetIoError();
        EXPECT_EQ(doc.GetFileBytes(file), saved.size()) << "file " << file;
        for (NodeId node = tree.GetChildItem(file); node != kNoNode; node = tree.NextInPreOrder(node, file)) {
            const CMobChunk& rec = *doc.Chunks().Lookup(tree.GetItemData(node));
            const std::uint32_t offset = doc.GetChunkOffset(node);
            ASSERT_LE(std::uint64_t{offset} + 8, saved.size()) << "node " << node;
            EXPECT_EQ(le::ReadU32(saved.data() + offset), rec.m_nId) << "node " << node;
            EXPECT_EQ(le::ReadU32(saved.data() + offset + 4), rec.m_nSize + 8) << "node " << node;
        }
    }
}

} // namespace qm::test
