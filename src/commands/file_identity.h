// Whether two file names name the same file. Commands use it so that no
// output name can overwrite the key ring file or its stash file, however the
// name is spelled ("./a.kyr", "dir/../a.kyr", a hard link or a symbolic link
// to it).
#pragma once

#include <string>

#include "kcertadm.h"

namespace kcertadm {

// Existing files are compared by device and inode. A name that does not
// exist (yet) is compared by its directory, resolved to its canonical form,
// and its last component.
bool SameFile(const std::string& a, const std::string& b);

// True when path names the context's key ring file or its stash file.
bool NamesKeyRingFile(const SecurityCmdContext& context, const char* path);

}  // namespace kcertadm
