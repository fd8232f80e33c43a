#pragma once
// Changing an ini file that other programs change too (korvel.ini is shared by every running
// korvel and korvel-cli).
//
// One update: take an exclusive advisory lock (flock) on "<path>.lock" beside the file, read
// the file again, drop its stray lines (IniFile::DropStrayLines), let the caller change it,
// and write the result whole or not at all (FileSystem::BeginWrite and CommitWrite), then
// let the lock go. Every update holds the lock from its reading to its writing, so no update
// is built on a text another one is about to replace: each caller changes only what it means
// to change, and the changes of all of them survive. Readers need no lock: the file is always
// either the old text whole or the new one whole.
//
// The lock file is created (0600) when missing and stays; removing it would let two programs
// lock two different files. The lock is waited for; it is held only for one read and write.

#include <functional>
#include <string>

#include "platform/IniFile.h"

namespace korvel {

// Updates `path` by `change` as described above. True when the file now holds the changed
// text (or already did: an update that changes nothing writes nothing). False, with the file
// as it was, when the lock cannot be had (the lock file cannot be created or is not a regular
// file), the file exists but cannot be read (or is not a regular file), or the write fails.
[[nodiscard]] bool UpdateIniFile(const std::string& path,
                                 const std::function<void(IniFile&)>& change);

}  // namespace korvel
