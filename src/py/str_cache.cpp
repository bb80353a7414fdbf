#include "str_cache.hpp"

#include <sys/random.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "support/text.hpp"

namespace brelt::py {

namespace {

constexpr std::size_t kInitialSlots = 512;  // grows past 7/8 full
constexpr std::size_t kChunkBytes = 64 * 1024;
// After this many lookups the cache stays on only if at least a fifth hit.
constexpr std::uint32_t kTrialLookups = 200;
constexpr std::uint32_t kTrialMinHits = 40;
constexpr std::uint32_t kWindowLookups = 4096;

// The high and low halves of a 128-bit product, folded.
inline std::uint64_t fold_multiply(std::uint64_t a, std::uint64_t b) {
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

// Whether `kept` (text.size() bytes) holds `text`: a short text (most are)
// in two fixed-size loads a side that may overlap, a longer one by memcmp.
[[gnu::always_inline]] inline bool same_text(const char* kept, std::string_view text) {
    const std::size_t size = text.size();
    const char* data = text.data();
    const auto load = [](const char* p, std::size_t n) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, n);
        return word;
    };
    if (size > 16) return std::memcmp(kept, data, size) == 0;
    if (size >= 8) {
        return load(kept, 8) == load(data, 8) &&
               load(kept + size - 8, 8) == load(data + size - 8, 8);
    }
    if (size >= 4) {
        return load(kept, 4) == load(data, 4) &&
               load(kept + size - 4, 4) == load(data + size - 4, 4);
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (kept[i] != data[i]) return false;
    }
    return true;
}

}  // namespace

HashSeed HashSeed::random() {
    HashSeed result;
    std::uint64_t(&seed)[2] = result.words;
    if (getrandom(seed, sizeof(seed), GRND_NONBLOCK) == static_cast<ssize_t>(sizeof(seed))) {
        return result;
    }
    // No entropy yet (very early boot): the clock still varies per call.
    const auto now =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed[0] = fold_multiply(now, 0x9E3779B97F4A7C15ULL);
    seed[1] = fold_multiply(now ^ reinterpret_cast<std::uintptr_t>(&seed), 0xC2B2AE3D27D4EB4FULL);
    return result;
}

PyObject* new_cell_str(std::string_view text) {
    if (text.empty()) return PyUnicode_New(0, 0);
    if (is_ascii(text.data(), text.size())) return new_ascii_str(text);
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

StrObjectCache::~StrObjectCache() {
    disable();
}

// Inlined into get(): a call per lookup costs as much as the hash itself.
[[gnu::always_inline]] inline std::uint64_t StrObjectCache::hash(std::string_view text) const {
    constexpr std::uint64_t kMix = 0xA0761D6478BD642FULL;
    const auto load = [](const char* p, std::size_t n) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, n);
        return word;
    };
    const std::size_t size = text.size();
    const char* const data = text.data();
    std::uint64_t h = seed_.words[0] ^ (size * kMix);
    std::size_t at = 0;
    for (; at + 8 < size; at += 8)
        h = fold_multiply(h ^ load(data + at, 8), seed_.words[1] ^ kMix);
    // The last 1 to 8 bytes in one word, read with fixed-size loads (which
    // may overlap bytes already mixed in) rather than byte by byte.
    std::uint64_t tail = 0;
    if (size >= 8) {
        tail = load(data + size - 8, 8);
    } else if (size >= 4) {
        tail = load(data, 4) << 32 | load(data + size - 4, 4);
    } else if (size != 0) {
        const auto byte = [&](std::size_t i) {
            return static_cast<std::uint64_t>(static_cast<unsigned char>(data[i]));
        };
        tail = byte(0) << 16 | byte(size >> 1) << 8 | byte(size - 1);
    }
    h = fold_multiply(h ^ tail ^ (size - at), seed_.words[1] ^ 0xE7037ED1A0B428DBULL);
    return fold_multiply(h, kMix);
}

PyObject* StrObjectCache::get(std::string_view text) {
    if (!enabled_) return new_cell_str(text);
    if ((used_ + 1) * 8 > slots_.size() * 7) grow();  // also the first allocation
    const std::uint64_t h = hash(text);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = h & mask;
    PyObject* result = nullptr;
    for (;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.object == nullptr) {
            ++misses_;
            result = new_cell_str(text);
            if (result == nullptr) return nullptr;
            if (used_ < max_entries_) {
                slot = Slot{keep(text), text.size(), h, Py_NewRef(result)};
                ++used_;
            }
            break;
        }
        if (slot.hash == h && slot.size == text.size() && same_text(slot.data, text)) {
            ++hits_;
            result = Py_NewRef(slot.object);
            break;
        }
    }
    if (hits_ + misses_ == kTrialLookups && hits_ < kTrialMinHits) disable();
    // A bounded cache holds the column's first texts only, so it keeps
    // proving itself: it stays on while a quarter of each window's lookups
    // hit.
    if (max_entries_ != SIZE_MAX && ++window_lookups_ == kWindowLookups) {
        if (hits_ - window_start_hits_ < kWindowLookups / 4) disable();
        window_lookups_ = 0;
        window_start_hits_ = hits_;
    }
    return result;
}

const char* StrObjectCache::keep(std::string_view text) {
    if (text.empty()) return nullptr;
    if (text.size() > chunk_left_) {
        const std::size_t size = std::max(kChunkBytes, text.size());
        chunks_.emplace_back(new char[size]);  // left uninitialised
        chunk_free_ = chunks_.back().get();
        chunk_left_ = size;
    }
    char* copy = chunk_free_;
    std::memcpy(copy, text.data(), text.size());
    chunk_free_ += text.size();
    chunk_left_ -= text.size();
    return copy;
}

void StrObjectCache::grow() {
    std::vector<Slot> old(slots_.empty() ? kInitialSlots : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.object == nullptr) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].object != nullptr)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void StrObjectCache::disable() {
    enabled_ = false;
    for (Slot& slot : slots_)
        Py_XDECREF(slot.object);
    slots_.clear();
    slots_.shrink_to_fit();
    chunks_.clear();
    chunk_free_ = nullptr;
    chunk_left_ = 0;
    used_ = 0;
}

}  // namespace brelt::py
