// Tables that bind named settings to the fields of a struct: one table lists
// which setting each field mirrors, and serves both reading the values and
// storing them back, so that the two directions cannot drift apart.
//
// A TextField holds the stored value as it is. A FlagField reads as
// Settings::GetBoolValue (a nonzero number is on) and is stored as "1" or
// "0". Fields are read and stored in table order.
//
// Thread safety: as the Settings passed in.
#pragma once

#include <cstddef>
#include <string>

#include "common/settings.h"

namespace tellwen {

template <class Values>
struct TextField {
  const char* name;
  std::string Values::*field;
};

template <class Values>
struct FlagField {
  const char* name;
  bool Values::*field;
};

template <class Values, std::size_t N>
void ReadFields(Settings& settings, const TextField<Values> (&fields)[N], Values* out) {
  for (const TextField<Values>& f : fields) out->*f.field = settings.GetValue(f.name);
}

template <class Values, std::size_t N>
void ReadFields(Settings& settings, const FlagField<Values> (&fields)[N], Values* out) {
  for (const FlagField<Values>& f : fields) out->*f.field = settings.GetBoolValue(f.name);
}

template <class Values, std::size_t N>
void StoreFields(Settings& settings, const TextField<Values> (&fields)[N], const Values& in) {
  for (const TextField<Values>& f : fields) settings.SetValue(f.name, in.*f.field);
}

template <class Values, std::size_t N>
void StoreFields(Settings& settings, const FlagField<Values> (&fields)[N], const Values& in) {
  for (const FlagField<Values>& f : fields) settings.SetValue(f.name, in.*f.field ? "1" : "0");
}

}  // namespace tellwen
