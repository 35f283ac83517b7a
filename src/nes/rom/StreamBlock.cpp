#include "nes/rom/StreamBlock.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Halvo::Nes {

namespace {

// The largest piece read at once from a stream that cannot tell its size.
constexpr std::size_t PieceSize = 64 * 1024;

void MarkExhausted(std::istream& in) {
    in.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in);
    in.setstate(std::ios::eofbit | std::ios::failbit);
}

} // namespace

std::optional<std::uint64_t> RemainingBytes(std::istream& in) {
    if (!in.good()) {
        return std::nullopt;
    }
    // Through the buffer, so that a stream that cannot seek keeps its state flags untouched.
    std::streambuf& buffer = *in.rdbuf();
    const std::streampos here = buffer.pubseekoff(0, std::ios::cur, std::ios::in);
    if (here == std::streampos(-1)) {
        return std::nullopt;
    }
    const std::streampos end = buffer.pubseekoff(0, std::ios::end, std::ios::in);
    if (buffer.pubseekpos(here, std::ios::in) != here) {
        in.setstate(std::ios::failbit);
        return std::nullopt;
    }
    if (end == std::streampos(-1) || end < here) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(end - here);
}

std::unique_ptr<std::uint8_t[]> ReadBlock(std::istream& in, std::size_t size) {
    if (const auto remaining = RemainingBytes(in)) {
        if (*remaining < size) {
            MarkExhausted(in);
            return nullptr;
        }
        auto block = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        in.read(reinterpret_cast<char*>(block.get()), static_cast<std::streamsize>(size));
        if (static_cast<std::size_t>(in.gcount()) != size) {
            return nullptr;
        }
        return block;
    }
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < size) {
        const std::size_t piece = std::min(PieceSize, size - bytes.size());
        const std::size_t start = bytes.size();
        bytes.resize(start + piece);
        in.read(reinterpret_cast<char*>(bytes.data() + start), static_cast<std::streamsize>(piece));
        if (static_cast<std::size_t>(in.gcount()) != piece) {
            return nullptr;
        }
    }
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    if (size > 0) {
        std::memcpy(block.get(), bytes.data(), size);
    }
    return block;
}

bool MoveReadPosition(std::istream& in, std::int64_t distance) {
    if (distance >= 0) {
        // ignore() takes a streamsize count; move in pieces that surely fit.
        while (distance > 0) {
            const std::int64_t piece = std::min<std::int64_t>(distance, 1 << 30);
            in.ignore(static_cast<std::streamsize>(piece));
            if (in.gcount() != piece) {
                in.setstate(std::ios::failbit);
                return false;
            }
            distance -= piece;
        }
        return !in.fail();
    }
    in.seekg(static_cast<std::streamoff>(distance), std::ios::cur);
    return !in.fail();
}

} // namespace Halvo::Nes
