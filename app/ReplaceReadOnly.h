// The window's answer to a save onto a read-only file: the replacing write
// would remove it without a word (see ReplacingFile), so the user is asked
// first, as the command line asks for --force.
#pragma once

#include <string>

class Platform;

// Whether `path` may be written: true unless it is a read-only file the user
// chose not to replace.
bool MayReplace(Platform& platform, const std::string& path);
