#include "mob/CLabelPool.h"

namespace qm {

CLabelPool::LabelId CLabelPool::Intern(std::string_view text)
{
    if (text.empty())
        return 0;
    if (const auto it = m_ids.find(text); it != m_ids.end())
        return it->second;
    m_owned.push_back(std::make_unique<std::string>(text));
    const std::string_view stored = *m_owned.back();
    const auto id = static_cast<LabelId>(m_texts.size());
    m_texts.push_back(stored);
    m_ids.emplace(stored, id);
    return id;
}

void CLabelPool::Clear()
{
    m_ids.clear();
    m_owned.clear();
    m_texts.assign(1, std::string_view());
}

} // namespace qm
