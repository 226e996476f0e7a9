#pragma once
// Table of live handles of one kind: a handle is a never-reused number shown
// to callers as an opaque pointer, so a stale handle is looked up and refused
// rather than dereferenced. Not thread-safe on its own: the owner locks.

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace platform {

template <typename Tag, typename Object>
class HandleTable {
public:
    Tag* Add(std::shared_ptr<Object> object) {
        m_next += 4;  // never 0, never reused
        m_objects.emplace(m_next, std::move(object));
        return reinterpret_cast<Tag*>(m_next);
    }
    std::shared_ptr<Object> Find(Tag* handle) const {
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == m_objects.end() ? nullptr : it->second;
    }
    std::shared_ptr<Object> Remove(Tag* handle) {
        auto it = m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == m_objects.end()) return nullptr;
        auto object = std::move(it->second);
        m_objects.erase(it);
        return object;
    }
    std::size_t Size() const { return m_objects.size(); }

private:
    std::uintptr_t m_next = 0x1000;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> m_objects;
};

}  // namespace platform
