#include "instructor/ReportColumns.h"

#include <algorithm>
#include <cstdint>

namespace qal {

namespace {

constexpr std::array<std::uint32_t, 64> roundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t rotr(std::uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

void compress(std::array<std::uint32_t, 8>& state, const unsigned char* block)
{
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
               std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 =
            h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + roundConstants[i] + w[i];
        const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

// SHA-256 of bytes that come in pieces: a record's id is taken over its
// fields as they are, never over a copy of them all.
class Sha256 {
public:
    void add(std::string_view bytes)
    {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        std::size_t size = bytes.size();
        length_ += size;
        if (held_ > 0) {
            const std::size_t taken = std::min(size, block_.size() - held_);
            std::copy_n(data, taken, block_.data() + held_);
            held_ += taken;
            data += taken;
            size -= taken;
            if (held_ < block_.size())
                return;
            compress(state_, block_.data());
            held_ = 0;
        }
        for (; size >= 64; data += 64, size -= 64)
            compress(state_, data);
        std::copy_n(data, size, block_.data());
        held_ = size;
    }

    // The length as 8 bytes, most significant first.
    void addLength(std::uint64_t length)
    {
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(length >> (56 - 8 * i));
        add({reinterpret_cast<const char*>(bytes), sizeof bytes});
    }

    std::array<unsigned char, 32> finish()
    {
        // The last bytes, a one bit, zeros and the length in bits: one or two blocks.
        std::array<unsigned char, 128> tail{};
        std::copy_n(block_.data(), held_, tail.data());
        tail[held_] = 0x80;
        const std::size_t tailSize = held_ < 56 ? 64 : 128;
        const std::uint64_t bits = length_ * 8;
        for (int i = 0; i < 8; ++i)
            tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
        for (std::size_t at = 0; at < tailSize; at += 64)
            compress(state_, tail.data() + at);
        std::array<unsigned char, 32> digest{};
        for (int i = 0; i < 32; ++i)
            digest[i] = static_cast<unsigned char>(state_[i / 4] >> (24 - 8 * (i % 4)));
        return digest;
    }

private:
    std::array<std::uint32_t, 8> state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                           0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<unsigned char, 64> block_{};
    std::size_t held_ = 0;     // bytes of block_ not yet compressed
    std::uint64_t length_ = 0; // bytes added
};

} // namespace

std::array<unsigned char, 32> sha256(std::string_view bytes)
{
    Sha256 hash;
    hash.add(bytes);
    return hash.finish();
}

std::string csvColumnNames()
{
    std::string names;
    for (const ReportColumn& column : reportColumns)
        if (column.inCsv) {
            if (!names.empty())
                names += ',';
            names += column.name;
        }
    return names;
}

std::string recordId(const ReportRecord& r)
{
    const std::string_view parts[] = {
        r.student,
        r.initials,
        r.assignment,
        r.lesson(),
        r.date,
        r.time,
        r.kind == ReportRecord::Kind::Notes ? "notes" : "response",
        r.question,
        r.text,
    };
    Sha256 hash;
    for (std::string_view part : parts) {
        hash.addLength(part.size());
        hash.add(part);
    }
    const std::array<unsigned char, 32> digest = hash.finish();
    constexpr std::string_view hex = "0123456789abcdef";
    std::string id = "q";
    for (std::size_t i = 0; i < 16; ++i) {
        id += hex[digest[i] >> 4];
        id += hex[digest[i] & 0xF];
    }
    return id;
}

ReportRow reportRow(const ReportRecord& r, std::string& id)
{
    id = recordId(r);
    ReportRow row{};
    row[columnAt("file")] = r.file;
    row[columnAt("student")] = r.student;
    row[columnAt("initials")] = r.initials;
    row[columnAt("assignment")] = r.assignment;
    row[columnAt("lesson")] = r.lesson();
    row[columnAt("date")] = r.date;
    row[columnAt("time")] = r.time;
    row[columnAt("kind")] = r.kind == ReportRecord::Kind::Notes ? "notes" : "response";
    row[columnAt("record")] = r.record;
    row[columnAt("question")] = r.question;
    row[columnAt("text")] = r.text;
    row[columnAt("id")] = id;
    return row;
}

} // namespace qal
