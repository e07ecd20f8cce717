// Writes the bundled examples: examples/mob_desc.txt and examples/sample.mob,
// a small world of the game with a chunk of every data type, nested
// containers, and a chunk whose id has no description.
//
//   make_examples OUTPUT_FOLDER

#include "tools/ChunkBuilder.h"

#include "codec/CryptScriptData.h"
#include "platform/LittleEndian.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using qm::tools::ChunkBuilder;
using qm::tools::F32Bytes;
using qm::tools::U32Bytes;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kDescription =
    "0x00001000\tREC\tWORLD\tThe whole world of one saved game\r\n"
    "0x00001001\tREC\tREGION\tA region of the map with its units\r\n"
    "0x00001002\tREC\tUNIT\tOne unit on the map\r\n"
    "0x00001003\tREC\tDIALOGUES\tConversation lines\r\n"
    "0x00002001\tBYTE\tFLAGS\tUnit flags: 1 visible, 2 selectable\r\n"
    "0x00002002\tWORD\tLEVEL\tExperience level\r\n"
    "0x00002003\tDWORD\tGOLD\tGold carried\r\n"
    "0x00002004\tFLOAT\tSCALE\tDrawing scale\r\n"
    "0x00002005\tSTRING\tNAME\tDisplay name\r\n"
    "0x00002006\tNULL\tRESERVED\tKept for the engine\r\n"
    "0x00002007\tSCRIPT\tSCRIPT\tEvent script\r\n"
    "0x00002008\tSCRIPT_ENC\tSECRET_SCRIPT\tEnciphered event script\r\n"
    "0x00002009\tSTR_SAR\tLINES\tLines of a conversation\r\n"
    "0x0000200A\tRECT\tBOUNDS\tRegion bounds: left, top, right, bottom\r\n"
    "0x0000200B\tSTR_S01\tPATH\tPatrol path points\r\n"
    "0x0000200C\tSTR_S02\tOUTLINE\tRegion outline\r\n"
    "0x0000200D\tPLOT\tPOSITION\tPosition on the map\r\n"
    "0x0000200E\tQUATERNION\tROTATION\tFacing\r\n"
    "0x0000200F\tBINARY\tTRIPLE\tThree counters\r\n"
    "0x00002010\tSTR_S06\tUNIT_STATS\tCombat statistics\r\n"
    "0x00002011\tDIPLOMACY\tDIPLOMACY\tStanding between the 32 factions\r\n"
    "0x00002012\tSTR_S08\tPAIR\tTwo values\r\n"
    "0x00002013\tSTR_S09\tEXTRA_S09\t\r\n"
    "0x00002014\tSTR_S10\tEXTRA_S10\t\r\n"
    "0x00002015\tSTR_S11\tEXTRA_S11\t\r\n"
    "0x00002020\tFLOAT\tPos.x\tA name with a full stop\r\n";

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Enciphered(std::uint32_t key, const std::string& script)
{
    Bytes body = Text(script);
    qm::CryptScriptData(key, body.data(), static_cast<std::uint32_t>(body.size()));
    return Cat({U32Bytes({key}), body});
}

Bytes StringRecords(std::uint32_t id, const std::vector<std::string>& texts)
{
    Bytes payload = U32Bytes({static_cast<std::uint32_t>(texts.size())});
    for (const std::string& text : texts)
        payload = Cat({payload, U32Bytes({id, static_cast<std::uint32_t>(text.size() + 8)}), Text(text)});
    return payload;
}

Bytes UnitStats(int seed)
{
    Bytes stats(172, 0);
    for (int i = 0; i < 4; ++i)
        qm::le::WriteI32(stats.data() + 4 * i, 100 * seed + i);
    for (int i = 0; i < 10; ++i)
        qm::le::WriteF32(stats.data() + 16 + 4 * i, 0.5f * static_cast<float>(i + seed));
    stats[56] = 3;
    stats[57] = 250;
    for (int i = 0; i < 13; ++i)
        qm::le::WriteF32(stats.data() + 60 + 4 * i, static_cast<float>(i) * 1.25f);
    stats[112] = 7;
    for (int i = 0; i < 12; ++i)
        qm::le::WriteF32(stats.data() + 116 + 4 * i, -static_cast<float>(i) / 4.0f);
    for (std::size_t i = 0; i < 6; ++i)
        stats[164 + i] = static_cast<std::uint8_t>(i * 40);
    return stats;
}

