#pragma once

#include "db/OpenChunkStore.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace qm {

class CMobDocument;

// mobtool's unpack and pack with a database: --sqlite DB or --postgres
// CONNINFO chooses the database, and the commands go through here.
class CDbCommands {
public:
    // Loads one file into the document, telling the user why when it cannot.
    using Loader = std::function<bool(const std::string& path)>;

    CDbCommands(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    // Takes the database option at args[i], moving i past its value. False
    // when args[i] is no database option; problem is set for one given
    // wrongly.
    bool TakeOption(const std::vector<std::string>& args, std::size_t& i, std::string& problem);
    bool HasTarget() const { return m_target.has_value(); }

    // Exit status as CMobTool gives it, or none for a usage error (problem set).
    std::optional<int> Run(const std::string& command, const std::vector<std::string>& operands,
                           CMobDocument& doc, const Loader& load, std::string& problem);

private:
    int Unpack(const std::vector<std::string>& paths, CMobDocument& doc, const Loader& load);
    int Pack(std::int64_t fileId, const std::string& out);

    std::ostream& m_out;
    std::ostream& m_err;
    std::optional<db::DbTarget> m_target;
};

} // namespace qm
