// The program's one way to share work out over the cores: the CSV reader, the
// band-pass filter, sweeps and batches all run on it. One piece of work runs on
// several threads, the calling thread among them; the work takes its parts from
// a shared queue, so that a helper that cannot be started only leaves more for
// the others, and an exception on any thread reaches the caller.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
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

template <class Work>
void RunOnThreads(std::size_t threads, Work work) {
  RunOnThreads(threads, work, [] {});
}

// The cores this machine offers, at least 1.
inline unsigned CoreCount() { return std::max(std::thread::hardware_concurrency(), 1u); }

// Calls work(i) for i = 0 ... count - 1 on at most `threads` threads, each
// taking the next index when it is free, so slow and fast items mix. After an
// exception no new index is started; the first one is passed on once every
// thread has stopped.
template <class Work>
void ForEachIndex(std::int64_t count, unsigned threads, Work work) {
  if (count <= 0) return;
  std::atomic<std::int64_t> next{0};
  std::atomic<bool> failed{false};
  const auto team = static_cast<std::size_t>(std::clamp<std::int64_t>(count, 1, std::max(threads, 1u)));
  RunOnThreads(team, [&](std::size_t) {
    try {
      for (std::int64_t i = next++; i < count && !failed.load(); i = next++) work(i);
    } catch (...) {
      failed.store(true);
      throw;
    }
  });
}
