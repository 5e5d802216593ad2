// Files that hold key material (key ring and stash files) are readable and
// writable by their owner only. Open them for writing with OpenOwnerOnly:
// a file it creates gets mode 0600 whatever the umask, and an existing file
// opened for writing is set to 0600 before the stream is returned, so no
// secret is ever written while others may read the file. On file systems
// without permission bits the mode change has no effect and the file is
// written all the same.
#pragma once

#include <cstdio>

namespace kcertadm {

// fopen() with the same mode strings ("r", "w", "a", each with optional
// "+" and "b"). Writing modes give the owner-only protection above.
// Returns null with errno set on failure.
std::FILE* OpenOwnerOnly(const char* path, const char* mode);

// Restricts an open file to its owner (mode 0600): 1 on success, 0 on any
// failure (the caller may go on writing; the result is informational).
int RestrictFileToOwner(int fd);
int RestrictFileToOwner(const char* path);

}  // namespace kcertadm
