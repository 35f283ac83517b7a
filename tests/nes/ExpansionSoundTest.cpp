#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Apu.h"
#include "nes/FdsSound.h"
#include "nes/Mmc5Sound.h"
#include "nes/Namco163Sound.h"
#include "nes/Process.h"
#include "nes/Sunsoft5BSound.h"
#include "nes/Vrc6Sound.h"
#include "nes/Vrc7Sound.h"
#include "nes/rom/RomImage.h"

namespace Halvo {
namespace {

constexpr double Clock = 1789773.0;

// A sound unit on a bare machine with one cartridge chip attached; `Play` runs it and returns the
// second half of the samples (the first lets the output stage settle). The chip of a test outlives
// every use of the sound unit.
class ChipSound : public ::testing::Test {
protected:
    ChipSound() : process(&image), apu(Ref::New<Nes::Apu>(&process)) {
        apu->Reset(true, now);
        apu->SetSynthesis(true);
    }

    void Attach(Nes::ExpansionSound& chip) { apu->AttachExpansion(&chip); }
    // Brings the sound to the present cycle, then makes a write there.
    void At(const std::function<void()>& write) {
        apu->RunTo(now);
        write();
    }
    std::vector<float> Play(double seconds) {
        apu->samples.clear();
        now += static_cast<std::uint64_t>(seconds * Clock);
        apu->RunTo(now);
        apu->FlushSamples();
        return {apu->samples.begin() + static_cast<std::ptrdiff_t>(apu->samples.size() / 2),
                apu->samples.end()};
    }
    double Rate() const { return apu->SampleRate(); }

    // The fundamental from the rising crossings of the mean, interpolated between samples.
    double Frequency(const std::vector<float>& samples) const {
        double mean = 0;
        for (const float sample : samples) {
            mean += sample;
        }
        mean /= static_cast<double>(samples.size());
        double first = -1, last = -1;
        int crossings = 0;
        for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
            if (samples[i] < mean && samples[i + 1] >= mean) {
                const double at =
                    static_cast<double>(i) + (mean - samples[i]) / (samples[i + 1] - samples[i]);
                first = first < 0 ? at : first;
                last = at;
                ++crossings;
            }
        }
        return crossings < 2 ? 0 : (crossings - 1) / (last - first) * Rate();
    }
    static double Swing(const std::vector<float>& samples) {
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        return *high - *low;
    }
    static double HighShare(const std::vector<float>& samples) {
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        const double middle = (*low + *high) / 2;
        return static_cast<double>(
                   std::count_if(samples.begin(), samples.end(), [&](float s) { return s > middle; })) /
               static_cast<double>(samples.size());
    }
    // The swing of the console's pulse 1 at volume 15, at a pitch near the chip's, for the mix ratios.
    double ApuPulseSwing(std::uint32_t period) {
        At([&] {
            apu->WriteRegister(0x4015, 0x01, now);
            apu->WriteRegister(0x4000, 0xBF, now);
            apu->WriteRegister(0x4002, static_cast<std::uint8_t>(period), now);
            apu->WriteRegister(0x4003, static_cast<std::uint8_t>(period >> 8), now);
        });
        const double swing = Swing(Play(0.5));
        At([&] { apu->WriteRegister(0x4015, 0x00, now); });
        Play(0.2);
        return swing;
    }

