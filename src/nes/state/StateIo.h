#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace Halvo::Nes {

// One pass over a component's state, in one direction: writing appends every field to a byte buffer,
// reading takes them back in the same order. A component lists its fields once, in one function that
// serves both directions, so that saving and loading cannot disagree.
//
// Numbers are stored little-endian in their own width, booleans as one byte. Reading past the end
// fails the pass and leaves the fields untouched; so does a value outside the range a field allows
// (indices into tables, for instance), since a state file is input like any other.
class StateIo {
public:
    static constexpr std::uint32_t CurrentVersion = 2;

    // Writing: fields are appended to `out`.
    explicit StateIo(std::vector<std::uint8_t>& out) : out(&out) {}
    // Reading: fields come from the `size` bytes at `data`, written in state format `version`.
    StateIo(const std::uint8_t* data, std::size_t size, std::uint32_t version = CurrentVersion)
        : in(data), end(data + size), version(version) {}

    bool Loading() const { return in != nullptr; }
    // The format the fields are read in (or written in: the current one). A component whose fields
    // changed reads the older layout when it is older.
    std::uint32_t Version() const { return version; }
    // Whether every field read so far was present and in range.
    bool Good() const { return !failed; }
    // Whether a reading pass used up its bytes exactly.
    bool Finished() const { return !failed && in == end; }
    // Whether a reading pass failed for want of bytes or with bytes left over, rather than for a value
    // out of range.
    bool WrongSize() const { return shortInput || (!failed && in != end); }
    void Fail() { failed = true; }

    // Any number of integral, enum, bool or double fields.
    template <class... T>
    StateIo& operator()(T&... fields) {
        (Field(fields), ...);
        return *this;
    }

    // A field that must lie in `min`..`max` when read.
    template <class T>
    StateIo& Bounded(T& field, T max, T min = T{}) {
        T value = field;
        Field(value);
        if (Loading() && (value > max || value < min)) {
            failed = true;
        } else {
            field = value;
        }
        return *this;
    }

    template <class T, std::size_t N>
    StateIo& Array(std::array<T, N>& fields) {
        if constexpr (sizeof(T) == 1 && std::is_integral_v<T>) {
            Bytes(fields.data(), N);
        } else {
            for (T& field : fields) {
                Field(field);
            }
        }
        return *this;
    }

    // A part that one machine may have and another not (a device in a port): written with its length,
    // so that a machine without it passes over it when loading. Loading an empty block leaves the part
    // as it is; a part that reads some of its block must read all of it.
    template <class State>
    void Block(State state) {
        std::uint32_t length = 0;
        if (!Loading()) {
            const std::size_t at = out->size();
            Field(length);
            state(*this);
            length = static_cast<std::uint32_t>(out->size() - at - sizeof length);
            for (std::size_t i = 0; i < sizeof length; ++i) {
                (*out)[at + i] = static_cast<std::uint8_t>(length >> (8 * i));
            }
            return;
        }
        Field(length);
        if (failed || length > static_cast<std::size_t>(end - in)) {
            shortInput = shortInput || !failed;
            failed = true;
            return;
        }
        StateIo block(in, length, version);
        in += length;
        if (length > 0) {
            state(block);
        }
        if (!block.Good() || (block.in != block.end && block.in != in - length)) {
            shortInput = shortInput || block.WrongSize();
            failed = true;
        }
    }

    // A block of raw bytes.
    void Bytes(void* data, std::size_t size) {
        if (!Loading()) {
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            out->insert(out->end(), bytes, bytes + size);
        } else if (!failed && static_cast<std::size_t>(end - in) >= size) {
            std::memcpy(data, in, size);
            in += size;
        } else {
            shortInput = shortInput || !failed;
            failed = true;
        }
    }

private:
    template <class T>
    void Field(T& field) {
        if constexpr (std::is_same_v<T, bool>) {
            std::uint8_t byte = field ? 1 : 0;
            Field(byte);
            if (Loading() && !failed) {
                if (byte > 1) {
                    failed = true;
                } else {
                    field = byte != 0;
                }
            }
        } else if constexpr (std::is_same_v<T, double>) {
            auto bits = std::bit_cast<std::uint64_t>(field);
            Field(bits);
            if (Loading() && !failed) {
                field = std::bit_cast<double>(bits);
            }
        } else if constexpr (std::is_enum_v<T>) {
            auto value = static_cast<std::underlying_type_t<T>>(field);
            Field(value);
            if (Loading() && !failed) {
                field = static_cast<T>(value);
            }
        } else {
            static_assert(std::is_integral_v<T>);
            using Unsigned = std::make_unsigned_t<T>;
            std::array<std::uint8_t, sizeof(T)> bytes;
            if (!Loading()) {
                const auto value = static_cast<Unsigned>(field);
                for (std::size_t i = 0; i < sizeof(T); ++i) {
                    bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
                }
                out->insert(out->end(), bytes.begin(), bytes.end());
                return;
            }
            Bytes(bytes.data(), sizeof(T));
            if (!failed) {
                Unsigned value = 0;
                for (std::size_t i = 0; i < sizeof(T); ++i) {
                    value = static_cast<Unsigned>(value | static_cast<Unsigned>(bytes[i]) << (8 * i));
                }
                field = static_cast<T>(value);
            }
        }
    }

    std::vector<std::uint8_t>* out = nullptr;
    const std::uint8_t* in = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint32_t version = CurrentVersion;
    bool failed = false;
    bool shortInput = false;
};

} // namespace Halvo::Nes
