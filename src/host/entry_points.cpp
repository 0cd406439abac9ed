// The exported entry points: information for the host, instance creation and
// destruction, the stored-record conversion, and the fixed stubs.
#include "host/entry_points.h"

#include <cstring>

#include "host/lifecycle.h"
#include "host/platform.h"
#include "host/registry.h"

using namespace quavix::host;

HostWord QUAVIX_HOSTCALL GetInfos(HostWord selector) {
  switch (static_cast<std::uint32_t>(selector)) {
    case kInfoInterfaceVersion: return 768;
    case kInfoPluginVersion: return 256;
    case kInfoProduct: return 2;
    case kInfoBuild: return 248;
    default: return 0;
  }
}

HostWord QUAVIX_HOSTCALL GetRunObjectInfos(HostWord, RunObjectInfos* infos) {
  const HandlerTables& tables = Tables();
  const AceRegistry& registry = Registry();
  infos->Conditions = const_cast<ConditionHandler*>(tables.Conditions.data());
  infos->Actions = const_cast<ActionHandler*>(tables.Actions.data());
  infos->Expressions = const_cast<ExpressionHandler*>(tables.Expressions.data());
  infos->NumConditions = static_cast<std::int16_t>(registry.Conditions.Items.size());
  infos->NumActions = static_cast<std::int16_t>(registry.Actions.Items.size());
  infos->NumExpressions = static_cast<std::int16_t>(registry.Expressions.Items.size());
  infos->EditDataSize = sizeof(EditStructure);
  infos->Reserved0 = 0;
  infos->Hundred = 100;
  infos->Reserved1 = 0;
  std::memcpy(infos->Identifier, "SVDA", 4);
  infos->EditVersion = kEditStructureVersion;
  return 1;
}

HostWord QUAVIX_HOSTCALL GetRunObjectDataSize(HostWord, HostWord) { return sizeof(RunObjectData); }

HostWord QUAVIX_HOSTCALL CreateRunObject(RunObjectData* object, const EditStructure* stored,
                                         HostWord) {
  CreateInstance(*object, stored);
  return 0;
}

HostWord QUAVIX_HOSTCALL DestroyRunObject(RunObjectData* object, HostWord) {
  DestroyInstance(*object);
  return 0;
}

HostWord QUAVIX_HOSTCALL HandleRunObject(RunObjectData*) { return 1; }

EditStructure* QUAVIX_HOSTCALL UpdateEditStructure(HostWord, const EditStructure* stored) {
  if (stored->Version >= kEditStructureVersion) return nullptr;
  auto* updated = static_cast<EditStructure*>(AllocateHostRecord(sizeof(EditStructure)));
  if (updated == nullptr) return nullptr;
  // Only the host's 20-byte record header is carried over.
  std::memcpy(updated, stored, offsetof(EditStructure, Setting0));
  updated->RecordSize = sizeof(EditStructure);
  updated->Version = kEditStructureVersion;
  updated->Setting0 = 0;
  updated->Setting1 = 1;
  updated->Reserved = 0;
  updated->BufferSeconds = kDefaultBufferSeconds;
  return updated;
}

#define QUAVIX_ENTRY(name, ordinal, arguments)
#define QUAVIX_STUB(name, ordinal, arguments, result) \
  HostWord QUAVIX_HOSTCALL name(QUAVIX_ARGS_##arguments) { return result; }
#define QUAVIX_VOID_STUB(name, ordinal, arguments) \
  void QUAVIX_HOSTCALL name(QUAVIX_ARGS_##arguments) {}
#include "host/entry_points.inc"
