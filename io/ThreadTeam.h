// Runs one piece of work on several threads, the calling thread among them, for
// the units that share their work out (the CSV reader, the band-pass filter).
// The work is expected to take its parts from a shared queue, so that a helper
// that cannot be started only leaves more for the others.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Calls work(t) on `threads` threads, this one being thread 0, and returns when
// all are done. While this thread waits for the others it calls waiting()
// every few milliseconds, so that progress is reported from the calling thread
// only and to the very end. An exception in a helper is passed on here.
template <class Work, class Waiting>
void RunOnThreads(std::size_t threads, Work work, Waiting waiting) {
  constexpr auto kWaitStep = std::chrono::milliseconds(20);
  std::vector<std::exception_ptr> failures(threads);
  std::mutex mutex;
  std::condition_variable finished;
  std::size_t running = 0;
  std::vector<std::jthread> helpers;
  helpers.reserve(threads);
  for (std::size_t t = 1; t < threads; ++t) {
    {
      const std::lock_guard lock(mutex);
      ++running;
    }
    try {
      helpers.emplace_back([&, t] {
        try {
          work(t);
        } catch (...) {
          failures[t] = std::current_exception();
        }
        const std::lock_guard lock(mutex);
        --running;
        finished.notify_one();
      });
    } catch (const std::system_error&) {
      const std::lock_guard lock(mutex);
      --running;
      break;  // fewer threads: the others take the work
    }
  }
  work(0);
  {
    std::unique_lock lock(mutex);
    while (running > 0) {
      if (!finished.wait_for(lock, kWaitStep, [&] { return running == 0; })) {
        lock.unlock();
        waiting();
        lock.lock();
      }
    }
  }
  helpers.clear();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}
