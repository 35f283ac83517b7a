#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "nes/ButtonState.h"
#include "nes/Joypad.h"
#include "nes/NintendoPorts.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

class ControllerPorts : public ::testing::Test {
protected:
    ControllerPorts() : ports(Ref::New<Nes::NintendoPorts>()), joypad(Ref::New<Nes::Joypad>(&buttons, 0)) {
        ports->ConnectDevice(0, joypad);
        ports->Reset(true);
    }
    std::vector<int> Read4016(int count) {
        std::vector<int> values;
        for (int i = 0; i < count; ++i) {
            values.push_back(ports->Read(0x4016));
        }
        return values;
    }
    void Strobe() {
        ports->Write(0x4016, 1);
        ports->Write(0x4016, 0);
    }

    TestSupport::ConsoleCapture capture;
    Nes::ButtonState buttons;
    Ref::Ptr<Nes::NintendoPorts> ports;
    Ref::Ptr<Nes::Joypad> joypad;
};

// Reads of $4016 give the buttons A, B, Select, Start, Up, Down, Left, Right, eight zeros, then the
// presence bit of ports 0 and 2; opposite directions held together latch only Up and Left.
TEST_F(ControllerPorts, ShiftsButtonsThenPresenceSignature) {
    const std::pair<std::uint8_t, std::vector<int>> cases[] = {
        {0x81, {1, 0, 0, 0, 0, 0, 0, 1}},
        {0xFE, {0, 1, 1, 1, 1, 0, 1, 0}},
    };
    for (const auto& [held, expected] : cases) {
        buttons.SetHeld(0, Nes::ButtonState::Keys, held);
        Strobe();
        const std::vector<int> reads = Read4016(24);
        EXPECT_EQ(std::vector<int>(reads.begin(), reads.begin() + 8), expected);
        EXPECT_EQ(std::vector<int>(reads.begin() + 8, reads.begin() + 16), std::vector<int>(8, 0));
        EXPECT_EQ(reads[16], 1); // port 0 holds a device
        EXPECT_EQ(reads[20], 0); // port 2 does not
        EXPECT_EQ(Read4016(2), (std::vector<int>{0, 0}));
    }
    // $4017: no devices, so nothing, signature included.
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(ports->Read(0x4017), 0) << i;
    }
}

// A device holding lines 3 and 4 high (a light gun's trigger and sensor).
class LineDevice : public Nes::ExtDevice {
public:
    std::uint8_t Read(std::uint32_t, std::uint32_t line) override { return line == 3 || line == 4 ? 1 : 0; }
    void Write(std::uint8_t) override {}
};

// Lines 3 and 4 of a port read in bits 3 and 4 of its register; the expansion port (4) drives both
// registers.
TEST_F(ControllerPorts, ParallelLinesReadInTheirBits) {
    const auto gun = Ref::New<LineDevice>();
    ASSERT_TRUE(ports->ConnectDevice(1, gun));
    Strobe();
    gun->drivenLines = 0x18;
    EXPECT_EQ(ports->Read(0x4017), 0x18);
    gun->drivenLines = 0x1F;
    EXPECT_EQ(ports->Read(0x4017), 0x18);
    ASSERT_TRUE(ports->ConnectDevice(4, Ref::Ptr<Nes::ExtDevice>(Ref::New<LineDevice>())));
    EXPECT_EQ(ports->Read(0x4016) & 0x18, 0x18);
}

TEST_F(ControllerPorts, ConnectReportsBadPortsAndOccupiedOnes) {
    EXPECT_FALSE(ports->ConnectDevice(0, Ref::Ptr<Nes::ExtDevice>(Ref::New<Nes::Joypad>(&buttons, 0))));
    EXPECT_FALSE(ports->ConnectDevice(5, Ref::Ptr<Nes::ExtDevice>(Ref::New<Nes::Joypad>(&buttons, 0))));
    EXPECT_FALSE(ports->ConnectDevice(1, nullptr));
    const Lines errors = capture.ErrorLines();
    ASSERT_EQ(errors.size(), 3u);
    const char* operation = "Halvo::Nes::NintendoPorts::ConnectDevice";
    EXPECT_TRUE(TestSupport::IsReport(errors[0], operation, "A device is already connected to port 0."));
    EXPECT_TRUE(TestSupport::IsReport(errors[1], operation, "Invalid port number."));
    EXPECT_TRUE(TestSupport::IsReport(errors[2], operation, "Invalid external device pointer."));

    EXPECT_EQ(ports->DisconnectDevice(0), joypad);
    EXPECT_FALSE(ports->DisconnectDevice(0));
    EXPECT_FALSE(ports->DisconnectDevice(9));
}

} // namespace
} // namespace Halvo
