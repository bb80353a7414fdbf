// Deterministic CSV inputs for the benchmarks.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace brelt::bench {

// Mixed unquoted columns: integers, words, floats, booleans, dates.
inline std::string mixed_unquoted_csv(std::size_t size) {
    std::mt19937_64 rng(1);
    static const char* const words[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta"};
    std::string out = "id,name,price,active,date,count,city\n";
    out.reserve(size + 256);
    while (out.size() < size) {
        out += std::to_string(rng() % 1000000);
        out += ',';
        out += words[rng() % 6];
        out += ',';
        out += std::to_string(rng() % 10000) + "." + std::to_string(rng() % 100);
        out += rng() % 2 ? ",true," : ",false,";
        out += "2024-0" + std::to_string(1 + rng() % 9) + "-1" + std::to_string(rng() % 10);
        out += ',';
        out += std::to_string(rng() % 100);
        out += ',';
        out += words[rng() % 6];
        out += " city\n";
    }
    return out;
}

// One field in five quoted, holding delimiters, doubled quotes or line feeds.
inline std::string quoted_text_csv(std::size_t size) {
    std::mt19937_64 rng(2);
    static const char* const quoted[] = {"\"Smith, John\"", "\"said \"\"hi\"\" twice\"",
                                         "\"two\nlines\"", "\"a, b, and c\""};
    std::string out = "a,b,c,d,e\n";
    out.reserve(size + 256);
    while (out.size() < size) {
        for (int column = 0; column < 5; ++column) {
            if (rng() % 5 == 0) {
                out += quoted[rng() % 4];
            } else {
                out += "plain" + std::to_string(rng() % 1000);
            }
            out += column == 4 ? '\n' : ',';
        }
    }
    return out;
}

// Very wide rows: 1,000 short numeric fields each.
inline std::string wide_rows_csv(std::size_t size) {
    std::mt19937_64 rng(3);
    std::string out;
    out.reserve(size + 8192);
    while (out.size() < size) {
        for (int column = 0; column < 1000; ++column) {
            out += std::to_string(rng() % 1000);
            out += column == 999 ? '\n' : ',';
        }
    }
    return out;
}

}  // namespace brelt::bench
