#include "mapengine/fx_executor_table.h"

#include "mapengine/fx_executors.h"

namespace veskor {

namespace {

constexpr FxDescriptor kRead{kFxTypeValue, kFxAccessRead};
constexpr FxDescriptor kReadWrite{kFxTypeValue, kFxAccessRead | kFxAccessWrite};
constexpr FxDescriptor kText{kFxTypeString, kFxAccessRead};

constexpr FxExecutorEntry Unary(const char* name, FxExecutor executor) {
  return {name, executor, kRead, 1, {kRead}, 0};
}
constexpr FxExecutorEntry Binary(const char* name, FxExecutor executor) {
  return {name, executor, kRead, 2, {kRead, kRead}, 0};
}

}  // namespace

const FxExecutorEntry kFxExecutorTable[kFxExecutorCount] = {
    {"=", FxAssign, kReadWrite, 2, {kReadWrite, kRead}, 1},
    Binary("select", FxSelect),
    Binary("group2", FxGroup2),
    {"group3", FxGroup3, kRead, 3, {kRead, kRead, kRead}, 0},
    {"group4", FxGroup4, kRead, 4, {kRead, kRead, kRead, kRead}, 0},
    Binary("access", FxAccess),
    {"load", FxLoad, kRead, 1, {kText}, 0},
    Binary("+", FxAdd),
    Binary("-", FxSub),
    Binary("*", FxMul),
    Binary("/", FxDiv),
    Binary("dot", FxDot),
    Binary("cross", FxCross),
    Unary("abs", FxAbs),
    Binary("min", FxMin),
    Binary("max", FxMax),
    Binary("repeat", FxRepeat),
    Binary("clamp", FxClamp),
    Binary("step", FxStep),
    Binary("stepLinear", FxStepLinear),
    Binary("stepSmooth", FxStepSmooth),
    Unary("noise", FxNoise),
    Binary("noiseFrac", FxNoiseFrac),
    Binary("noiseTurb", FxNoiseTurb),
    Binary("transform", FxTransform),
    {nullptr, FxDisplace, kReadWrite, 4, {kReadWrite, kRead, kRead, kRead}, 1},
};

}  // namespace veskor
