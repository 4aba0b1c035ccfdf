// A fixed set of worker threads that runs batches of independent tasks.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The threads are started once and wait between batches. The calling thread takes part in
// every batch, so a pool without workers runs everything in place.
class TaskPool {
 public:
  // One worker per further hardware thread.
  TaskPool();
  explicit TaskPool(unsigned workers);
  ~TaskPool();

  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;

  // Runs task(i) for every i in [0, count), in any order and on any thread, and returns once
  // all of them have finished. If tasks threw, the exception of the lowest i among them is
  // rethrown (after every task has finished); the others are dropped.
  void run(size_t count, const std::function<void(size_t)>& task);

  size_t workers() const { return workers_.size(); }

 private:
  struct Batch;

  void work();
  static void drain(Batch& batch);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::shared_ptr<Batch> batch_;  // the batch being run; guarded by mutex_
  uint64_t generation_ = 0;       // counts batches; guarded by mutex_
  bool stopping_ = false;         // guarded by mutex_
  std::vector<std::thread> workers_;
};
