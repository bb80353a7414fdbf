#include "parallel/convert_columns.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "parallel/worker_pool.hpp"
#include "table/parse_table.hpp"

namespace brelt {
namespace {

TableRef parse(const std::string& text) {
    TableOptions options;
    auto parsed =
        parse_table({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, options);
    EXPECT_TRUE(parsed.ok());
    return std::move(parsed->table);
}

bool same_cell(const CellValue& a, const CellValue& b) {
    return a.kind == b.kind && a.text_offset == b.text_offset &&
           std::memcmp(&a.integer, &b.integer, sizeof(a.integer)) == 0;
}

TEST(ConvertColumns, ParallelAndSequentialAgreeCellForCell) {
    std::mt19937 random(7);
    const char* texts[] = {"1", " 2 ", "x", "", "NA", "2.5", "yes", "-0", "1e400", "é"};
    std::string text = "a,b,c,d,e\n";
    for (int r = 0; r < 3000; ++r) {
        const int fields = 1 + static_cast<int>(random() % 6);  // short and long records
        for (int f = 0; f < fields; ++f) {
            if (f) text += ',';
            text += texts[random() % std::size(texts)];
        }
        text += '\n';
    }
    const TableRef table = parse(text);
    const std::vector<ColumnPlan> plans = {{0, ColumnType::Int},  {1, ColumnType::Float},
                                           {2, ColumnType::Bool}, {3, ColumnType::Str},
                                           {4, ColumnType::Int},  {7, ColumnType::Str}};
    const NullValues nulls = NullValues::defaults();
    const std::size_t rows = table->row_count();
    std::vector<CellValue> sequential(rows * plans.size()), parallel(rows * plans.size());
    convert_columns(*table, 0, rows, plans, nulls, false, sequential.data());
    convert_columns(*table, 0, rows, plans, nulls, true, parallel.data());
    for (std::size_t i = 0; i < sequential.size(); ++i) {
        ASSERT_TRUE(same_cell(sequential[i], parallel[i])) << "cell " << i;
    }
    // A block from the middle matches the same rows of the whole.
    std::vector<CellValue> block(100 * plans.size());
    convert_columns(*table, 1000, 100, plans, nulls, true, block.data());
    for (std::size_t k = 0; k < plans.size(); ++k) {
        for (std::size_t r = 0; r < 100; ++r) {
            ASSERT_TRUE(same_cell(block[k * 100 + r], sequential[k * rows + 1000 + r]));
        }
    }
    // Column 7 exists in no record: every cell is the empty text, a null.
    EXPECT_EQ(sequential[5 * rows].kind, CellValue::Kind::None);
}

TEST(ConvertColumns, ParallelOnlyForLargeMultiColumnTables) {
    EXPECT_FALSE(converts_in_parallel(500, 3));
    EXPECT_TRUE(converts_in_parallel(501, 3));
    EXPECT_FALSE(converts_in_parallel(100000, 1));
}

TEST(WorkerPool, EveryIndexRunsExactlyOnce) {
    std::vector<std::atomic<int>> runs(1000);
    run_on_pool(runs.size(), [&](std::size_t i) { runs[i].fetch_add(1); });
    for (const auto& count : runs)
        ASSERT_EQ(count.load(), 1);
    EXPECT_GE(pool_size(), 1u);
    EXPECT_TRUE(pool_usable());
    const std::size_t size = pool_size();
    request_pool_size(size + 5);  // the pool exists: nothing changes
    EXPECT_EQ(pool_size(), size);
}

class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(WorkerPool, DefaultSizeFromTheEnvironment) {
    ScopedVariable threads("RAYON_NUM_THREADS", nullptr);
    ScopedVariable cpus("RAYON_RS_NUM_CPUS", nullptr);
    const std::size_t machine = default_pool_size();
    EXPECT_GE(machine, 1u);
    {
        ScopedVariable set("RAYON_NUM_THREADS", "6");
        ScopedVariable other("RAYON_RS_NUM_CPUS", "3");
        EXPECT_EQ(default_pool_size(), 6u);
    }
    {
        ScopedVariable zero("RAYON_NUM_THREADS", "0");
        ScopedVariable other("RAYON_RS_NUM_CPUS", "3");
        EXPECT_EQ(default_pool_size(), machine);
    }
    {
        ScopedVariable plus("RAYON_NUM_THREADS", "+4");
        EXPECT_EQ(default_pool_size(), 4u);
    }
    for (const char* junk : {"", "x", "-1", " 4", "4 ", "+", "++4"}) {
        ScopedVariable bad("RAYON_NUM_THREADS", junk);
        ScopedVariable other("RAYON_RS_NUM_CPUS", "3");
        EXPECT_EQ(default_pool_size(), 3u) << junk;
    }
    {
        ScopedVariable zero("RAYON_RS_NUM_CPUS", "0");
        EXPECT_EQ(default_pool_size(), machine);
    }
}

}  // namespace
}  // namespace brelt
