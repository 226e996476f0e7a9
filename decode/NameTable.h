#pragma once
// Value-to-name tables of the decoders: one table per field, one row per
// value, sorted by value so a lookup is a binary search and the order is
// checked at compile time.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace decode {

struct Name {
    std::uint8_t value;
    std::string_view text;
};

template <std::size_t N>
constexpr bool SortedUnique(const Name (&table)[N]) {
    for (std::size_t i = 1; i < N; ++i) {
        if (table[i - 1].value >= table[i].value) return false;
    }
    return true;
}

// The name of v, or an empty view when the table has no row for it.
constexpr std::string_view Lookup(std::span<const Name> table, std::uint8_t v) {
    const auto it = std::lower_bound(table.begin(), table.end(), v,
                                     [](const Name& row, std::uint8_t key) { return row.value < key; });
    if (it == table.end() || it->value != v) return {};
    return it->text;
}

}  // namespace decode
