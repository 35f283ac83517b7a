#include "nes/state/RewindBuffer.h"

#include <cstring>

#include "nes/ButtonState.h"
#include "nes/Process.h"
#include "nes/state/SaveState.h"

namespace Halvo::Nes {

namespace {

void PutCount(std::vector<std::uint8_t>& out, std::size_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(value));
}

std::size_t TakeCount(const std::uint8_t*& at) {
    std::size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = *at++;
        value |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (!(byte & 0x80)) {
            return value;
        }
    }
}

std::uint64_t Word(const std::uint8_t* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// `out` := a XOR b as pairs (run of equal bytes, run of changed bytes followed by their XOR). Equal
// stretches shorter than a word stay inside a changed run, where they cost less than a new pair.
void Encode(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
            std::vector<std::uint8_t>& out) {
    out.clear();
    const std::uint8_t* x = a.data();
    const std::uint8_t* y = b.data();
    const std::size_t size = a.size();
    std::size_t i = 0;
    while (i < size) {
        const std::size_t same = i;
        while (i + 8 <= size && Word(x + i) == Word(y + i)) {
            i += 8;
        }
        while (i < size && x[i] == y[i]) {
            ++i;
        }
        const std::size_t changed = i;
        while (i < size) {
            if (x[i] != y[i]) {
                ++i;
                continue;
            }
            std::size_t equal = i;
            while (equal < size && equal - i < 8 && x[equal] == y[equal]) {
                ++equal;
            }
            if (equal - i >= 8 || equal == size) {
                break;
            }
            i = equal;
        }
        PutCount(out, changed - same);
        PutCount(out, i - changed);
        for (std::size_t k = changed; k < i; ++k) {
            out.push_back(static_cast<std::uint8_t>(x[k] ^ y[k]));
        }
    }
}

// state ^= the difference: one state of the pair becomes the other.
void Apply(std::vector<std::uint8_t>& state, const std::vector<std::uint8_t>& difference) {
    const std::uint8_t* at = difference.data();
    const std::uint8_t* end = at + difference.size();
    std::size_t position = 0;
    while (at < end) {
        position += TakeCount(at);
        const std::size_t changed = TakeCount(at);
        for (std::size_t k = 0; k < changed; ++k) {
            state[position++] ^= *at++;
        }
    }
}

} // namespace

void RewindBuffer::SetLimits(std::size_t frames, std::size_t bytes) {
    maxBytes = bytes;
    if (frames == ring.size()) {
        return;
    }
    Clear();
    std::vector<std::vector<std::uint8_t>>(frames).swap(ring);
    std::vector<std::uint8_t>().swap(newest);
    std::vector<std::uint8_t>().swap(scratch);
    ringBytes = 0;
}

void RewindBuffer::Clear() {
    head = count = 0;
    newest.clear();
}

std::size_t RewindBuffer::Bytes() const {
    return ringBytes + newest.capacity() + scratch.capacity() + ring.capacity() * sizeof ring[0];
}

void RewindBuffer::DropOldest() {
    head = (head + 1) % ring.size();
    --count;
}

void RewindBuffer::Record(Process& process) {
    if (ring.empty()) {
        return;
    }
    SaveState::WriteMachine(process, scratch);
    if (newest.size() != scratch.size()) {
        // The first frame, or another cartridge: nothing to go back to.
        Clear();
        newest.swap(scratch);
        return;
    }
    if (count == ring.size()) {
        DropOldest();
    }
    ++count;
    std::vector<std::uint8_t>& difference = Difference(0);
    const std::size_t before = difference.capacity();
    Encode(newest, scratch, difference);
    ringBytes += difference.capacity() - before;
    newest.swap(scratch);
    // Over the memory allowed: the oldest frames go, and their buffers with them.
    while (Bytes() > maxBytes && count > 0) {
        std::vector<std::uint8_t>& oldest = ring[head];
        ringBytes -= oldest.capacity();
        std::vector<std::uint8_t>().swap(oldest);
        DropOldest();
    }
}

bool RewindBuffer::StepBack(Process& process, bool render) {
    if (count == 0) {
        return false;
    }
    Apply(newest, Difference(0));
    --count;
    std::string error;
    bool loaded = true;
    if (count > 0) {
        scratch = newest;
        Apply(scratch, Difference(0));
        loaded = SaveState::ReadMachine(process, scratch.data(), scratch.size(), error);
        // The buttons of that frame are not kept; none are pressed, and the state below is the one
        // recorded whatever they were.
        const ButtonState held = process.buttons;
        process.buttons.Clear();
        process.RunFrame(render);
        process.buttons = held;
    }
    loaded = loaded && SaveState::ReadMachine(process, newest.data(), newest.size(), error);
    if (!loaded) {
        Clear();
    }
    return loaded;
}

} // namespace Halvo::Nes
