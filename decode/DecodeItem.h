#pragma once
// One decoded Q.931 information element as the record views show it: five
// short texts, made by the element walk and never changed afterwards.

#include <string>

namespace decode {

struct DecodeItem {
    std::string index;     // "%04X": offset of the element's first octet in the frame
    std::string id;        // "%02X": the identifier octet (or the whole single-octet element)
    std::string length;    // "%02X" of the length octet; "01" for single-octet elements
    std::string name;      // "%-15s" element name; empty outside codeset 0
    std::string mnemonic;  // decoded meaning, or empty

    bool operator==(const DecodeItem&) const = default;
};

}  // namespace decode
