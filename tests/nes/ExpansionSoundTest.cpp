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
    // The fundamental of a tone that repeats without a plain shape (the noise channel's short
    // sequence): the lag within 3% of the expected period at which the sound best repeats itself.
    double RepeatFrequency(const std::vector<float>& samples, double expected) const {
        const auto difference = [&](std::size_t lag) {
            double sum = 0;
            for (std::size_t i = 0; i + lag < samples.size(); ++i) {
                const double d = samples[i + lag] - samples[i];
                sum += d * d;
            }
            return sum / static_cast<double>(samples.size() - lag);
        };
        const double period = Rate() / expected;
        std::size_t best = 0;
        double least = 0;
        for (auto lag = static_cast<std::size_t>(period * 0.97);
             lag <= static_cast<std::size_t>(period * 1.03); ++lag) {
            const double value = difference(lag);
            if (best == 0 || value < least) {
                best = lag;
                least = value;
            }
        }
        // The minimum between samples, from the parabola through it and its neighbours.
        const double before = difference(best - 1), at = difference(best), after = difference(best + 1);
        const double shift = (before - after) / (2 * (before - 2 * at + after));
        return Rate() / (static_cast<double>(best) + shift);
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

// Each chip's level in the mix: its loudest plain tone against the console's pulse 1 at full volume,
// in dB, as the NESdev wiki documents them (the NSFe mixing defaults): the VRC6's and the MMC5's
// pulses match the console's, the VRC7's full carrier and a one-channel Namco 163 square are 11 dB
// over it, the Disk System's square at full volume 7 dB over it, and the 5B's square at volume 12
// (its amplifier squashes the louder steps) 1.3 dB under it. The tones are high (1748 Hz), where the
// output stage's high-pass bends a square's flat tops too little to lift its swing over a sine's.
TEST_F(ChipSound, LevelsAgainstTheConsolesPulse) {
    const double pulse = ApuPulseSwing(0x03F);
    const auto select = [](auto& chip, std::uint8_t reg, std::uint8_t value) {
        chip.Select(reg);
        chip.Write(value);
    };
    Nes::Vrc6Sound vrc6;
    const auto vrc6Pulse = [&] {
        vrc6.Write(0, 0, 0x7F);
        vrc6.Write(0, 1, 0x3F);
        vrc6.Write(0, 2, 0x80);
    };
    Nes::Vrc7Sound vrc7;
    const auto vrc7Sine = [&] {
        const std::uint8_t patch[8] = {0x20, 0x21, 0x3F, 0x00, 0xF0, 0xF0, 0x0F, 0x0F};
        for (std::uint8_t i = 0; i < 8; ++i) {
            select(vrc7, i, patch[i]);
        }
        select(vrc7, 0x10, 144);
        select(vrc7, 0x20, 0x10 | 7 << 1);
    };
    Nes::Namco163Sound namco163;
    const auto namco163Square = [&] {
        const std::uint8_t channel[8] = {0x00, 0, 0x78, 0, 256 - 32, 0, 0x00, 0x0F};
        for (std::uint8_t i = 0; i < 16 + 8; ++i) {
            namco163.WriteAddress(i < 16 ? i : static_cast<std::uint8_t>(0x78 + i - 16));
            namco163.WriteData(i < 16 ? (i < 8 ? 0xFF : 0x00) : channel[i - 16]);
        }
    };
    Nes::Sunsoft5BSound sunsoft5B;
    const auto sunsoft5BSquare = [&] {
        select(sunsoft5B, 0, 0x20);
        select(sunsoft5B, 1, 0x00);
        select(sunsoft5B, 7, 0x3E);
        select(sunsoft5B, 8, 12);
    };
    Nes::Mmc5Sound mmc5;
    const auto mmc5Pulse = [&] {
        mmc5.Write(0x5015, 0x01);
        mmc5.Write(0x5000, 0xBF);
        mmc5.Write(0x5002, 0x3F);
        mmc5.Write(0x5003, 0x00);
    };
    Nes::FdsSound fds;
    const auto fdsSquare = [&] {
        // Two square cycles in the wave's 64 steps.
        fds.Write(0x4089, 0x80);
        for (std::uint32_t i = 0; i < 64; ++i) {
            fds.Write(0x4040 + i, i % 32 < 16 ? 63 : 0);
        }
        fds.Write(0x4089, 0x00);
        fds.Write(0x4080, 0x80 | 32);
        fds.Write(0x4082, 0x00);
        fds.Write(0x4083, 0x08);
    };
    const auto decibels = [&](Nes::ExpansionSound& chip, const std::function<void()>& tone) {
        Attach(chip);
        At(tone);
        const double level = 20 * std::log10(Swing(Play(0.5)) / pulse);
        apu->AttachExpansion(nullptr);
        return level;
    };
    const struct {
        const char* tone;
        double measured;
        double documented;
    } levels[] = {
        {"VRC6 pulse, volume 15", decibels(vrc6, vrc6Pulse), 0.0},
        {"VRC7 sine carrier at full level", decibels(vrc7, vrc7Sine), 11.0},
        {"Namco 163 square, one channel, volume 15", decibels(namco163, namco163Square), 11.0},
        {"Sunsoft 5B square, volume 12", decibels(sunsoft5B, sunsoft5BSquare), -1.3},
        {"MMC5 pulse, volume 15", decibels(mmc5, mmc5Pulse), 0.0},
        {"Disk System square, volume 32, master volume full", decibels(fds, fdsSquare), 7.0},
    };
    for (const auto& level : levels) {
        EXPECT_NEAR(level.measured, level.documented, 0.2) << level.tone;
    }
}

// Pitches are held to 0.05%, close enough that a period off by one (0.2% at 512) is caught.
// The console's own tone channels sound at the pitches of their periods: a pulse step lasts 2 x
// (period + 1) cycles over 8 steps, a triangle step period + 1 cycles over 32, and the noise
// channel's short sequence repeats after 93 steps of its period (202 cycles at rate 8).
TEST_F(ChipSound, ConsoleChannelPitches) {
    const struct {
        const char* channel;
        std::uint8_t enable;
        std::uint32_t first; // the channel's first register
        std::uint8_t control;
        std::uint32_t period;
        double pitch;
    } tones[] = {
        {"pulse", 0x01, 0x4000, 0xBF, 0x0FD, Clock / (16 * 254)},
        {"triangle", 0x04, 0x4008, 0xFF, 0x037, Clock / (32 * 56)},
        {"noise", 0x08, 0x400C, 0x3F, 0x88, Clock / (93 * 202)},
    };
    for (const auto& tone : tones) {
        At([&] {
            apu->WriteRegister(0x4015, tone.enable, now);
            apu->WriteRegister(tone.first, tone.control, now);
            apu->WriteRegister(tone.first + 2, static_cast<std::uint8_t>(tone.period), now);
            apu->WriteRegister(tone.first + 3, static_cast<std::uint8_t>(tone.period >> 8), now);
        });
        const std::vector<float> samples = Play(1.0);
        const double measured =
            tone.enable == 0x08 ? RepeatFrequency(samples, tone.pitch) : Frequency(samples);
        EXPECT_NEAR(measured, tone.pitch, tone.pitch * 0.0005) << tone.channel;
        At([&] { apu->WriteRegister(0x4015, 0x00, now); });
    }
}

TEST_F(ChipSound, Vrc6PulsesAndSaw) {
    Nes::Vrc6Sound chip;
    Attach(chip);
    // Pulse 1: period $1FF, 8/16 duty, volume 15: 1789773 / (16 x 512) Hz.
    At([&] {
        chip.Write(0, 0, 0x7F);
        chip.Write(0, 1, 0xFF);
        chip.Write(0, 2, 0x81);
    });
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (16 * 512), Clock / (16 * 512) * 0.0005);
    EXPECT_NEAR(HighShare(samples), 8.0 / 16, 0.01);
    const double full = Swing(samples);
    // Duty 2 (3/16) at volume 5: a third of the swing.
    At([&] { chip.Write(0, 0, 0x25); });
    samples = Play(0.5);
    EXPECT_NEAR(HighShare(samples), 3.0 / 16, 0.01);
    EXPECT_NEAR(Swing(samples) / full, 5.0 / 15, 0.02);
    // $9003 bit 1: periods shifted right by 4, 16 times the pitch.
    At([&] { chip.Write(0, 3, 0x02); });
    EXPECT_NEAR(Frequency(Play(0.5)), Clock / (16 * 32), Clock / (16 * 32) * 0.0005);
    At([&] {
        chip.Write(0, 3, 0x00);
        chip.Write(0, 2, 0x00);
        // The saw: rate 42, period $0FF: 1789773 / (14 x 256) Hz, 6 adds of 42 reach 252 (31 at the DAC).
        chip.Write(2, 0, 42);
        chip.Write(2, 1, 0xFF);
        chip.Write(2, 2, 0x80);
    });
    samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (14 * 256), Clock / (14 * 256) * 0.0005);
    EXPECT_NEAR(Swing(samples) / full, 31.0 / 15, 0.1);
}

