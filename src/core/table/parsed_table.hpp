// The result of one parse: the text of every stored field in one buffer, a
// 32-bit bound per field and an entry per row. Immutable once built and shared
// by an atomic reference count, so rows handed to Python can point into it
// with nothing but a table pointer and a row number.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/growable_array.hpp"
// RowEntry: the tokenizer's batch path writes rows in place.
#include "tokenizer/record_batch.hpp"

namespace brelt {

class ParsedTable {
  public:
    std::size_t row_count() const { return rows_.size(); }
    std::size_t field_count(std::size_t row) const { return rows_[row].count; }
    // Requires column < field_count(row).
    std::string_view field(std::size_t row, std::size_t column) const {
        const std::size_t index = rows_[row].first + column;
        const std::uint32_t start = bounds_[index];
        return {reinterpret_cast<const char*>(text_.data()) + start, bounds_[index + 1] - start};
    }
    const std::vector<std::string>& column_names() const { return column_names_; }

    std::size_t text_size() const { return text_.size(); }
    std::size_t total_fields() const { return bounds_.empty() ? 0 : bounds_.size() - 1; }

    // Reference counting; the builder hands out the first reference.
    void retain() const { references_.fetch_add(1, std::memory_order_relaxed); }
    void release() const {
        if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }

  private:
    friend class TableBuilder;
    friend class TableCopier;  // with_column_names
    ParsedTable() = default;
    ~ParsedTable() = default;

    GrowableArray<std::uint8_t> text_;
    // Field i is text_[bounds_[i], bounds_[i + 1]): the fields lie back to
    // back in text_, so each needs only its end, after a leading 0.
    GrowableArray<std::uint32_t> bounds_;
    GrowableArray<RowEntry> rows_;
    std::vector<std::string> column_names_;
    mutable std::atomic<std::uint64_t> references_{1};
};

// An owning reference to a ParsedTable.
class TableRef {
  public:
    TableRef() = default;
    // Takes over a reference the caller already holds.
    static TableRef adopt(const ParsedTable* table) {
        TableRef ref;
        ref.table_ = table;
        return ref;
    }
    TableRef(const TableRef& other) : table_(other.table_) {
        if (table_ != nullptr) table_->retain();
    }
    TableRef(TableRef&& other) noexcept : table_(std::exchange(other.table_, nullptr)) {}
    TableRef& operator=(TableRef other) noexcept {
        std::swap(table_, other.table_);
        return *this;
    }
    ~TableRef() {
        if (table_ != nullptr) table_->release();
    }

    const ParsedTable* get() const { return table_; }
    const ParsedTable& operator*() const { return *table_; }
    const ParsedTable* operator->() const { return table_; }
    explicit operator bool() const { return table_ != nullptr; }
    // Hands the reference to the caller, who must release() it.
    const ParsedTable* detach() { return std::exchange(table_, nullptr); }

  private:
    const ParsedTable* table_ = nullptr;
};

}  // namespace brelt