    Nes::RomImage image;
    Nes::Process process;
    Ref::Ptr<Nes::Apu> apu;
    std::uint64_t now = 1000;
};

// The volume settings scale a console channel (before the pulses' shared, non-linear network) and a
// chip's whole output; the filters keep (flat) or cut (nes) a 55 Hz bass line.
TEST_F(ChipSound, VolumesAndFilters) {
    const double full = ApuPulseSwing(0x1FF);
    apu->SetChannelVolume(Nes::ApuSynth::Pulse1, 50);
    EXPECT_NEAR(ApuPulseSwing(0x1FF) / full,
                Nes::ApuSynth::Mix(7.5, 0, 0, 0, 0) / Nes::ApuSynth::Mix(15, 0, 0, 0, 0), 0.02);
    apu->SetChannelVolume(Nes::ApuSynth::Pulse1, 100);
    Nes::Vrc6Sound chip;
    Attach(chip);
    At([&] {
        chip.Write(0, 0, 0x7F);
        chip.Write(0, 1, 0xFF);
        chip.Write(0, 2, 0x81);
    });
    const double chipFull = Swing(Play(0.5));
    apu->SetChipVolume(Nes::SoundChip::Vrc6, 50);
    EXPECT_NEAR(Swing(Play(0.5)) / chipFull, 0.5, 0.02);
    apu->SetChipVolume(Nes::SoundChip::Vrc6, 100);
    At([&] { chip.Write(0, 2, 0x00); });
    // The triangle at 55 Hz: 1789773 / (32 x 1017).
    At([&] {
        apu->WriteRegister(0x4015, 0x04, now);
        apu->WriteRegister(0x4008, 0xFF, now);
        apu->WriteRegister(0x400A, 1016 & 0xFF, now);
        apu->WriteRegister(0x400B, 1016 >> 8, now);
    });
    const auto swing = [&](Nes::ApuSynth::Filter filter) {
        apu->SetFilter(filter);
        return Swing(Play(1.0));
    };
    const double flat = swing(Nes::ApuSynth::Filter::Flat);
    EXPECT_GT(swing(Nes::ApuSynth::Filter::Famicom) / flat, 0.8);
    EXPECT_LT(swing(Nes::ApuSynth::Filter::Nes) / flat, 0.3);
}

TEST_F(ChipSound, Vrc6PulsesAndSaw) {
    Nes::Vrc6Sound chip;
    // The console's pulse of the same period has the same pitch (8 steps of twice the length).
    const double apuSwing = ApuPulseSwing(0x1FF);
    Attach(chip);
    // Pulse 1: period $1FF, 8/16 duty, volume 15: 1789773 / (16 x 512) Hz.
    At([&] {
        chip.Write(0, 0, 0x7F);
        chip.Write(0, 1, 0xFF);
        chip.Write(0, 2, 0x81);
    });
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (16 * 512), Clock / (16 * 512) * 0.005);
    EXPECT_NEAR(HighShare(samples), 8.0 / 16, 0.01);
    // Mixed as loud as the console's pulse at full volume.
    EXPECT_NEAR(Swing(samples) / apuSwing, 1.0, 0.05);
    const double full = Swing(samples);
    // Duty 2 (3/16) at volume 5: a third of the swing.
    At([&] { chip.Write(0, 0, 0x25); });
    samples = Play(0.5);
    EXPECT_NEAR(HighShare(samples), 3.0 / 16, 0.01);
    EXPECT_NEAR(Swing(samples) / full, 5.0 / 15, 0.02);
    // $9003 bit 1: periods shifted right by 4, 16 times the pitch.
    At([&] { chip.Write(0, 3, 0x02); });
    EXPECT_NEAR(Frequency(Play(0.5)), Clock / (16 * 32), Clock / (16 * 32) * 0.005);
    At([&] {
        chip.Write(0, 3, 0x00);
        chip.Write(0, 2, 0x00);
        // The saw: rate 42, period $0FF: 1789773 / (14 x 256) Hz, 6 adds of 42 reach 252 (31 at the DAC).
        chip.Write(2, 0, 42);
        chip.Write(2, 1, 0xFF);
        chip.Write(2, 2, 0x80);
    });
    samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (14 * 256), Clock / (14 * 256) * 0.005);
    EXPECT_NEAR(Swing(samples) / full, 31.0 / 15, 0.1);
}

TEST_F(ChipSound, Sunsoft5BTonesVolumeStepsAndEnvelope) {
    Nes::Sunsoft5BSound chip;
    const double apuSwing = ApuPulseSwing(0x1FF);
    Attach(chip);
    const auto set = [&](std::uint8_t reg, std::uint8_t value) {
        chip.Select(reg);
        chip.Write(value);
    };
    // Channel A, period 256, tone only, volume 12: 1789773 / (32 x 256) Hz.
    At([&] {
        set(0, 0x00);
        set(1, 0x01);
        set(7, 0x3E);
        set(8, 12);
    });
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (32 * 256), Clock / (32 * 256) * 0.005);
    // Volume 12 is 1.3 dB under the console's full pulse; each step is 3 dB.
    EXPECT_NEAR(Swing(samples) / apuSwing, std::pow(10, -1.3 / 20), 0.03);
    const double twelve = Swing(samples);
    At([&] { set(8, 10); });
    EXPECT_NEAR(Swing(Play(0.5)) / twelve, std::pow(10, -6.0 / 20), 0.02);
    // The envelope alone (tone and noise off) as a repeating falling saw: 32 steps of 16 x 40 cycles.
    At([&] {
        set(7, 0x3F);
        set(8, 0x10);
        set(11, 40);
        set(12, 0);
        set(13, 0x08);
    });
    samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (512 * 40), Clock / (512 * 40) * 0.005);
    // From silence to the top step, 9 dB (six 1.5 dB steps) over volume 12.
    EXPECT_NEAR(Swing(samples) / twelve, std::pow(10, 9.0 / 20), 0.15);
}