TEST_F(ChipSound, Sunsoft5BTonesVolumeStepsAndEnvelope) {
    Nes::Sunsoft5BSound chip;
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
    EXPECT_NEAR(Frequency(samples), Clock / (32 * 256), Clock / (32 * 256) * 0.0005);
    // Each volume step is 3 dB.
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
    EXPECT_NEAR(Frequency(samples), Clock / (512 * 40), Clock / (512 * 40) * 0.0005);
    // From silence to the top step, 9 dB (six 1.5 dB steps) over volume 12.
    EXPECT_NEAR(Swing(samples) / twelve, std::pow(10, 9.0 / 20), 0.15);
}

TEST_F(ChipSound, Namco163WavesChannelsAndMixing) {
    Nes::Namco163Sound chip;
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
    EXPECT_NEAR(Frequency(samples), pitch(1), pitch(1) * 0.0005);
    const double single = Swing(samples);
    // Four channels take turns: a quarter of the pitch (here made up by a 4 times higher frequency),
    // and the channel sounds a quarter of the time.
    At([&] {
        poke(0x7A, 0x3C);
        poke(0x7F, 0x3F);
        chip.SetAveraged(true);
    });
    samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), 4 * pitch(4), pitch(1) * 0.0005);
    EXPECT_NEAR(Swing(samples) / single, 0.25, 0.02);
    At([&] { poke(0x7F, 0x35); }); // volume 5
    EXPECT_NEAR(Swing(Play(0.5)) / single, 0.25 / 3, 0.01);
}

