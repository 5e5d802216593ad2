// Files that hold key material (key ring and stash files) are readable and
// writable by their owner only: such a file is restricted to mode 0600
// right after it is created, before any secret is written to it. On file
// systems without permission bits the mode change has no effect and the
// file is written all the same.
#pragma once

namespace kcertadm {

// Restricts an open file to its owner (mode 0600): 1 on success, 0 on any
// failure (the caller may go on writing; the result is informational).
int RestrictFileToOwner(int fd);

}  // namespace kcertadm