TEST_F(ChipSound, Namco163WavesChannelsAndMixing) {
    Nes::Namco163Sound chip;
    const double apuSwing = ApuPulseSwing(0x1FF);
    Attach(chip);
    // A 32-sample square at $00 (16 bytes), channel 8: frequency $F00, length 32, volume 15.
    const auto poke = [&](std::uint8_t address, std::uint8_t value) {
        chip.WriteAddress(address);
        chip.WriteData(value);
    };
    At([&] {
        for (std::uint8_t i = 0; i < 16; ++i) {
            poke(i, i < 8 ? 0xFF : 0x00);
        }
        poke(0x78, 0x00);
        poke(0x7A, 0x0F);
        poke(0x7C, 256 - 32);
        poke(0x7E, 0x00);
        poke(0x7F, 0x0F); // one channel
    });
    const auto pitch = [](double channels) { return Clock * 0xF00 / (15 * 65536 * channels * 32); };
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), pitch(1), pitch(1) * 0.005);
    // A full-volume square of one channel is 11 dB over the console's full pulse.
    EXPECT_NEAR(Swing(samples) / apuSwing, std::pow(10, 11.0 / 20), 0.15);
    const double single = Swing(samples);
    // Four channels take turns: a quarter of the pitch (here made up by a 4 times higher frequency),
    // and the channel sounds a quarter of the time.
    At([&] {
        poke(0x7A, 0x3C);
        poke(0x7F, 0x3F);
        chip.SetAveraged(true);
    });
    samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), 4 * pitch(4), pitch(1) * 0.005);
    EXPECT_NEAR(Swing(samples) / single, 0.25, 0.02);
    At([&] { poke(0x7F, 0x35); }); // volume 5
    EXPECT_NEAR(Swing(Play(0.5)) / single, 0.25 / 3, 0.01);
}

TEST_F(ChipSound, Mmc5PulsesAndPcm) {
    Nes::Mmc5Sound chip;
    const double apuSwing = ApuPulseSwing(0x1FF);
    Attach(chip);
    At([&] {
        chip.Write(0x5015, 0x01);
        chip.Write(0x5000, 0xBF); // duty 2, halted, constant volume 15
        chip.Write(0x5002, 0xFF);
        chip.Write(0x5003, 0x01);
    });
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (16 * 512), Clock / (16 * 512) * 0.005);
    EXPECT_NEAR(Swing(samples) / apuSwing, 1.0, 0.05);
    EXPECT_EQ(chip.ReadStatus(), 1);
    // Envelope: decaying with period 0 at 240 Hz, the channel is silent after 16 clocks (67 ms).
    At([&] {
        chip.Write(0x5000, 0x80);
        chip.Write(0x5003, 0x09);
    });
    Play(0.2);
    EXPECT_LT(Swing(Play(0.2)), 0.01);
    // The length counter (loaded with 254, not halted) runs out at 240 Hz.
    At([&] {
        chip.Write(0x5000, 0x9F);
        chip.Write(0x5003, 0x09);
    });
    Play(254 / 240.0 - 0.05);
    EXPECT_EQ(chip.ReadStatus(), 1);
    Play(0.1);
    EXPECT_EQ(chip.ReadStatus(), 0);
}

