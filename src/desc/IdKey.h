#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The id whose key is key; none for any text that is not eight upper-case
// hexadecimal digits, since such a key matches no chunk.
inline std::optional<std::uint32_t> IdOfKey(std::string_view key)
{
    if (key.size() != 8)
        return std::nullopt;
    std::uint32_t id = 0;
    for (const char c : key) {
        if (c >= '0' && c <= '9')
            id = (id << 4) | static_cast<std::uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            id = (id << 4) | static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return std::nullopt;
    }
    return id;
}

// The id as the TypeID field shows it and "mob_desc.txt" writes it: "0x"
// and the id key.
inline std::string TypeIdText(std::uint32_t id)
{
    return "0x" + IdKey(id);
}

} // namespace qm