TEST_F(ChipSound, Mmc5PulsesAndPcm) {
    Nes::Mmc5Sound chip;
    Attach(chip);
    At([&] {
        chip.Write(0x5015, 0x01);
        chip.Write(0x5000, 0xBF); // duty 2, halted, constant volume 15
        chip.Write(0x5002, 0xFF);
        chip.Write(0x5003, 0x01);
    });
    std::vector<float> samples = Play(0.5);
    EXPECT_NEAR(Frequency(samples), Clock / (16 * 512), Clock / (16 * 512) * 0.0005);
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
    EXPECT_NEAR(Frequency(samples), Clock * 0x200 / (1 << 22), Clock * 0x200 / (1 << 22) * 0.0005);
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
    EXPECT_NEAR(Frequency(Play(0.5)), Clock * 0x280 / (1 << 22), Clock * 0x280 / (1 << 22) * 0.0005);
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
    EXPECT_NEAR(Frequency(samples), pitch, pitch * 0.0005);
    const double full = Swing(samples);
    At([&] { set(0x30, 0x02); }); // 6 dB down
    EXPECT_NEAR(Swing(Play(0.5)) / full, std::pow(10, -6.0 / 20), 0.03);
    // The custom instrument changed under a held note: carrier multiple 2 doubles its pitch at once.
    At([&] { set(0x01, 0x22); });
    EXPECT_NEAR(Frequency(Play(0.5)), 2 * pitch, pitch * 0.01);
    At([&] { set(0x01, 0x21); });
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