TEST_F(ChipSound, FdsWaveModulatorAndEnvelope) {
    Nes::FdsSound chip;
    const double apuSwing = ApuPulseSwing(0x1FF);
    Attach(chip);
    At([&] {
        chip.Write(0x4089, 0x80);
        for (std::uint32_t i = 0; i < 64; ++i) {
            chip.Write(0x4040 + i, i < 32 ? 63 : 0);
        }
        chip.Write(0x4089, 0x00);
        chip.Write(0x4080, 0x80 | 32);
        chip.Write(0x4082, 0x00);
        chip.Write(0x4083, 0x02); // pitch $200
    });
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock * 0x200 / (1 << 22), Clock * 0x200 / (1 << 22) * 0.005);
    EXPECT_NEAR(Swing(samples) / apuSwing, std::pow(10, 7.0 / 20), 0.15);
    const double full = Swing(samples);
    At([&] { chip.Write(0x4089, 0x03); }); // master volume 2/5
    EXPECT_NEAR(Swing(Play(0.5)) / full, 0.4, 0.02);
    // A modulator stuck at counter +16 with depth 16 raises the pitch by 16 x 16 / 16 / 64 = 1/4.
    At([&] {
        chip.Write(0x4089, 0x00);
        chip.Write(0x4087, 0x80);
        for (int i = 0; i < 32; ++i) {
            chip.Write(0x4088, 0);
        }
        chip.Write(0x4085, 16);
        chip.Write(0x4084, 0x80 | 16);
        chip.Write(0x4086, 0x01);
        chip.Write(0x4087, 0x00);
    });
    EXPECT_NEAR(Frequency(Play(0.5)), Clock * 0x280 / (1 << 22), Clock * 0x280 / (1 << 22) * 0.005);
    // The volume envelope rises a step every 8 x $E8 x (speed + 1) cycles.
    At([&] {
        chip.Write(0x4087, 0x80);
        chip.Write(0x4080, 0x80);
        chip.Write(0x4080, 0x40 | 3);
    });
    Play(8.0 * 0xE8 * 4 * 10.5 / Clock);
    EXPECT_EQ(chip.Read(0x4090), 10);
}

TEST_F(ChipSound, Vrc7PitchVolumeAndEnvelope) {
    Nes::Vrc7Sound chip;
    const double apuSwing = ApuPulseSwing(0x1FF);
    Attach(chip);
    const auto set = [&](std::uint8_t reg, std::uint8_t value) {
        chip.Select(reg);
        chip.Write(value);
    };
    // The custom instrument as a plain sine: modulator silent (total level 63, no feedback), carrier
    // multiple 1, fastest attack, sustained at full level.
    At([&] {
        const std::uint8_t patch[8] = {0x20, 0x21, 0x3F, 0x00, 0xF0, 0xF0, 0x0F, 0x0F};
        for (std::uint8_t i = 0; i < 8; ++i) {
            set(i, patch[i]);
        }
        set(0x30, 0x00); // custom instrument, volume 0 (loudest)
        set(0x10, 144);
        set(0x20, 0x10 | 4 << 1); // key on, octave 4
    });
    const double pitch = Clock / 36 * 144 * 8 / (1 << 18);
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), pitch, pitch * 0.005);
    // A full-level carrier is 11 dB over the console's full pulse.
    EXPECT_NEAR(Swing(samples) / apuSwing, std::pow(10, 11.0 / 20), 0.2);
    const double full = Swing(samples);
    At([&] { set(0x30, 0x02); }); // 6 dB down
    EXPECT_NEAR(Swing(Play(0.5)) / full, std::pow(10, -6.0 / 20), 0.03);
    // A percussive carrier (not sustained) with decay rate 4 fades while the key is held.
    At([&] {
        set(0x01, 0x01);
        set(0x05, 0xF4);
        set(0x07, 0xF4);
        set(0x20, 0);
    });
    Play(0.1);
    At([&] { set(0x20, 0x10 | 4 << 1); });
    const double early = Swing(Play(0.2));
    const double late = Swing(Play(2.0));
    EXPECT_LT(late, early * 0.7);
    // Sustained again; key off with release rate 15 silences it at once.
    At([&] {
        set(0x01, 0x21);
        set(0x05, 0xF0);
        set(0x07, 0x0F);
        set(0x20, 4 << 1);
        set(0x20, 0x10 | 4 << 1);
    });
    EXPECT_NEAR(Swing(Play(0.2)) / full, std::pow(10, -6.0 / 20), 0.03);
    At([&] { set(0x20, 4 << 1); });
    Play(0.2);
    EXPECT_LT(Swing(Play(0.2)), 0.001);
}

} // namespace
} // namespace Halvo
