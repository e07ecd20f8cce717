#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// Node labels, each distinct text stored once: a million chunks of a few
// hundred types share a few hundred strings.
class CLabelPool {
public:
    using LabelId = std::uint32_t;

    // The id of text, adding it when it is new. Id 0 is always the empty text.
    LabelId Intern(std::string_view text);
    std::string_view Text(LabelId id) const { return m_texts[id]; }
    std::size_t GetCount() const { return m_texts.size(); }
    void Clear();

    CLabelPool() { Clear(); }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };

    // Strings are kept behind stable pointers so the lookup map can view them.
    std::vector<std::unique_ptr<std::string>> m_owned;
    std::vector<std::string_view> m_texts;
    std::unordered_map<std::string_view, LabelId, Hash, std::equal_to<>> m_ids;
};

} // namespace qm
