// The worker pool: workers and the caller pull task indices from a shared counter.
#include "task_pool.h"

#include <atomic>
#include <exception>

struct TaskPool::Batch {
  Batch(const std::function<void(size_t)>& t, size_t n)
      : task(t), count(n), unfinished(n), errors(n) {}

  const std::function<void(size_t)>& task;  // valid while `unfinished` is not 0
  const size_t count;
  std::atomic<size_t> next{0};
  std::atomic<size_t> unfinished;
  std::vector<std::exception_ptr> errors;  // slot i written only by the thread that ran task i

  std::mutex mutex;
  std::condition_variable done;
};

TaskPool::TaskPool()
    : TaskPool(std::thread::hardware_concurrency() > 1 ? std::thread::hardware_concurrency() - 1
                                                       : 0) {}

TaskPool::TaskPool(unsigned workers) {
  workers_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

TaskPool::~TaskPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void TaskPool::drain(Batch& batch) {
  for (size_t i; (i = batch.next.fetch_add(1)) < batch.count;) {
    try {
      batch.task(i);
    } catch (...) {
      batch.errors[i] = std::current_exception();
    }
    if (batch.unfinished.fetch_sub(1) == 1) {
      // Taking the lock orders this wake-up after the caller's check of `unfinished`.
      std::lock_guard<std::mutex> lock(batch.mutex);
      batch.done.notify_all();
    }
  }
}

void TaskPool::work() {
  uint64_t seen = 0;
  for (;;) {
    std::shared_ptr<Batch> batch;  // keeps a batch alive even if the caller has moved on
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      batch = batch_;
    }
    if (batch) drain(*batch);
  }
}

void TaskPool::run(size_t count, const std::function<void(size_t)>& task) {
  if (count == 0) return;
  const auto batch = std::make_shared<Batch>(task, count);
  const bool share = count > 1 && !workers_.empty();
  if (share) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      batch_ = batch;
      ++generation_;
    }
    wake_.notify_all();
  }
  drain(*batch);
  {
    std::unique_lock<std::mutex> lock(batch->mutex);
    batch->done.wait(lock, [&] { return batch->unfinished.load() == 0; });
  }
  if (share) {
    std::lock_guard<std::mutex> lock(mutex_);
    batch_.reset();
  }
  // A worker may hold the batch a moment longer; the exceptions leave with the caller.
  const std::vector<std::exception_ptr> errors = std::move(batch->errors);
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
}
