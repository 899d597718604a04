// Small helpers to spread independent work over threads. Results never depend on
// the number of threads: every task writes only its own part, and ordered output
// is handed on in task order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "util/signal_block.h"

namespace radcon {

// The number of threads to use by default: every core the process may run on.
int defaultThreads();

// Starts up to 'count' threads running fn, as many as the system allows: a
// process limit may refuse some, and the work then goes on with fewer. They run
// with the termination signals blocked, so that the driver alone handles them.
template <class F>
std::vector<std::thread> startThreads(std::size_t count, F& fn) {
  std::vector<std::thread> pool;
  pool.reserve(count);
  SignalBlock quiet;
  for (std::size_t k = 0; k < count; ++k) {
    try {
      pool.emplace_back(fn);
    } catch (const std::system_error&) {
      break;
    }
  }
  return pool;
}

// Calls body(t) for every t in [0, tasks), spread over 'threads' threads.
void parallelFor(std::size_t tasks, int threads, const std::function<void(std::size_t)>& body);

// Runs produce(t, result) for t in [0, tasks) on 'threads' worker threads and
// hands each result to consume(t, result) on the calling thread, strictly in order
// of t. There are 'window' result objects, reused from task to task so that their
// buffers keep their capacity: produce must overwrite what it uses. An exception
// in either ends the run and is rethrown here.
template <class Result, class Produce, class Consume>
void orderedParallel(std::size_t tasks, int threads, std::size_t window, Produce&& produce, Consume&& consume) {
  auto serial = [&] {
    Result r;
    for (std::size_t t = 0; t < tasks; ++t) {
      produce(t, r);
      consume(t, r);
    }
  };
  if (threads <= 1 || tasks <= 1) return serial();
  if (window < 1) window = 1;
  std::vector<Result> slots(window);
  std::vector<char> ready(window, 0);
  std::mutex m;
  std::condition_variable cv;
  std::size_t next = 0, consumed = 0;
  bool stop = false;
  std::exception_ptr error;

  auto worker = [&] {
    for (;;) {
      std::size_t t;
      {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return stop || next >= tasks || next < consumed + window; });
        if (stop || next >= tasks) return;
        t = next++;
      }
      try {
        produce(t, slots[t % window]);  // this slot is ours until it is consumed
        std::lock_guard<std::mutex> lock(m);
        ready[t % window] = 1;
        cv.notify_all();
      } catch (...) {
        std::lock_guard<std::mutex> lock(m);
        if (!error) error = std::current_exception();
        stop = true;
        cv.notify_all();
        return;
      }
    }
  };
  std::vector<std::thread> pool = startThreads(static_cast<std::size_t>(threads), worker);
  if (pool.empty()) return serial();
  auto finish = [&] {
    {
      std::lock_guard<std::mutex> lock(m);
      stop = true;
      cv.notify_all();
    }
    for (std::thread& th : pool) th.join();
  };
  try {
    for (std::size_t t = 0; t < tasks; ++t) {
      {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return error != nullptr || ready[t % window]; });
        if (!ready[t % window]) break;
      }
      consume(t, slots[t % window]);
      std::lock_guard<std::mutex> lock(m);
      ready[t % window] = 0;
      consumed = t + 1;
      cv.notify_all();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  if (error) std::rethrow_exception(error);
}

}  // namespace radcon
