#include "tokenizer/csv_tokenizer.hpp"

namespace brelt {

bool CsvTokenizer::read_simple_record(RawRecord& record, std::uint64_t& field_start) {
    const std::uint8_t* const base = input_ + position_;
    const SimpleRecordScan scan{base, static_cast<std::size_t>(input_size_ - position_),
                                options_.delimiter, options_.quote};
    const SimpleRecordResult result = kernels_->read_simple_record(scan, record.spans);
    if (result.complete) {
        record.lend(base, result.size, input_ + input_size_);
        position_ += result.consumed;
        return true;
    }
    // Hand over at the start of the current field, where the general state
    // machine would stand too (unquoted, field_start at the end of the
    // record's bytes). The fields so far keep their offsets: the bytes before
    // the field are copied as they stand, quotes included, and lie outside
    // every span.
    field_start = result.field_start;
    record.storage().append(base, field_start);
    position_ += field_start;
    return false;
}

}  // namespace brelt
