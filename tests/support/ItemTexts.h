#pragma once
// A decode item as the decode tree shows it: five texts, so expected items
// read the way a person sees them.

#include <ostream>
#include <string>
#include <vector>

#include "decode/DecodeItem.h"

namespace testsupport {

struct ItemTexts {
    std::string index;
    std::string id;
    std::string length;
    std::string name;
    std::string mnemonic;
    bool operator==(const ItemTexts&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const ItemTexts& t) {
        return out << '{' << t.index << ' ' << t.id << ' ' << t.length << " \"" << t.name << "\" \"" << t.mnemonic
                   << "\"}";
    }
};

inline ItemTexts TextsOf(const decode::DecodeItem& item) {
    return {item.IndexText(), item.IdText(), item.LengthText(), item.name, item.mnemonic};
}

inline std::vector<ItemTexts> TextsOf(const std::vector<decode::DecodeItem>& items) {
    std::vector<ItemTexts> texts;
    for (const decode::DecodeItem& item : items) texts.push_back(TextsOf(item));
    return texts;
}

}  // namespace testsupport
