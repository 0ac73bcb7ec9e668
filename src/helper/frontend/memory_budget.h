// The memory one request may take. A status window can ask for months of
// samples; on the appliance (32 bits, little memory, the capture daemon
// beside us) building such an answer would bring the kernel's out-of-memory
// killer, which may pick the daemon instead of this process. So the answer's
// growing buffers are charged against a budget, and past it the request
// answers -1 "Not enough memory" like any other failure. The count is of
// bytes, not of the address space, so it behaves the same under sanitizers,
// valgrind and an emulator.
#ifndef VELORANTIS_HELPER_FRONTEND_MEMORY_BUDGET_H_
#define VELORANTIS_HELPER_FRONTEND_MEMORY_BUDGET_H_

#include <cstddef>
#include <cstdint>

// A quarter of `availableBytes` (what GetAvailableRAMSize reports), kept
// between kMinAnswerBudget and kMaxAnswerBudget.
size_t AnswerBudgetFor(uint64_t availableBytes);

// A status answer takes about 200 bytes per sample of each statistics
// version. The floor (8 MiB, some 20,000 samples) keeps every command and a
// page's usual window working when the appliance is short of memory; the
// ceiling (64 MiB, some 160,000 samples, two days of one-second samples) is
// more than a page can plot or a browser parse in good time, and a small
// share of a 32-bit process's address space.
inline constexpr size_t kMinAnswerBudget = size_t{8} << 20;
inline constexpr size_t kMaxAnswerBudget = size_t{64} << 20;

// Sets the budget of this request and forgets what was charged.
void SetAnswerBudget(size_t bytes);

// Charges `bytes` more; throws std::bad_alloc when that passes the budget.
void ChargeAnswerBytes(size_t bytes);

// A small block kept from the start of the request and given back when memory
// runs out, so that the exception and the "Not enough memory" answer itself
// can be allocated. HoldMemoryReserve also makes every failed operator new
// give the reserve back before it throws. It returns false when even the
// reserve cannot be had: then nothing may be allocated any more.
bool HoldMemoryReserve();
void ReleaseMemoryReserve();

// Gives the reserve back, then throws std::bad_alloc: for allocations that
// fail outside operator new (strdup, SQLite).
[[noreturn]] void ThrowOutOfMemory();

#endif  // VELORANTIS_HELPER_FRONTEND_MEMORY_BUDGET_H_
