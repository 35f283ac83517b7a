#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Halvo::Nes {

class Process;

// The recent past of a machine, one state per frame, for running the game backwards. The newest state
// is kept whole; each older one as its difference to the one after it: the two XORed, with runs of
// zero bytes counted instead of stored. A frame changes a few hundred bytes of some 20-30 KiB, so a
// difference is small, and stepping back undoes one difference at a time. The differences sit in a
// ring whose buffers are reused, so that recording allocates nothing once the ring has gone round.
class RewindBuffer {
public:
    // How many frames back it reaches, and the most memory the recorded past may hold (the oldest
    // frames are dropped to keep within it). 0 frames turns recording off.
    void SetLimits(std::size_t frames, std::size_t maxBytes);

    // After each frame the game ran forwards.
    void Record(Process& process);
    // Takes the machine back to the frame recorded before the newest and forgets the newest. The frame
    // is run again from the one before it (with no buttons pressed, and drawn when `render`), so that
    // the picture shows it; the machine then takes the recorded state. False when nothing older is kept.
    bool StepBack(Process& process, bool render);
    void Clear();

    // How many frames back it can go now.
    std::size_t Frames() const { return count; }
    // The memory it holds, in bytes.
    std::size_t Bytes() const;

private:
    std::vector<std::uint8_t>& Difference(std::size_t age) {
        return ring[(head + count - 1 - age) % ring.size()];
    }
    void DropOldest();

    std::vector<std::vector<std::uint8_t>> ring;
    std::size_t head = 0;  // the oldest difference
    std::size_t count = 0; // differences kept
    std::size_t maxBytes = 0;
    std::size_t ringBytes = 0; // capacity of the ring's buffers
    std::vector<std::uint8_t> newest;
    std::vector<std::uint8_t> scratch;
};

} // namespace Halvo::Nes
