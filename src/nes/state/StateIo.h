#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Halvo::Nes {

// One pass over a component's state, in one direction: writing appends every field to a byte buffer,
// reading takes them back. A component lists its fields once, in one function that serves both
// directions, so that saving and loading cannot disagree.
//
// Every field is tagged with a stable id: the scope it stands in (a component's section, and within it
// the scopes a component opens for its parts: a channel, a sprite, a page) and its place in that scope.
// A newer Halvo therefore reads older states: a field the file lacks keeps the value a freshly reset
// machine gives it, and a field the machine no longer has is passed over. Fields are only ever added at
// the end of their scope; one that goes keeps its place with a field read into nothing. Format 1 (Halvo
// 0.2.0) had no tags: its fields are read in order, as it wrote them.
//
// Numbers are stored little-endian in their own width, booleans as one byte, each after its tag (4
// bytes) and its length (4 bytes). Reading a field of another length, or a value outside the range a
// field allows (indices into tables, for instance), fails the pass and leaves the field untouched, since
// a state file is input like any other.
class StateIo {
public:
    static constexpr std::uint32_t CurrentVersion = 2;
    static constexpr std::uint32_t FirstTaggedVersion = 2;

    // Writing: fields are appended to `out`.
    explicit StateIo(std::vector<std::uint8_t>& out) : out(&out) {}
    // Reading: fields come from the `size` bytes at `data`, written in state format `version`.
    StateIo(const std::uint8_t* data, std::size_t size, std::uint32_t version = CurrentVersion)
        : in(data), end(data + size), version(version) {
        if (Tagged()) {
            IndexFields();
        }
    }

    bool Loading() const { return in != nullptr; }
    // The format the fields are read in (or written in: the current one). A component whose fields
    // changed meaning reads the older meaning when it is older.
    std::uint32_t Version() const { return version; }
    // Whether every field read so far was present (or absent, in a tagged format) and in range.
    bool Good() const { return !failed; }
    // Whether a reading pass used up its bytes exactly (in order) or found every tag well formed.
    bool Finished() const { return !failed && (Tagged() || in == end); }
    // Whether a reading pass failed for want of bytes, with bytes left over, or on a field of another
    // length, rather than for a value out of range.
    bool WrongSize() const { return shortInput || (!failed && !Tagged() && in != end); }
    void Fail() { failed = true; }

    // The fields listed while it lives stand in a scope of their own, named and numbered, so that a
    // part listed several times (two pulse channels, 64 sprites) or one that gains fields leaves the
    // tags of the others as they were.
    class Scope {
    public:
        Scope(StateIo& io, std::string_view name, std::uint32_t index = 0)
            : io(io), outerScope(io.scopeId), outerPlace(io.place) {
            std::uint32_t id = Mix(io.scopeId, index);
            for (const char c : name) {
                id = Mix(id, static_cast<std::uint8_t>(c));
            }
            io.scopeId = id;
            io.place = 0;
        }
        ~Scope() {
            io.scopeId = outerScope;
            io.place = outerPlace;
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        StateIo& io;
        const std::uint32_t outerScope;
        const std::uint32_t outerPlace;
    };

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

    // A part that one machine may have and another not (a device in a port), in a scope of its own.
    // Format 1 wrote it with its length, so that a machine without it passes over it when loading;
    // loading an empty block, or a tagged file without the part, leaves the part as it is.
    template <class State>
    void Block(State state) {
        const Scope scope(*this, "block", blocks++);
        if (!Loading() || Tagged()) {
            state(*this);
            return;
        }
        std::uint32_t length = 0;
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

    // A block of raw bytes, as one field.
    void Bytes(void* data, std::size_t size) {
        if (!Loading()) {
            Put(data, size);
        } else {
            Take(data, size);
        }
    }

private:
    static std::uint32_t Mix(std::uint32_t hash, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            hash = (hash ^ ((value >> (8 * i)) & 0xFF)) * 0x01000193u;
        }
        return hash;
    }

    bool Tagged() const { return version >= FirstTaggedVersion; }

    static std::uint32_t WordAt(const std::uint8_t* at) {
        return static_cast<std::uint32_t>(at[0] | at[1] << 8 | at[2] << 16) | std::uint32_t{at[3]} << 24;
    }

    void PutWord(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }

    // Writing: the next tag of the scope, the length and the bytes.
    void Put(const void* data, std::size_t size) {
        PutWord(Mix(scopeId, place++));
        PutWord(static_cast<std::uint32_t>(size));
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    }

    // Reading: the field's bytes, in order (format 1) or by its tag; false when the field is absent
    // or the pass has failed. A tag found with another length fails the pass.
    bool Take(void* data, std::size_t size) {
        if (failed) {
            return false;
        }
        if (!Tagged()) {
            if (static_cast<std::size_t>(end - in) < size) {
                shortInput = true;
                failed = true;
                return false;
            }
            std::memcpy(data, in, size);
            in += size;
            return true;
        }
        const std::uint32_t tag = Mix(scopeId, place++);
        // Fields are read in the order they were written, so the next one is nearly always the one.
        std::size_t found = next < fields.size() && fields[next].tag == tag ? next : fields.size();
        for (std::size_t i = 0; found == fields.size() && i < fields.size(); ++i) {
            found = fields[i].tag == tag ? i : found;
        }
        if (found == fields.size()) {
            return false;
        }
        next = found + 1;
        if (fields[found].length != size) {
            shortInput = true;
            failed = true;
            return false;
        }
        std::memcpy(data, fields[found].data, size);
        return true;
    }

    void IndexFields() {
        for (const std::uint8_t* at = in; at != end;) {
            if (end - at < 8 || WordAt(at + 4) > static_cast<std::size_t>(end - at - 8)) {
                shortInput = true;
                failed = true;
                return;
            }
            fields.push_back({WordAt(at), WordAt(at + 4), at + 8});
            at += 8 + WordAt(at + 4);
        }
    }

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
                Put(bytes.data(), sizeof(T));
                return;
            }
            if (Take(bytes.data(), sizeof(T))) {
                Unsigned value = 0;
                for (std::size_t i = 0; i < sizeof(T); ++i) {
                    value = static_cast<Unsigned>(value | static_cast<Unsigned>(bytes[i]) << (8 * i));
                }
                field = static_cast<T>(value);
            }
        }
    }

    struct TaggedField {
        std::uint32_t tag;
        std::uint32_t length;
        const std::uint8_t* data;
    };

    std::vector<std::uint8_t>* out = nullptr;
    const std::uint8_t* in = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint32_t version = CurrentVersion;
    std::uint32_t scopeId = 0x811C9DC5u;
    std::uint32_t place = 0;
    std::uint32_t blocks = 0;
    std::vector<TaggedField> fields;
    std::size_t next = 0;
    bool failed = false;
    bool shortInput = false;
};

} // namespace Halvo::Nes
