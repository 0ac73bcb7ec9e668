#include "helper/frontend/memory_budget.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

constexpr size_t kReserveBytes = 16 * 1024;

size_t budget = kMaxAnswerBudget;
size_t charged = 0;
void* reserve = nullptr;

}  // namespace

size_t AnswerBudgetFor(uint64_t availableBytes) {
  return static_cast<size_t>(
      std::clamp<uint64_t>(availableBytes / 4, kMinAnswerBudget, kMaxAnswerBudget));
}

void SetAnswerBudget(size_t bytes) {
  budget = bytes;
  charged = 0;
}

void ChargeAnswerBytes(size_t bytes) {
  if (bytes > budget - charged) throw std::bad_alloc();
  charged += bytes;
}

bool HoldMemoryReserve() {
  // Not freed on the normal path: the process exits after the answer.
  if (reserve == nullptr) reserve = malloc(kReserveBytes);
  if (reserve == nullptr) return false;
  // Throwing allocates the exception; near the floor that allocation failed
  // too, and the process ended in std::terminate with no answer at all.
  std::set_new_handler(ThrowOutOfMemory);
  return true;
}

void ReleaseMemoryReserve() {
  free(reserve);
  reserve = nullptr;
}

void ThrowOutOfMemory() {
  ReleaseMemoryReserve();
  throw std::bad_alloc();
}
