// ReceiveCert of a file holding several certificates (a chain), and
// ReceiveRootCert of a bundle of roots. Either takes the whole file or
// nothing: every check is made before the in-memory key ring changes, and
// the key ring file is written only when all went well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "commands/common_steps.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

// The certificate that matches a key entry (by public key; with EntryLabel
// the entry of that label) goes to that entry; the others become untrusted
// certificate entries labelled from their subject, except those whose DER
// the key ring holds already or whose key an entry holds. Unless NoTrust
// is given, the key entry's certificate must lead to a trusted root
// through the file's and the key ring's certificates. 0 with 30025; -1
// with 30046, 30076, 30056, 30086, 30084, 30062, 30063, 30024 or 30018.
int ReceiveChain(const SecurityCmdContext& context, const std::vector<Bytes>& certificates,
                 std::uint32_t* slot);

// Every self-signed certificate of the bundle that verifies with its own
// key, is valid now and fits a record becomes a trusted root entry (one
// the key ring holds already is marked as trusted); the others are counted
// as skipped. 0 with 30025 (none skipped) or 30085; -1 with 30046, 30085
// (none taken) or 30018.
int ReceiveRootBundle(const SecurityCmdContext& context, const std::vector<Bytes>& certificates,
                      std::uint32_t* slot);

// How many certificates the last ReceiveRootBundle of this process skipped.
// The message cannot carry the number: the command-line tool reads it and
// tells its user.
std::size_t ReceivedBundleSkipped();

}  // namespace kcertadm
