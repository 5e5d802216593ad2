// Algorithm and key objects: creation, validity, info tables, AlgSetInfo,
// KeySetInfo and KeyGetInfo.
#include <cstring>
#include <new>

#include "crypto/toolkit/toolkit.h"

namespace kcertadm {
namespace {

// Fixed markers: a valid object's `check` points to the marker of its kind.
constexpr char kAlgorithmMarker = 'A';
constexpr char kKeyMarker = 'K';
// The common release entry of every handler.
constexpr char kHandlerMarker = 'H';

bool IsKind(const InfoType* type, InfoType::Kind kind) {
  return type != nullptr && type->kind() == kind;
}

}  // namespace

// ------------------------------------------------------------- info tables

const InfoPair* ToolkitObjectCore::FindInfo(const InfoType* type) const {
  for (std::uint32_t i = 0; i < infoCount; ++i)
    if (infos[i].type == type) return &infos[i];
  return nullptr;
}

int ToolkitObjectCore::AddInfo(const InfoType* type, void* info) {
  const std::size_t new_size = (infoCount + 1) * sizeof(InfoPair);
  void* grown = infos == nullptr ? blocks.Allocate(new_size) : blocks.Resize(infos, new_size);
  if (grown == nullptr) return TkErrNoMemory;
  infos = static_cast<InfoPair*>(grown);
  infos[infoCount++] = InfoPair{type, info};
  return TkOk;
}

int ParameterlessAlgInfoType::AddInfo(AlgorithmObject& object, const void* /*parameters*/) const {
  return object.AddInfo(this, nullptr);
}

bool IsValidAlgorithmObject(const AlgorithmObject* object) {
  return object != nullptr && object->self == object && object->check == &kAlgorithmMarker;
}

bool IsValidKeyObject(const KeyObject* key) {
  return key != nullptr && key->self == key && key->check == &kKeyMarker;
}

int CheckProgress(const ProgressCallback* progress) {
  if (progress != nullptr && progress->function != nullptr &&
      progress->function(progress->argument) > 0)
    return kImplCancelled;
  return kImplOk;
}

// ---------------------------------------------------------------- handlers

AlgorithmHandler::AlgorithmHandler(HandlerFamily family, AlgorithmObject& object)
    : release_marker_(&kHandlerMarker), family_(family), object_(object) {}

AlgorithmHandler::~AlgorithmHandler() { release_marker_ = nullptr; }

bool AlgorithmHandler::IsWellFormed() const { return release_marker_ == &kHandlerMarker; }

// ------------------------------------------------------- algorithm objects

ToolkitStatus AlgCreate(const ToolkitLockHeld& /*lock*/, AlgorithmObject** handle) {
  if (handle == nullptr) return TkErrBadAlgObject;
  *handle = nullptr;
  auto* object = new (std::nothrow) AlgorithmObject;
  if (object == nullptr) return TkErrNoMemory;
  object->check = &kAlgorithmMarker;
  object->self = object;
  *handle = object;
  return TkOk;
}

void AlgDestroy(const ToolkitLockHeld& /*lock*/, AlgorithmObject** handle) {
  if (handle == nullptr) return;
  AlgorithmObject* object = *handle;
  *handle = nullptr;
  if (!IsValidAlgorithmObject(object)) return;
  delete object->handler;
  object->handler = nullptr;
  object->blocks.ReleaseAll();
  object->infos = nullptr;
  object->infoCount = 0;
  object->check = nullptr;
  object->self = nullptr;
  delete object;
}

ToolkitStatus AlgSetInfo(const ToolkitLockHeld& /*lock*/, AlgorithmObject* handle,
                         const InfoType* type, const void* parameters) {
  if (!IsValidAlgorithmObject(handle)) return TkErrBadAlgObject;
  if (!IsKind(type, InfoType::Kind::kAlgorithm)) return TkErrWrongAlgInfoKind;
  if (handle->handler != nullptr || handle->infoCount > 0) return TkErrAlgInfoAlreadySet;
  const auto* alg_type = static_cast<const AlgorithmInfoType*>(type);
  const int status = alg_type->AddInfo(*handle, parameters);
  if (status != TkOk) return status;
  handle->handler = alg_type->NewHandler(*handle);
  if (handle->handler == nullptr) {
    // Leave the object as it was, so that it can be set again.
    handle->blocks.ReleaseAll();
    handle->infos = nullptr;
    handle->infoCount = 0;
    handle->flags = 0;
    return TkErrNoMemory;
  }
  return TkOk;
}

ToolkitStatus AlgGetInfo(const ToolkitLockHeld& /*lock*/, const void** parameters,
                         AlgorithmObject* handle, const InfoType* type) {
  if (!IsValidAlgorithmObject(handle)) return TkErrBadAlgObject;
  if (!IsKind(type, InfoType::Kind::kAlgorithm)) return TkErrWrongAlgInfoKind;
  return static_cast<const AlgorithmInfoType*>(type)->GetInfo(parameters, *handle);
}

// ------------------------------------------------------------- key objects

ToolkitStatus KeyCreate(const ToolkitLockHeld& /*lock*/, KeyObject** handle) {
  if (handle == nullptr) return TkErrBadKeyObject;
  *handle = nullptr;
  auto* key = new (std::nothrow) KeyObject;
  if (key == nullptr) return TkErrNoMemory;
  key->check = &kKeyMarker;
  key->self = key;
  *handle = key;
  return TkOk;
}

void KeyDestroy(const ToolkitLockHeld& /*lock*/, KeyObject** handle) {
  if (handle == nullptr) return;
  KeyObject* key = *handle;
  *handle = nullptr;
  if (!IsValidKeyObject(key)) return;
  key->blocks.ReleaseAll();
  key->infos = nullptr;
  key->infoCount = 0;
  key->check = nullptr;
  key->self = nullptr;
  delete key;
}

ToolkitStatus KeySetInfo(const ToolkitLockHeld& /*lock*/, KeyObject* key, const InfoType* type,
                         const void* material) {
  if (key != nullptr && !IsValidKeyObject(key)) return TkErrBadKeyObject;
  if (!IsKind(type, InfoType::Kind::kKey)) return TkErrWrongKind;
  if (key == nullptr) return TkErrBadKeyObject;
  if (key->infoCount > 0) return TkErrKeyAlreadySet;
  return static_cast<const KeyInfoType*>(type)->AddInfo(*key, material);
}

ToolkitStatus KeyGetInfo(const ToolkitLockHeld& lock, const void** record, KeyObject* key,
                         const InfoType* type) {
  if (!IsValidKeyObject(key)) return TkErrBadKeyObject;
  if (!IsKind(type, InfoType::Kind::kKey)) return TkErrWrongKind;
  if (key->infoCount == 0) return TkErrKeyEmpty;
  if (const InfoPair* pair = key->FindInfo(type)) {
    if (record != nullptr) *record = pair->info;
    return TkOk;
  }
  void* made = nullptr;
  const int status = static_cast<const KeyInfoType*>(type)->MakeInfo(lock, &made, *key);
  if (status != TkOk) return status;
  if (key->AddInfo(type, made) != TkOk) {
    key->blocks.Release(made);
    return TkErrNoMemory;
  }
  if (record != nullptr) *record = made;
  return TkOk;
}

}  // namespace kcertadm
