#include "support/DocFixture.h"

namespace qm::test {

DocFixture::DocFixture()
{
    tools::WriteFileText(dir.File("mob_desc.txt"),
                  "0x00001000\tREC\tGroup\tA container\r\n"
                  "0x00001001\trec\tInner\r\n"
                  "0x00002001\tBYTE\tFlag\r\n"
                  "0x00002003\tDWORD\tCount\r\n"
                  "0x00002005\tSTRING\tName\r\n"
                  "0x0000200A\tRECT\tBounds\r\n");
    doc.SetDescFile(dir.File("mob_desc.txt"));
    EXPECT_TRUE(doc.ReadDescFile()) << doc.GetError();
}

std::string DocFixture::Put(const std::vector<std::uint8_t>& bytes, std::string_view name)
{
    const std::string path = dir.File(name);
    tools::WriteFileBytes(path, bytes);
    return path;
}

std::string DocFixture::Load(const std::vector<std::uint8_t>& bytes, std::string_view name)
{
    const std::string path = Put(bytes, name);
    EXPECT_TRUE(doc.LoadMobFile(path)) << doc.GetIoError();
    return path;
}

std::vector<std::uint8_t> DocFixture::SaveAndRead(std::string_view name)
{
    const std::string path = dir.File(name);
    EXPECT_TRUE(doc.SaveMobFile(path)) << doc.GetIoError();
    return tools::ReadFileBytes(path);
}

const CMobChunk& DocFixture::Rec(std::int32_t key)
{
    const CMobChunk* rec = doc.Chunks().Lookup(key);
    EXPECT_NE(rec, nullptr) << "no record under key " << key;
    static const CMobChunk kNone;
    return rec ? *rec : kNone;
}

} // namespace qm::test
