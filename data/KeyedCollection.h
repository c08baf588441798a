#pragma once

#include <string>
#include <unordered_map>
#include <vector>

/// A collection keyed by exact text that keeps its entries in the order they were added.
template <typename T> class KeyedCollection
{
public:
    /// False, and nothing added, when the key is already present.
    bool Add(const std::string& key, T value)
    {
        if (m_index.contains(key))
            return false;
        m_index.emplace(key, m_items.size());
        m_items.push_back(std::move(value));
        return true;
    }
    const T* Find(const std::string& key) const
    {
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_items[it->second];
    }
    bool Contains(const std::string& key) const { return m_index.contains(key); }
    std::size_t Count() const { return m_items.size(); }
    bool Empty() const { return m_items.empty(); }
    void Clear()
    {
        m_items.clear();
        m_index.clear();
    }
    typename std::vector<T>::const_iterator begin() const { return m_items.begin(); }
    typename std::vector<T>::const_iterator end() const { return m_items.end(); }
    const T& operator[](std::size_t position) const { return m_items[position]; }

private:
    std::vector<T> m_items;
    std::unordered_map<std::string, std::size_t> m_index;
};

template <typename T> bool KeyExists(const KeyedCollection<T>& collection, const std::string& key)
{
    return collection.Contains(key);
}
