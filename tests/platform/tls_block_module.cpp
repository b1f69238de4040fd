// A module for the TLS block probe (tls_block_probe.cpp): opened after the start, it has a
// dynamic TLS block of its own in each thread, of 24 bytes.
#include <cstdint>

namespace {
thread_local std::uint64_t tBlock[3];
}  // namespace

// This thread's block, made at its first use in the thread.
extern "C" void* TlsBlockOfThisThread() { return tBlock; }
