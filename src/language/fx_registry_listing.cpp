#include "language/fx_registry_listing.h"

#include <cstdint>

namespace veskor {

namespace {

SessionLog& Bits(SessionLog& log, std::uint32_t w) {
  LogWriteUnsigned(log, (w >> 1) & 1u);
  LogWriteText(log, "|");
  return LogWriteUnsigned(log, w & 1u);
}

void Descriptors(SessionLog& log, const VmArray& table) {
  const auto* d = VmArrayData<FxOutputDescriptor>(table);
  for (std::uint32_t i = 0; i < table.count; ++i) {
    LogWriteText(log, "[");
    LogWriteUnsigned(log, d[i].type);
    LogWriteText(log, "] ");
    for (std::uint32_t k = 0; k < kFxSurfaceMarks; ++k) {
      LogWriteText(log, "[");
      Bits(log, d[i].access[k]);
      LogWriteText(log, "] ");
    }
    LogWriteText(log, "\n");
  }
}

}  // namespace

SessionLog& ListNodeTable(const FxRegistry& registry) {
  SessionLog& log = LogStream();
  const auto* rows = VmArrayData<FxGroupEntry>(registry.operations);
  for (std::uint32_t j = 0; j < registry.operations.count; ++j) {
    LogWriteText(log, "[");
    LogWriteUnsigned(log, rows[j].overloadCount);
    LogWriteText(log, "   ");
    LogWriteUnsigned(log, rows[j].writesFirstArgument);
    LogWriteText(log, "]\t");
    if (j < registry.overloads.headerCount) {
      const RecordListHeader& header = registry.overloads.headers[j];
      const auto* overloads = static_cast<const FxOverload*>(header.first);
      for (std::uint32_t o = 0; o < header.count; ++o) {
        const FxOverload& r = overloads[o];
        LogWriteText(log, "[");
        LogWritePointer(log, reinterpret_cast<std::uintptr_t>(r.executor));
        LogWriteText(log, "   ");
        LogWriteUnsigned(log, r.result.type);
        LogWriteText(log, "   ");
        Bits(log, r.result.access);
        LogWriteText(log, "   ");
        LogWriteUnsigned(log, r.parameterCount);
        LogWriteText(log, "]\t");
        for (std::uint32_t p = 0; p < r.parameterCount; ++p) {
          LogWriteText(log, "[");
          LogWriteUnsigned(log, r.parameters[p].type);
          LogWriteText(log, "   ");
          Bits(log, r.parameters[p].access);
          LogWriteText(log, "] ");
        }
        LogWriteText(log, "\n\t");
      }
    }
    LogWriteText(log, "\n");
  }
  Descriptors(log, registry.outputs);
  LogWriteText(log, "\n");
  Descriptors(log, registry.globals);
  return LogWriteText(log, "\n");
}

}  // namespace veskor
