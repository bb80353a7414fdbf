#include "parallel/worker_pool.hpp"

#include <cxxabi.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include <tbb/global_control.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>

namespace brelt {

namespace {

struct WorkerPool {
    // The library's own limit on total parallelism (by default it allows one
    // thread per core); kept alive with the pool so a larger request holds.
    tbb::global_control parallelism;
    tbb::task_arena arena;
    std::size_t threads;
    pid_t owner;  // the process that created the threads

    explicit WorkerPool(std::size_t n)
        : parallelism(tbb::global_control::max_allowed_parallelism, n),
          arena(static_cast<int>(n), 1),
          threads(n),
          owner(getpid()) {}
};

// More threads than this cannot be had in any useful sense; a request beyond
// it fails like any other pool that cannot be created, and is ignored.
constexpr std::uint64_t kMaxThreads = 1024;

// Never destroyed: the threads stay until the process ends.
std::atomic<WorkerPool*> the_pool{nullptr};
std::mutex creation_lock;

std::optional<std::size_t> decimal_variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    std::string_view text(value);
    // Decimal digits, with an optional leading plus sign.
    if (text.size() > 1 && text.front() == '+') text.remove_prefix(1);
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return number;
}

std::size_t available_cpus() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return static_cast<std::size_t>(count);
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<std::size_t>(online) : 1;
}

// Makes every worker join the arena once, so the pool is complete when its
// creator returns. The rendezvous gives up after a while rather than wait
// forever on a system that refuses threads.
void start_all_threads(WorkerPool& pool) {
    const std::size_t n = pool.threads;
    if (n < 2) return;
    std::atomic<std::size_t> arrived{0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    pool.arena.execute([&] {
        tbb::parallel_for(
            tbb::blocked_range<std::size_t>(0, n, 1),
            [&](const tbb::blocked_range<std::size_t>&) {
                arrived.fetch_add(1);
                while (arrived.load() < n && std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::yield();
                }
            },
            tbb::simple_partitioner());
    });
}

WorkerPool* create_pool(std::size_t threads) {
    if (threads > kMaxThreads) return nullptr;
    std::lock_guard<std::mutex> guard(creation_lock);
    WorkerPool* pool = the_pool.load(std::memory_order_acquire);
    if (pool != nullptr) return pool;
    try {
        pool = new WorkerPool(threads < 1 ? 1 : threads);
        pool->arena.initialize();
        start_all_threads(*pool);
    } catch (abi::__forced_unwind&) {
        throw;  // the thread is being ended: let it end
    } catch (...) {
        // A pool that cannot be made leaves the work on the calling thread.
        return nullptr;
    }
    the_pool.store(pool, std::memory_order_release);
    return pool;
}

}  // namespace

std::size_t default_pool_size() {
    if (const auto threads = decimal_variable("RAYON_NUM_THREADS")) {
        return *threads > 0 ? *threads : available_cpus();
    }
    if (const auto cpus = decimal_variable("RAYON_RS_NUM_CPUS"); cpus && *cpus > 0) return *cpus;
    return available_cpus();
}

void request_pool_size(std::uint64_t threads) {
    if (the_pool.load(std::memory_order_acquire) != nullptr) return;
    create_pool(static_cast<std::size_t>(threads));
}

std::size_t pool_size() {
    const WorkerPool* pool = the_pool.load(std::memory_order_acquire);
    return pool == nullptr ? 0 : pool->threads;
}

bool pool_usable() {
    const WorkerPool* pool = the_pool.load(std::memory_order_acquire);
    return pool == nullptr || pool->owner == getpid();
}

namespace {

// The pool, created on first need, when it can run work beside the caller.
WorkerPool* working_pool() {
    WorkerPool* pool = the_pool.load(std::memory_order_acquire);
    if (pool == nullptr) {
        pool = create_pool(std::min<std::size_t>(default_pool_size(), kMaxThreads));
    }
    if (pool == nullptr || pool->owner != getpid() || pool->threads < 2) return nullptr;
    return pool;
}

void for_each_index(std::size_t count, const std::function<void(std::size_t)>& task) {
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, count, 1),
        [&](const tbb::blocked_range<std::size_t>& range) {
            for (std::size_t i = range.begin(); i != range.end(); ++i)
                task(i);
        },
        tbb::simple_partitioner());
}

}  // namespace

void run_on_pool(std::size_t count, const std::function<void(std::size_t)>& task) {
    WorkerPool* pool = working_pool();
    if (pool == nullptr) {
        for (std::size_t i = 0; i < count; ++i)
            task(i);
        return;
    }
    pool->arena.execute([&] { for_each_index(count, task); });
}

struct PoolJob::Running {
    WorkerPool* pool;
    tbb::task_group group;
};

PoolJob::PoolJob(std::size_t count, std::function<void(std::size_t)> task)
    : count_(count), task_(std::move(task)) {
    WorkerPool* pool = working_pool();
    if (pool == nullptr) return;
    running_ = std::make_unique<Running>();
    running_->pool = pool;
    // Enqueued, not spawned: the caller does not join the arena now, so the
    // work must sit where the workers look for it.
    pool->arena.enqueue(running_->group.defer([this] { for_each_index(count_, task_); }));
}

PoolJob::~PoolJob() {
    wait();
}

void PoolJob::wait() {
    if (running_ == nullptr) {
        for (std::size_t i = 0; i < count_; ++i)
            task_(i);
        count_ = 0;
        return;
    }
    running_->pool->arena.execute([this] { running_->group.wait(); });
    running_.reset();
    count_ = 0;
}

}  // namespace brelt