Bytes Diplomacy()
{
    Bytes table(4096);
    for (std::uint32_t i = 0; i < 1024; ++i) {
        const int a = static_cast<int>(i / 32);
        const int b = static_cast<int>(i % 32);
        qm::le::WriteI32(table.data() + 4 * i, a == b ? 100 : ((a * 7 + b * 13) % 201) - 100);
    }
    return table;
}

void AddUnit(ChunkBuilder& b, const std::string& name, int seed)
{
    b.Begin(0x1002)
        .Chunk(0x2005, name)
        .Chunk(0x2001, {3})
        .Chunk(0x2002, Bytes{static_cast<std::uint8_t>(seed * 6), 1})
        .Chunk(0x2003, U32Bytes({static_cast<std::uint32_t>(1500 * seed)}))
        .Chunk(0x2004, F32Bytes({1.25f}))
        .Chunk(0x200D, F32Bytes({12.5f * static_cast<float>(seed), -3.0f, 0.0f}))
        .Chunk(0x200E, F32Bytes({0.0f, 0.707107f, 0.0f, 0.707107f}))
        .Chunk(0x2020, F32Bytes({12.5f}))
        .Chunk(0x2010, UnitStats(seed))
        .Chunk(0x200B, Cat({U32Bytes({3}), F32Bytes({0, 0, 0, 10, 0, 5.5f, 20, 1.5f, 5.5f})}))
        .Chunk(0x2007, "on_spawn:\n  say \"Ready.\"\n  patrol PATH\n")
        .Chunk(0x2008, Enciphered(0x5EED0000u + static_cast<std::uint32_t>(seed),
                                  "on_death:\n  give GOLD to killer\n  end\n"))
        .End();
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_examples OUTPUT_FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];

    ChunkBuilder b;
    b.Begin(0x1000).Chunk(0x2005, "Emberfold");
    b.Begin(0x1001)
        .Chunk(0x2005, "Ashen Vale")
        .Chunk(0x200A, U32Bytes({10, 20, 300, 200}))
        .Chunk(0x200C, Cat({U32Bytes({4}), F32Bytes({10, 20, 300, 20, 300, 200, 10, 200})}));
    AddUnit(b, "Captain Brann", 1);
    AddUnit(b, "Scout Ilsa", 2);
    b.End();
    b.Begin(0x1003)
        .Chunk(0x2009, StringRecords(0x2009, {"Halt! Who goes there?", "A friend of the Vale.", "",
                                              "Then pass,\r\nand mind the ashes."}))
        .End();
    b.Chunk(0x2011, Diplomacy())
        .Chunk(0x200F, U32Bytes({1, 2, 3}))
        .Chunk(0x2012, U32Bytes({640, 480}))
        .Chunk(0x2013, {1, 2, 3, 4})
        .Chunk(0x2014, {})
        .Chunk(0x2015, {9})
        .Chunk(0x2006, {0, 0, 0, 0});
    // An id the description file does not know: shown as one chunk with
    // empty text, even though its payload happens to hold chunks.
    ChunkBuilder hidden;
    hidden.Chunk(0x2005, "not a child");
    b.Chunk(0x0000BEEF, hidden.Bytes());
    b.End();

    const Bytes& bytes = b.Bytes();
    if (!WriteFile(folder + "/mob_desc.txt", kDescription) ||
        !WriteFile(folder + "/sample.mob", std::string(bytes.begin(), bytes.end()))) {
        std::cerr << "make_examples: cannot write to " << folder << "\n";
        return 1;
    }
    return 0;
}
