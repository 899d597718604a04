#include "util/parallel.h"

#include <sched.h>

#include <atomic>

namespace radcon {

int defaultThreads() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

void parallelFor(std::size_t tasks, int threads, const std::function<void(std::size_t)>& body) {
  if (threads <= 1 || tasks <= 1) {
    for (std::size_t t = 0; t < tasks; ++t) body(t);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::exception_ptr error;
  std::mutex m;
  auto worker = [&] {
    for (std::size_t t; (t = next.fetch_add(1)) < tasks;) {
      try {
        body(t);
      } catch (...) {
        std::lock_guard<std::mutex> lock(m);
        if (!error) error = std::current_exception();
        next = tasks;
      }
    }
  };
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(threads), tasks);
  std::vector<std::thread> pool = startThreads(n - 1, worker);
  worker();
  for (std::thread& th : pool) th.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace radcon
