// Status codes of the cryptographic toolkit. Every toolkit operation returns
// 0 for success or one of these codes; the services other folders call
// return them as a ToolkitStatus, which must not be ignored.
#pragma once

namespace kcertadm {

inline constexpr int TkOk = 0;
inline constexpr int TkErrAlgInfoAlreadySet = 512;  // AlgSetInfo on an object that has an algorithm
inline constexpr int TkErrBadParameter = 513;       // parameter out of range
inline constexpr int TkErrNotInitialised = 514;     // Update or Final before a successful Init
inline constexpr int TkErrAlgNotSet = 515;          // operation on an object without algorithm
inline constexpr int TkErrBadAlgObject = 516;       // invalid algorithm object handle
inline constexpr int TkErrWrongKind = 517;          // wrong kind of info type, handler or family
inline constexpr int TkErrNoMemory = 518;           // allocation failed
inline constexpr int TkErrCancelled = 519;          // the progress callback asked to stop
inline constexpr int TkErrInternal = 520;           // any other implementation failure
inline constexpr int TkErrImplementation3 = 521;    // implementation code 3
inline constexpr int TkErrExponentTooLong =
    522;  // key generation: public exponent as long as the modulus
inline constexpr int TkErrUnrecoverable = 523;  // ends a method lookup at once, like 518 and 519
inline constexpr int TkErrBadData = 524;        // malformed input or padding
inline constexpr int TkErrInputTooLong = 525;   // too much input, or an incomplete block at Final
inline constexpr int TkErrKeyAlreadySet = 526;  // KeySetInfo on a key that holds material
inline constexpr int TkErrImplementation13 = 527;  // implementation code 13
inline constexpr int TkErrBadKeyLength = 528;      // RC4 key of 0 or more than 256 bytes
inline constexpr int TkErrKeyEmpty = 529;          // KeyGetInfo on a key without material
inline constexpr int TkErrBadKeyObject = 530;      // invalid or null key handle
inline constexpr int TkErrWrongAlgInfoKind = 531;  // AlgSetInfo given a key info type
inline constexpr int TkErrBadModulusSize = 533;    // RSA modulus outside the allowed sizes
inline constexpr int TkErrImplementation11 = 534;  // implementation code 11
inline constexpr int TkErrNotFound = 535;          // info lookup miss, and similar misses
inline constexpr int TkErrOutputTooSmall = 536;    // caller's output buffer too small
inline constexpr int TkErrEncoding = 537;          // DigestInfo could not be encoded or decoded
inline constexpr int TkErrRandomNotInitialised =
    538;                                            // RandomSeed/RandomGenerate before RandomInit
inline constexpr int TkErrBadRandomObject = 539;    // invalid random object handle
inline constexpr int TkErrSignatureMismatch = 540;  // signature verification failed
inline constexpr int TkErrNotSupported = 541;       // reading parameters back
inline constexpr int TkErrBadKeyForm = 542;  // key material of wrong length, parity or completeness
inline constexpr int TkErrNoMethod = 545;    // no method list entry serves the algorithm

// 0 or one of the codes above, as a type. code() is the one way back to
// the number the messages and the C interface use.
class [[nodiscard]] ToolkitStatus {
 public:
  // From a code above (0: success); implicit, so that code returning the
  // toolkit's numbers returns a status unchanged.
  constexpr ToolkitStatus(int code = 0) noexcept : code_(code) {}  // NOLINT(runtime/explicit)

  constexpr bool ok() const noexcept { return code_ == 0; }
  constexpr int code() const noexcept { return code_; }
  friend constexpr bool operator==(ToolkitStatus, ToolkitStatus) noexcept = default;

 private:
  int code_;
};

// Small codes reported by the low-level implementations (key schedules,
// block functions, RSA arithmetic). Handlers translate them with
// MapImplementationCode before returning.
inline constexpr int kImplOk = 0;
inline constexpr int kImplCancelled = 1;        // -> 519
inline constexpr int kImplCode3 = 3;            // -> 521
inline constexpr int kImplCode4 = 4;            // -> 522
inline constexpr int kImplBadData = 5;          // -> 524
inline constexpr int kImplInputTooLong = 6;     // -> 525
inline constexpr int kImplBadModulusSize = 7;   // -> 533
inline constexpr int kImplNoPrime = 8;          // key generation retries; never leaves a handler
inline constexpr int kImplNotFound = 9;         // -> 535
inline constexpr int kImplOutputTooSmall = 10;  // -> 536
inline constexpr int kImplCode11 = 11;          // -> 534
inline constexpr int kImplBadKeyLength = 12;    // -> 528
inline constexpr int kImplCode13 = 13;          // -> 527
inline constexpr int kImplBadParameter = 15;    // -> 513
inline constexpr int kImplNoMemory = 128;       // -> 518

// Implementation code -> toolkit status (0 stays 0; unknown codes give 520).
int MapImplementationCode(int code);

// Big-number code (256 and up) -> implementation code: 256 -> 128;
// 257-262 and 264-267 -> 5; 263 -> 7; 268 -> 10; other values unchanged.
int MapBigNumCode(int code);

}  // namespace kcertadm
