#pragma once

#include <cstdint>
#include <string>

namespace qm {

// The id key: a chunk type id as exactly eight upper-case hexadecimal
// digits with leading zeros (0x2B gives "0000002B"). It is the key of the
// description table and the form in which an id is shown everywhere, so it
// is made here and nowhere else.
inline std::string IdKey(std::uint32_t id)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string key(8, '0');
    for (std::size_t i = key.size(); i-- > 0; id >>= 4)
        key[i] = kDigits[id & 0xFu];
    return key;
}

// The id as the TypeID field shows it and "mob_desc.txt" writes it: "0x"
// and the id key.
inline std::string TypeIdText(std::uint32_t id)
{
    return "0x" + IdKey(id);
}

} // namespace qm
