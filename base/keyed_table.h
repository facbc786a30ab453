// KeyedValue and LookUp: the value a key stands for in a small constant
// table, such as the text shown for each value of an enum.
//
// A key the table does not hold gives the fallback, so the tables list only
// the keys with a text of their own and the fallback names the rest.
//
// Thread safety: pure functions over the caller's constant tables.
#pragma once

#include <cstddef>
#include <type_traits>

namespace tellwen {

template <class Key, class Value>
struct KeyedValue {
  Key key;
  Value value;
};

template <class Key, class Value, std::size_t N>
constexpr Value LookUp(const KeyedValue<Key, Value> (&table)[N], std::type_identity_t<Key> key,
                       std::type_identity_t<Value> fallback) {
  for (const KeyedValue<Key, Value>& entry : table) {
    if (entry.key == key) return entry.value;
  }
  return fallback;
}

}  // namespace tellwen
