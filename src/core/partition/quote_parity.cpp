#include "partition/quote_parity.hpp"

#include <algorithm>

#include "parallel/worker_pool.hpp"
#include "tokenizer/tokenizer_bytes.hpp"

namespace brelt {

namespace {

constexpr std::uint8_t kQuote = '"';

}  // namespace

QuoteParity::QuoteParity(std::span<const std::uint8_t> bytes, bool quotes_count, Isa isa,
                         std::size_t chunk_bytes)
    : chunk_bytes_(std::max<std::size_t>(chunk_bytes, 1)),
      bytes_(bytes),
      kernels_(&scan_kernels_for(isa)),
      quotes_count_(quotes_count) {
    const std::size_t chunks = (bytes.size() + chunk_bytes_ - 1) / chunk_bytes_;
    std::vector<std::uint8_t> chunk_parity(chunks);
    run_on_pool(chunks, [&](std::size_t k) {
        const std::size_t start = k * chunk_bytes_;
        const std::size_t end = std::min(bytes.size(), start + chunk_bytes_);
        if (quotes_count) {
            chunk_parity[k] = kernels_->count_byte(bytes.data() + start, end - start, kQuote) & 1;
        }
    });
    // Exclusive prefix sum of the parities: the parity before each chunk.
    parity_at_chunk_.resize(chunks + 1);
    std::uint8_t parity = 0;
    for (std::size_t k = 0; k < chunks; ++k) {
        parity_at_chunk_[k] = parity;
        parity ^= chunk_parity[k];
    }
    parity_at_chunk_[chunks] = parity;
}

bool QuoteParity::inside_quotes(std::uint64_t offset) const {
    if (!quotes_count_) return false;
    offset = std::min<std::uint64_t>(offset, bytes_.size());
    const std::size_t chunk = static_cast<std::size_t>(offset / chunk_bytes_);
    const std::size_t start = chunk * chunk_bytes_;
    const std::size_t counted = kernels_->count_byte(
        bytes_.data() + start, static_cast<std::size_t>(offset) - start, kQuote);
    return ((parity_at_chunk_[chunk] + counted) & 1) != 0;
}

std::uint64_t QuoteParity::record_start_at_or_after(std::uint64_t offset) const {
    using tokenizer_bytes::kLineFeed;
    const std::size_t size = bytes_.size();
    if (offset == 0) return 0;
    if (offset >= size) return size;
    // An LF just before `offset` makes `offset` itself a record start.
    std::size_t position = static_cast<std::size_t>(offset) - 1;
    bool inside = inside_quotes(position);
    const std::uint8_t* data = bytes_.data();
    // The next LF from `position` on; searched again only once passed.
    std::size_t line_feed = 0;
    bool line_feed_known = false;
    while (position < size) {
        if (inside) {
            const std::size_t quote = kernels_->find_byte(data + position, size - position, kQuote);
            if (quote == size - position) return size;  // an unterminated quote runs to the end
            position += quote + 1;
            inside = false;
            continue;
        }
        if (!line_feed_known || line_feed < position) {
            line_feed = position + kernels_->find_byte(data + position, size - position, kLineFeed);
            line_feed_known = true;
        }
        const std::size_t stop = line_feed == size ? size : line_feed;
        const std::size_t quote =
            quotes_count_ ? position + kernels_->find_byte(data + position, stop - position, kQuote)
                          : stop;
        if (quote == stop) return line_feed == size ? size : line_feed + 1;
        position = quote + 1;
        inside = true;
    }
    return size;
}

}  // namespace brelt
