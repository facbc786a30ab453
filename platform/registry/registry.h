// The registry hive: a small, file-backed stand-in for the platform registry.
//
// A hive is a folder tree. A key is a folder ("HKEY_LOCAL_MACHINE\Software\KIV"
// is <root>/HKEY_LOCAL_MACHINE/Software/KIV/), a value is a file in it holding
// exactly the value's bytes. The hive root is $TELLWEN_REGISTRY when set, else
// /var/lib/tellwen/registry.
//
// Writes go to a temporary file in the key's folder that is then renamed over
// the value, so a reader sees either the old or the new value whole, never a
// torn or empty one; concurrent writers need no lock and the last one wins.
// A temporary file left by a writer that was killed is removed once it is
// older than a minute (by ListValues, and by writers now and then).
// Value names are stored percent-escaped where the file system could not hold
// them ("/", "%", a leading "."), so any name round-trips.
//
// Every call returns 0 on success or an errno code (ENOENT for a missing key
// or value, EMSGSIZE for a value larger than the caller's bound, EINVAL for
// an empty value name).
//
// Thread safety: every function may be called from any thread at any time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tellwen::registry {

// The hive root folder, without a trailing "/".
std::string HiveRoot();

// Opens the key with the backslash-separated path under the hive root,
// creating its folders when create is true. Fills *folder with the key's
// folder and, when not null, *created with whether the key was new.
int OpenKey(const std::string& key_path, bool create, std::string* folder, bool* created);

// Reads value name of the key in folder into *bytes, reading at most
// max_bytes; a larger value leaves *bytes untouched and returns EMSGSIZE.
// Answers come from a process-wide cache that every change to the value's
// file, by any process, invalidates before the change returns
// (platform/registry/value_cache.h).
int QueryValue(const std::string& folder, const std::string& name, std::size_t max_bytes,
               std::string* bytes);

// Stores bytes as value name of the key in folder, atomically.
int SetValue(const std::string& folder, const std::string& name, const std::string& bytes);

// Stores bytes as value name only when the value does not exist, atomically
// (a no-replace link): EEXIST, and the stored value untouched, when another
// writer stored one first. Used to create a default without overwriting a
// concurrent SetValue.
int CreateValue(const std::string& folder, const std::string& name, const std::string& bytes);

// Removes value name; ENOENT when it does not exist.
int DeleteValue(const std::string& folder, const std::string& name);

// The names of every value of the key, sorted by byte order. When
// unreadable is not null it receives, sorted, the names of entries that are
// no value file (a folder, a dangling link) and so were left out.
int ListValues(const std::string& folder, std::vector<std::string>* names,
               std::vector<std::string>* unreadable = nullptr);

}  // namespace tellwen::registry
