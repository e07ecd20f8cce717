// Which JSON library reads and writes unpacked documents: each candidate
// from Debian parses the same unpacked million-chunk document (every value
// read, every hex string decoded) and writes it, each run in a fresh
// process so that its peak memory is its own.
//
//   cmake --preset release -DQUILLMERE_JSON_CHOICE=ON
//   cmake --build build/release --target json_choice
//   build/release/bench/json-choice/json_choice [random|typed]

#include "codec/CPayloadTextForm.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "mob/CMobDocument.h"
#include "tools/CSyntheticMob.h"
#include "tools/CTypedSampleMob.h"
#include "tools/TempDir.h"
#include "unpack/CHexText.h"
#include "unpack/CUnpackWriter.h"

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <simdjson.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace qm;
using Clock = std::chrono::steady_clock;

// What every parser does with what it reads, so that all do the same work.
struct Tally {
    std::uint64_t strings = 0;
    std::uint64_t stringBytes = 0;
    std::uint64_t hexBytes = 0;
    std::vector<std::uint8_t> decoded;

    void String(std::string_view key, std::string_view value)
    {
        ++strings;
        stringBytes += value.size();
        if (key == "hex" || key == "trailing") {
            CHexText::Decode(value, decoded);
            hexBytes += decoded.size();
        }
    }
};

struct RapidHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, RapidHandler> {
    Tally& tally;
    std::string_view key;
    std::string keyStore;
    explicit RapidHandler(Tally& t) : tally(t) {}
    bool Key(const char* s, rapidjson::SizeType n, bool)
    {
        keyStore.assign(s, n);
        key = keyStore;
        return true;
    }
    bool String(const char* s, rapidjson::SizeType n, bool)
    {
        tally.String(key, {s, n});
        return true;
    }
    bool Default() { return true; }
};

void WalkRapid(const rapidjson::Value& v, std::string_view key, Tally& tally)
{
    if (v.IsObject()) {
        for (auto it = v.MemberBegin(); it != v.MemberEnd(); ++it)
            WalkRapid(it->value, {it->name.GetString(), it->name.GetStringLength()}, tally);
    } else if (v.IsArray()) {
        for (const auto& e : v.GetArray())
            WalkRapid(e, key, tally);
    } else if (v.IsString()) {
        tally.String(key, {v.GetString(), v.GetStringLength()});
    }
}

void WalkNlohmann(const nlohmann::json& v, std::string_view key, Tally& tally)
{
    if (v.is_object()) {
        for (auto it = v.begin(); it != v.end(); ++it)
            WalkNlohmann(it.value(), it.key(), tally);
    } else if (v.is_array()) {
        for (const auto& e : v)
            WalkNlohmann(e, key, tally);
    } else if (v.is_string()) {
        tally.String(key, v.get_ref<const std::string&>());
    }
}

struct NlohmannSax : nlohmann::json_sax<nlohmann::json> {
    Tally& tally;
    std::string lastKey;
    explicit NlohmannSax(Tally& t) : tally(t) {}
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t& s) override
    {
        tally.String(lastKey, s);
        return true;
    }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t& k) override
    {
        lastKey = k;
        return true;
    }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

void WalkSimdDom(simdjson::dom::element v, std::string_view key, Tally& tally)
{
    switch (v.type()) {
    case simdjson::dom::element_type::OBJECT:
        for (auto field : simdjson::dom::object(v))
            WalkSimdDom(field.value, field.key, tally);
        break;
    case simdjson::dom::element_type::ARRAY:
        for (auto e : simdjson::dom::array(v))
            WalkSimdDom(e, key, tally);
        break;
    case simdjson::dom::element_type::STRING:
        tally.String(key, std::string_view(v));
        break;
    default:
        break;
    }
}

void WalkOnDemand(simdjson::ondemand::value v, std::string_view key, Tally& tally)
{
    switch (v.type().value()) {
    case simdjson::ondemand::json_type::object:
        for (auto field : v.get_object()) {
            std::string_view k = field.unescaped_key().value();
            std::string kept(k);
            WalkOnDemand(field.value().value(), kept, tally);
        }
        break;
    case simdjson::ondemand::json_type::array:
        for (auto e : v.get_array())
            WalkOnDemand(e.value(), key, tally);
        break;
    case simdjson::ondemand::json_type::string:
        tally.String(key, v.get_string().value());
        break;
    default:
        break;
    }
}

