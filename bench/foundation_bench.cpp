// Memory manager: reserve/append/release cycles of arrays and take/give-back on pools.
#include <benchmark/benchmark.h>

#include "foundation/block_pool.h"
#include "foundation/vm_array.h"

namespace veskor {
namespace {

// Reserve an array, push `range(0)` values, release it: the parked block is reused next time.
void BM_VmArrayReservePushRelease(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    VmArray a;
    VmArrayInit(a);
    VmArrayReserve(a, n * 4);
    for (std::uint32_t i = 0; i < n; ++i) VmArrayPush(a, i);
    benchmark::DoNotOptimize(a.elements);
    VmArrayRelease(a);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_VmArrayReservePushRelease)->Arg(16)->Arg(512)->Arg(65536);

// Reserve a block, append its bytes in one go, release: one commit per cycle at most.
void BM_MemBlockReserveAppendRelease(benchmark::State& state) {
  const auto bytes = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    MemBlock b{};
    MemBlockReserve(b, bytes);
    benchmark::DoNotOptimize(MemBlockAppend(b, bytes));
    MemBlockRelease(b);
  }
}
BENCHMARK(BM_MemBlockReserveAppendRelease)->Arg(64)->Arg(4096)->Arg(1 << 20);

// Alternating reserves of two classes on one descriptor: each parks one block and reuses one.
void BM_MemBlockClassSwitch(benchmark::State& state) {
  MemBlock b{};
  for (auto _ : state) {
    MemBlockReserve(b, 1u << 14);
    MemBlockReserve(b, 1u << 18);
  }
  MemBlockRelease(b);
}
BENCHMARK(BM_MemBlockClassSwitch);

struct Node {
  BlockPoolNode links;
  float payload[2];
};

// Take `range(0)` elements, then give them all back in taking order.
void BM_BlockPoolTakeGiveBack(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  BlockPool pool{};
  BlockPoolInitFor<Node>(pool);
  MemBlockReserve(pool.block, n * sizeof(Node));
  std::vector<BlockPoolNode*> taken(n);
  for (auto _ : state) {
    for (std::uint32_t i = 0; i < n; ++i) taken[i] = BlockPoolTake(pool);
    for (std::uint32_t i = 0; i < n; ++i) BlockPoolGiveBack(pool, taken[i]);
  }
  BlockPoolRelease(pool);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BlockPoolTakeGiveBack)->Arg(64)->Arg(4096);

}  // namespace
}  // namespace veskor
