// The per-call command context record and its defaults.
#pragma once

#include <cstddef>

#include "kcertadm.h"

namespace kcertadm {

constexpr const char* kDefaultKeyFile = "keyfile.kyr";
constexpr int kDefaultKeySize = 512;
constexpr int kDefaultValidDays = 365;

// Zero-fills the record and sets the three defaults: keyFile "keyfile.kyr",
// keySize 512 and validDays 365.
void ResetCommandContext(SecurityCmdContext& context);

// The record is part of the binary interface: its field order is fixed.
// These offsets hold for a machine with 8-byte pointers.
static_assert(sizeof(void*) == 8, "the context offsets below are for 64-bit machines");
static_assert(offsetof(SecurityCmdContext, country) == 0);
static_assert(offsetof(SecurityCmdContext, email) == 48);
static_assert(offsetof(SecurityCmdContext, orgUnit3) == 64);
static_assert(offsetof(SecurityCmdContext, zipCode) == 72);
static_assert(offsetof(SecurityCmdContext, reserved10) == 80);
static_assert(offsetof(SecurityCmdContext, requestText) == 88);
static_assert(offsetof(SecurityCmdContext, requestTextLength) == 96);
static_assert(offsetof(SecurityCmdContext, password) == 104);
static_assert(offsetof(SecurityCmdContext, newPassword) == 112);
static_assert(offsetof(SecurityCmdContext, keyFile) == 120);
static_assert(offsetof(SecurityCmdContext, label) == 128);
static_assert(offsetof(SecurityCmdContext, keySize) == 136);
static_assert(offsetof(SecurityCmdContext, certReqFile) == 144);
static_assert(offsetof(SecurityCmdContext, certFile) == 152);
static_assert(offsetof(SecurityCmdContext, validDays) == 160);
static_assert(offsetof(SecurityCmdContext, entriesFile) == 168);
static_assert(offsetof(SecurityCmdContext, usePEM) == 176);
static_assert(offsetof(SecurityCmdContext, designateRoot) == 196);
static_assert(offsetof(SecurityCmdContext, reserved34) == 224);
static_assert(offsetof(SecurityCmdContext, useStash) == 236);
static_assert(offsetof(SecurityCmdContext, noStashFile) == 244);
static_assert(offsetof(SecurityCmdContext, reserved40) == 248);
static_assert(sizeof(SecurityCmdContext) == 256);

}  // namespace kcertadm