std::string ReadAll(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::string text;
    char buf[1 << 16];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    std::fclose(f);
    return text;
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The unpacked form of the document's first file, built as a nlohmann DOM
// (it has no streaming writer) with the same decisions the real writer makes.
nlohmann::ordered_json ToNlohmann(const CMobDocument& doc)
{
    const CChunkTree& tree = doc.Tree();
    CPayloadTextForm::Unpacked u;
    CPayloadTextForm::Scratch scratch;
    std::function<nlohmann::ordered_json(NodeId)> chunk = [&](NodeId node) {
        const CMobChunk& rec = *doc.Chunks().Lookup(tree.GetItemData(node));
        nlohmann::ordered_json j;
        j["id"] = IdKey(rec.m_nId);
        if (!tree.GetItemText(node).empty())
            j["name"] = std::string(tree.GetItemText(node));
        j["type"] = std::string(kDataTypeNames[static_cast<std::size_t>(rec.m_nDataType)]);
        if (tree.ItemHasChildren(node)) {
            auto children = nlohmann::ordered_json::array();
            for (NodeId c = tree.GetChildItem(node); c != kNoNode; c = tree.GetNextSiblingItem(c))
                children.push_back(chunk(c));
            j["children"] = std::move(children);
            return j;
        }
        const std::span<const std::uint8_t> payload(rec.m_pData.get(), rec.m_pData ? rec.m_nSize : 0);
        CPayloadTextForm::Unpack(rec.m_nDataType, rec.m_nId, payload, u, scratch);
        if (u.hasText)
            j["text"] = u.text;
        if (u.needsBytes) {
            std::string hex;
            CHexText::Append(hex, payload);
            j["hex"] = hex;
        }
        return j;
    };
    nlohmann::ordered_json root;
    root["format"] = "quillmere-unpacked";
    root["version"] = 1;
    root["source"] = "bench.mob";
    auto chunks = nlohmann::ordered_json::array();
    const NodeId file = tree.GetRootItem();
    for (NodeId c = tree.GetChildItem(file); c != kNoNode; c = tree.GetNextSiblingItem(c))
        chunks.push_back(chunk(c));
    root["chunks"] = std::move(chunks);
    return root;
}

struct Mode {
    const char* name;
    std::function<void(std::string& json, Tally& tally, const CMobDocument* doc)> run;
    bool writes = false;
};

std::vector<Mode> Modes()
{
    return {
        {"rapidjson SAX",
         [](std::string& json, Tally& tally, const CMobDocument*) {
             rapidjson::Reader reader;
             rapidjson::StringStream stream(json.c_str());
             RapidHandler handler(tally);
             reader.Parse(stream, handler);
         }},
        {"rapidjson SAX in situ",
         [](std::string& json, Tally& tally, const CMobDocument*) {
             rapidjson::Reader reader;
             rapidjson::InsituStringStream stream(json.data());
             RapidHandler handler(tally);
             reader.Parse<rapidjson::kParseInsituFlag>(stream, handler);
         }},
        {"rapidjson DOM",
         [](std::string& json, Tally& tally, const CMobDocument*) {
             rapidjson::Document d;
             d.Parse(json.c_str(), json.size());
             WalkRapid(d, {}, tally);
         }},
        {"nlohmann DOM",
         [](std::string& json, Tally& tally, const CMobDocument*) {
             const auto d = nlohmann::json::parse(json);
             WalkNlohmann(d, {}, tally);
         }},
        {"nlohmann SAX",
         [](std::string& json, Tally& tally, const CMobDocument*) {
             NlohmannSax sax(tally);
             nlohmann::json::sax_parse(json, &sax);
         }},
        {"simdjson DOM",
         [](std::string& json, Tally& tally, const CMobDocument*) {
             simdjson::dom::parser parser;
             const simdjson::padded_string padded(json);
             std::string().swap(json);
             WalkSimdDom(parser.parse(padded).value(), {}, tally);
         }},
        {"simdjson On-Demand",
         [](std::string& json, Tally& tally, const CMobDocument*) {
             simdjson::ondemand::parser parser;
             const simdjson::padded_string padded(json);
             std::string().swap(json);
             auto d = parser.iterate(padded);
             WalkOnDemand(d.get_value().value(), {}, tally);
         }},
        {"write: rapidjson streaming",
         [](std::string&, Tally& tally, const CMobDocument* d) {
             CUnpackWriter w(*d);
             w.Write(d->Tree().GetRootItem(), "bench.mob", [&](std::string_view piece, std::string&) {
                 tally.stringBytes += piece.size();
                 return true;
             });
         },
         true},
        {"write: nlohmann DOM + dump",
         [](std::string&, Tally& tally, const CMobDocument* d) {
             const std::string text = ToNlohmann(*d).dump(2);
             tally.stringBytes += text.size();
         },
         true},
    };
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One mode, in a process started for it alone.
int RunMode(const Mode& mode, const std::string& folder, std::uint64_t mobBytes)
{
    CMobDocument doc;
    std::string json;
    std::uint64_t jsonBytes = 0;
    if (mode.writes) {
        doc.SetDescFile(folder + "/mob_desc.txt");
        doc.ReadDescFile();
        doc.LoadMobFile(folder + "/bench.mob");
    } else {
        json = ReadAll(folder + "/bench.json");
        jsonBytes = json.size();
    }
    const long before = PeakKiB();
    Tally tally;
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    mode.run(json, tally, &doc);
    const double cpu = CpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const long peak = PeakKiB();
    std::printf("%-28s cpu %6.0f ms (wall %6.0f)  %5.0f MB/s of MOB  peak %6.0f MB", mode.name, cpu * 1e3, wall * 1e3,
                static_cast<double>(mobBytes) / 1e6 / cpu, static_cast<double>(peak) / 1024.0);
    if (jsonBytes != 0)
        std::printf(" = %.2f x JSON", static_cast<double>(peak) * 1024.0 / static_cast<double>(jsonBytes));
    std::printf(" (%+.0f MB over the start)\n", static_cast<double>(peak - before) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<Mode> modes = Modes();
    if (argc == 5 && std::string(argv[1]) == "--mode")
        return RunMode(modes[std::stoul(argv[2])], argv[3], std::stoull(argv[4]));

    const std::string kind = argc > 1 ? argv[1] : "random";
    tools::TempDir dir;
    std::vector<std::uint8_t> bytes;
    std::string desc;
    if (kind == "typed") {
        // Many typed samples side by side: values as game data holds them.
        std::map<std::uint32_t, std::int32_t> truth;
        for (std::uint64_t seed = 1; bytes.size() < 60'000'000; ++seed) {
            tools::TypedSampleOptions options;
            options.seed = seed;
            options.idsPerType = 200;
            const tools::TypedSample sample = tools::CTypedSampleMob::Generate(options);
            bytes.insert(bytes.end(), sample.bytes.begin(), sample.bytes.end());
            truth.insert(sample.truth.begin(), sample.truth.end());
        }
        for (const auto& [id, type] : truth)
            desc += TypeIdText(id) + "\t" + std::string(kDataTypeNames[static_cast<std::size_t>(type)]) + "\tT" +
                    IdKey(id) + "\r\n";
    } else {
        tools::SyntheticOptions options;
        options.chunkCount = 1000000;
        bytes = tools::CSyntheticMob::Generate(options);
        desc = tools::CSyntheticMob::DescriptionText();
    }
    tools::WriteFileBytes(dir.File("bench.mob"), bytes);
    tools::WriteFileText(dir.File("mob_desc.txt"), desc);

    std::size_t chunks = 0;
    {
        CMobDocument doc;
        doc.SetDescFile(dir.File("mob_desc.txt"));
        doc.ReadDescFile();
        doc.LoadMobFile(dir.File("bench.mob"));
        chunks = doc.Tree().GetCount() - 1;
        CUnpackWriter writer(doc);
        writer.WriteFile(doc.Tree().GetRootItem(), "bench.mob", dir.File("bench.json"));
    }
    const std::uint64_t jsonSize = ReadAll(dir.File("bench.json")).size();
    std::printf("%s: %zu chunks, %zu MOB bytes, %llu JSON bytes (%.2f x)\n", kind.c_str(), chunks, bytes.size(),
                static_cast<unsigned long long>(jsonSize),
                static_cast<double>(jsonSize) / static_cast<double>(bytes.size()));
    std::fflush(stdout);
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            const std::string index = std::to_string(i);
            const std::string size = std::to_string(bytes.size());
            execl("/proc/self/exe", argv[0], "--mode", index.c_str(), dir.Path().c_str(), size.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return 0;
}
