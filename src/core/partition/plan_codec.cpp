#include "partition/plan_codec.hpp"

#include <cstring>
#include <limits>
#include <new>

namespace brelt {

namespace {

// Bumped whenever the layout changes: a plan from another version is refused.
constexpr std::string_view kMagic = "brelt-plan-1";

// Fixed-width little-endian integers and length-prefixed strings.
class Writer {
  public:
    void u8(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
    void u64(std::uint64_t value) {
        for (int shift = 0; shift < 64; shift += 8)
            u8(static_cast<std::uint8_t>(value >> shift));
    }
    void text(std::string_view value) {
        u64(value.size());
        out_.append(value);
    }
    void texts(const std::vector<std::string>& values) {
        u64(values.size());
        for (const auto& value : values)
            text(value);
    }
    void optional_texts(const std::optional<std::vector<std::string>>& values) {
        u8(values.has_value());
        if (values) texts(*values);
    }
    std::string take() { return std::move(out_); }

  private:
    std::string out_;
};

class Reader {
  public:
    explicit Reader(std::string_view in) : in_(in) {}

    bool failed() const { return failed_; }
    bool at_end() const { return in_.empty(); }

    std::uint8_t u8() {
        if (in_.empty()) return fail();
        const auto value = static_cast<std::uint8_t>(in_.front());
        in_.remove_prefix(1);
        return value;
    }
    std::uint64_t u64() {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 8)
            value |= static_cast<std::uint64_t>(u8()) << shift;
        return value;
    }
    bool flag() {
        const std::uint8_t value = u8();
        if (value > 1) fail();
        return value == 1;
    }
    // A count of items of at least `item_bytes` bytes each, which the bytes
    // left must be able to hold: a damaged count cannot make a huge vector.
    std::size_t count(std::size_t item_bytes) {
        const std::uint64_t value = u64();
        if (value > in_.size() / item_bytes) return fail();
        return static_cast<std::size_t>(value);
    }
    std::string text() {
        const std::size_t size = count(1);
        if (failed_) return {};
        std::string value(in_.substr(0, size));
        in_.remove_prefix(size);
        return value;
    }
    std::vector<std::string> texts() {
        std::vector<std::string> values(count(8));
        for (auto& value : values)
            value = text();
        return values;
    }
    std::optional<std::vector<std::string>> optional_texts() {
        if (!flag()) return std::nullopt;
        return texts();
    }
    std::uint8_t fail() {
        failed_ = true;
        in_ = {};
        return 0;
    }

  private:
    std::string_view in_;
    bool failed_ = false;
};

Error not_a_plan(const char* why) {
    return Error(ErrorKind::Value, std::string("not a partition plan (") + why + ")");
}

}  // namespace

std::string encode_plan(const PartitionPlan& plan) {
    const ReadRequest& request = plan.request;
    const ReadPlan& read_plan = *request.plan;
    Writer out;
    out.text(kMagic);
    out.text(request.path);
    out.u8(request.has_header);
    out.u64(request.skip_rows);
    out.u8(request.max_rows.has_value());
    out.u64(request.max_rows.value_or(0));
    out.optional_texts(request.columns);
    out.optional_texts(plan.null_values);
    out.u8(request.encoding.has_value());
    out.text(request.encoding.value_or(""));
    out.u8(request.strict);
    out.u8(static_cast<std::uint8_t>(read_plan.text.encoding));
    out.u64(read_plan.text.mark_size);
    out.u8(read_plan.text.strict);
    out.u8(read_plan.text.in_place);
    out.u8(static_cast<std::uint8_t>(read_plan.delimiter));
    out.texts(read_plan.keys);
    for (const ColumnPlan& column : read_plan.columns) {
        out.u64(column.source);
        out.u8(static_cast<std::uint8_t>(column.type));
    }
    out.u64(plan.identity.size);
    out.u64(static_cast<std::uint64_t>(plan.identity.modified_ns));
    out.u64(plan.starts.size());
    for (const std::uint64_t start : plan.starts)
        out.u64(start);
    out.u64(plan.first_record_fields);
    out.texts(plan.column_names);
    out.u64(plan.selection.size());
    for (const std::size_t index : plan.selection)
        out.u64(index);
    return out.take();
}

Result<PartitionPlan> decode_plan(std::string_view bytes) {
    try {
        Reader in(bytes);
        if (in.text() != kMagic) return not_a_plan("unknown format or version");
        PartitionPlan plan;
        ReadRequest& request = plan.request;
        request.path = in.text();
        request.has_header = in.flag();
        request.skip_rows = in.u64();
        const bool limited = in.flag();
        const std::uint64_t max_rows = in.u64();
        if (limited) request.max_rows = max_rows;
        request.columns = in.optional_texts();
        plan.null_values = in.optional_texts();
        if (plan.null_values) request.nulls = NullValues(*plan.null_values);
        const bool labelled = in.flag();
        std::string label = in.text();
        if (labelled) request.encoding = std::move(label);
        request.strict = in.flag();
        ReadPlan& read_plan = request.plan.emplace();
        const std::uint8_t encoding = in.u8();
        read_plan.text.mark_size = static_cast<std::size_t>(in.u64());
        read_plan.text.strict = in.flag();
        read_plan.text.in_place = in.flag();
        read_plan.delimiter = static_cast<char>(in.u8());
        request.delimiter = static_cast<std::uint8_t>(read_plan.delimiter);
        read_plan.keys = in.texts();
        read_plan.columns.resize(read_plan.keys.size());
        for (ColumnPlan& column : read_plan.columns) {
            column.source = static_cast<std::size_t>(in.u64());
            const std::uint8_t type = in.u8();
            if (type > static_cast<std::uint8_t>(ColumnType::Str)) in.fail();
            column.type = static_cast<ColumnType>(type);
        }
        read_plan.nulls = request.nulls;
        plan.identity.size = in.u64();
        plan.identity.modified_ns = static_cast<std::int64_t>(in.u64());
        plan.starts.resize(in.count(8));
        for (auto& start : plan.starts)
            start = in.u64();
        plan.first_record_fields = static_cast<std::size_t>(in.u64());
        plan.column_names = in.texts();
        plan.selection.resize(in.count(8));
        for (auto& index : plan.selection)
            index = static_cast<std::size_t>(in.u64());
        if (in.failed() || !in.at_end()) return not_a_plan("damaged");

        if (encoding >= kEncodingCount || read_plan.text.mark_size > 3) {
            return not_a_plan("unknown text encoding");
        }
        read_plan.text.encoding = static_cast<Encoding>(encoding);
        if (plan.starts.empty() || plan.starts.front() != 0) return not_a_plan("bad partitions");
        for (std::size_t k = 1; k < plan.starts.size(); ++k) {
            if (plan.starts[k] <= plan.starts[k - 1] || plan.starts[k] >= plan.identity.size) {
                return not_a_plan("bad partitions");
            }
        }
        // Positions a table row can address (16-bit field counts).
        constexpr std::size_t kMaxColumn = std::numeric_limits<std::uint16_t>::max();
        for (const ColumnPlan& column : read_plan.columns) {
            if (column.source > kMaxColumn) return not_a_plan("bad column");
        }
        for (const std::size_t index : plan.selection) {
            if (index > kMaxColumn) return not_a_plan("bad column");
        }
        if (plan.first_record_fields > kMaxColumn) return not_a_plan("bad column");
        return plan;
    } catch (const std::bad_alloc&) {
        return Error(ErrorKind::Memory, "alloc");
    }
}

}  // namespace brelt
