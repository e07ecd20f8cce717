#include "db/OpenChunkStore.h"

#include "db/CPostgresStore.h"
#include "db/CSqliteStore.h"

namespace qm::db {

std::unique_ptr<IChunkStore> OpenChunkStore(const DbTarget& target, bool forWriting, std::string& error)
{
    if (target.kind == DbTarget::Kind::Postgres) {
        auto store = std::make_unique<CPostgresStore>(target.location);
        if (store->IsOpen())
            return store;
        error = store->Error();
        return nullptr;
    }
    const auto mode = forWriting ? CSqliteStore::Mode::Write : CSqliteStore::Mode::Read;
    auto store = std::make_unique<CSqliteStore>(target.location, mode);
    if (store->IsOpen())
        return store;
    error = store->Error();
    return nullptr;
}

} // namespace qm::db
