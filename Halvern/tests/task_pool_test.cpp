// The worker pool: every task runs once per batch, and a failing task's exception is rethrown
// only after the whole batch has finished, the lowest-numbered first.
#include <atomic>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "task_pool.h"

namespace {

TEST(TaskPool, RunsEveryTaskOncePerBatch) {
  for (unsigned workers : {0u, 1u, 3u}) {
    SCOPED_TRACE(workers);
    TaskPool pool(workers);
    EXPECT_EQ(pool.workers(), workers);
    for (size_t count : {0, 1, 2, 7, 100}) {
      std::vector<std::atomic<int>> runs(count);
      for (int batch = 0; batch < 20; ++batch)
        pool.run(count, [&](size_t i) { runs[i].fetch_add(1); });
      for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 20) << i;
    }
  }
}

TEST(TaskPool, RethrowsTheFirstFailureAfterAllTasksFinished) {
  TaskPool pool(2);
  for (int batch = 0; batch < 20; ++batch) {
    std::atomic<int> finished{0};
    try {
      pool.run(16, [&](size_t i) {
        if (i == 9) throw std::logic_error("nine");
        if (i == 4) throw std::runtime_error("four");
        finished.fetch_add(1);
      });
      FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "four");
    }
    EXPECT_EQ(finished.load(), 14);
  }
  // The pool is still usable afterwards.
  std::atomic<int> ran{0};
  pool.run(5, [&](size_t) { ran.fetch_add(1); });
  EXPECT_EQ(ran.load(), 5);
}

}  // namespace
