// The process-wide pool of worker threads that typed reads convert columns
// on. Created once, by the first size request or the first parallel job, and
// kept until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace brelt {

// Asks for the pool to be created with `threads` threads (at least 1, at most
// 1,024). Only the first creation counts: once the pool exists, later requests
// do nothing, and so does a request that cannot be met.
void request_pool_size(std::uint64_t threads);

// The size a pool created now without a request would get: "RAYON_NUM_THREADS"
// when it holds a positive decimal integer; when it holds 0, the CPUs
// available; when unset or not a number, "RAYON_RS_NUM_CPUS" when positive;
// otherwise the CPUs available to the process (1 if unknown).
std::size_t default_pool_size();

// The number of threads of the pool, 0 before it exists.
std::size_t pool_size();

// False in a process forked after the pool was created: its threads did not
// survive the fork, so the work must stay on the calling thread there.
bool pool_usable();

// Runs `task(i)` for every i in [0, count) on the pool, each index exactly
// once, and returns when all are done. The calling thread takes part. Creates
// the pool if needed. Tasks must not touch Python objects and must not throw.
void run_on_pool(std::size_t count, const std::function<void(std::size_t)>& task);

// `task(i)` for every i in [0, count), started on the pool's workers while the
// caller goes on with other work; wait() (or the destructor) blocks until all
// are done, taking part in what is left. Where the pool cannot take work (a
// forked child, a single thread) the tasks run in wait(), on the caller.
class PoolJob {
  public:
    PoolJob(std::size_t count, std::function<void(std::size_t)> task);
    ~PoolJob();
    PoolJob(const PoolJob&) = delete;
    PoolJob& operator=(const PoolJob&) = delete;

    void wait();

  private:
    struct Running;
    std::size_t count_;
    std::function<void(std::size_t)> task_;
    std::unique_ptr<Running> running_;  // null when nothing was started
};

}  // namespace brelt
