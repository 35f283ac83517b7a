#include "nes/mmc/Boards.h"

#include <string_view>

#include "nes/mmc/AORom.h"
#include "nes/mmc/BNRom.h"
#include "nes/mmc/Bandai.h"
#include "nes/mmc/Bf9093.h"
#include "nes/mmc/Bf9096.h"
#include "nes/mmc/CNRom.h"
#include "nes/mmc/CNRomSecurity.h"
#include "nes/mmc/CPRom.h"
#include "nes/mmc/ColorDreams.h"
#include "nes/mmc/DiscreteLatch.h"
#include "nes/mmc/Fds.h"
#include "nes/mmc/Fme7.h"
#include "nes/mmc/GNRom.h"
#include "nes/mmc/Homebrew.h"
#include "nes/mmc/Irem.h"
#include "nes/mmc/JalecoJf11.h"
#include "nes/mmc/JalecoSs88006.h"
#include "nes/mmc/Mmc1.h"
#include "nes/mmc/Mmc2.h"
#include "nes/mmc/Mmc3.h"
#include "nes/mmc/Mmc3Multicart.h"
#include "nes/mmc/Mmc4.h"
#include "nes/mmc/Mmc5.h"
#include "nes/mmc/MmcFactory.h"
#include "nes/mmc/MmcManager.h"
#include "nes/mmc/NRom.h"
#include "nes/mmc/Namco108.h"
#include "nes/mmc/Namco163.h"
#include "nes/mmc/NesEvent.h"
#include "nes/mmc/Nina001.h"
#include "nes/mmc/Nina03.h"
#include "nes/mmc/Nsf.h"
#include "nes/mmc/Rambo1.h"
#include "nes/mmc/Sunsoft.h"
#include "nes/mmc/TQRom.h"
#include "nes/mmc/TaitoTc0190.h"
#include "nes/mmc/TaitoX1.h"
#include "nes/mmc/TxSRom.h"
#include "nes/mmc/UNRom.h"
#include "nes/mmc/UNRom74HC08.h"
#include "nes/mmc/Vrc.h"
#include "nes/mmc/Vrc1.h"
#include "nes/mmc/Vrc6.h"
#include "nes/mmc/Vrc7.h"

namespace Halvo::Nes {

namespace {

// One supported board family: its registry name, the board names it accepts (the PCB names and chip
// part numbers printed on the cartridges of that family, separated by blanks) and the class it builds.
struct BoardFamily {
    const char* registryName;
    std::string_view boardNames;
    Ref::Ptr<Mmc> (*create)(Process* process);
};

template <class Board>
Ref::Ptr<Mmc> Make(Process* process) {
    return Ref::Ptr<Mmc>(Ref::New<Board>(process));
}

// The registry asks the families in byte order of their registry names, whatever the order here.
// clang-format off
constexpr BoardFamily Families[] = {
    {"NES-NROM-256",       "NROM RROM",                                                              Make<NRom>},
    {"MMC1-[A,B,B2]",      "351908 SAROM SBROM SC1ROM SEROM SGROM SKROM SLROM SNROM SOROM SVROM SUROM", Make<Mmc1>},
    {"NES-UNROM-[05,09]",  "351358 351298 351320 UNROM",                                             Make<UNRom>},
    {"NES-CN-ROM-[02,05]", "CNROM",                                                                  Make<CNRom>},
    {"MMC3-[A,B,C]",       "352026 51555 SL1ROM TEROM TFROM TGROM TKROM TL1ROM TLROM TNROM TR1ROM TSROM TVROM", Make<Mmc3>},
    {"NES-AOROM-03",       "AOROM",                                                                  Make<AORom>},
    {"NES-PNROM-05",       "PNROM",                                                                  Make<Mmc2>},
    {"FDS-RAM-ADAPTER",    "FDS",                                                                    Make<Fds>},
    {"NES-GNROM",          "GNROM",                                                                  Make<GNRom>},
    {"MMC4-FxROM",         "FJROM FKROM",                                                            Make<Mmc4>},
    {"COLORDREAMS-74*377", "COLORDREAMS",                                                            Make<ColorDreams>},
    {"NES-CPROM",          "CPROM",                                                                  Make<CPRom>},
    {"NES-BNROM",          "BNROM",                                                                  Make<BNRom>},
    {"AVE-NINA-001",       "NINA-001 NINA-01",                                                       Make<Nina001>},
    {"JALECO-JF-[11,14]",  "JF-11 JF-14",                                                            Make<JalecoJf11>},
    {"CAMERICA-BF9093",    "BF9093 BF9097",                                                          Make<Bf9093>},
    {"AVE-NINA-[03,06]",   "NINA-03 NINA-06",                                                        Make<Nina03>},
    {"HVC-UNROM+74HC08",   "UNROM+74HC08",                                                           Make<UNRom74HC08>},
    {"CAMERICA-BF9096",    "BF9096",                                                                 Make<Bf9096>},
    {"NAMCOT-108",         "DEROM DE1ROM DRROM",                                                     Make<Namco108>},
    {"MMC3-TxSROM",        "TKSROM TLSROM",                                                          Make<TxSRom>},
    {"MMC3-TQROM",         "TQROM",                                                                  Make<TQRom>},
    {"KONAMI-VRC-[2,4]",   "VRC2 VRC4",                                                              Make<Vrc>},
    {"SUNSOFT-FME-7",      "FME-7 JLROM JSROM BTR SUNSOFT-5A SUNSOFT-5B",                            Make<Fme7>},
    {"MMC5-ExROM",         "EKROM ELROM ETROM EWROM EXROM",                                          Make<Mmc5>},
    {"BANDAI-FCG",         "FCG FCG-1 FCG-2 LZ93D50",                                                Make<Bandai>},
    {"JALECO-SS88006",     "SS88006 JF-23 JF-24 JF-25 JF-27 JF-29 JF-37 JF-40",                     Make<JalecoSs88006>},
    {"JALECO-JF-[05-10]",  "JF-05 JF-06 JF-07 JF-08 JF-09 JF-10",                                    Make<Jaleco87>},
    {"TAITO-TC0190",       "TC0190 TC0690",                                                          Make<TaitoTc0190>},
    {"CNROM-SECURITY",     "CN-SECURITY",                                                            Make<CNRomSecurity>},
    {"TAITO-X1-005",       "X1-005",                                                                 Make<TaitoX1005>},
    {"TAITO-X1-017",       "X1-017",                                                                 Make<TaitoX1017>},
    {"KONAMI-VRC-1",       "VRC1",                                                                   Make<Vrc1>},
    {"IREM-G-101",         "G-101",                                                                  Make<IremG101>},
    {"IREM-H3001",         "H3001",                                                                  Make<IremH3001>},
    {"BANDAI-74*161",      "74161",                                                                  Make<Bandai74161>},
    {"SUNSOFT-1",          "SUNSOFT-1",                                                              Make<Sunsoft1>},
    {"SUNSOFT-2",          "SUNSOFT-2",                                                              Make<Sunsoft2>},
    {"SUNSOFT-3",          "SUNSOFT-3",                                                              Make<Sunsoft3>},
    {"SUNSOFT-4",          "SUNSOFT-4",                                                              Make<Sunsoft4>},
    {"JALECO-JF-[17,19]",  "JF-17 JF-19",                                                            Make<JalecoJf17>},
    {"JALECO-JF-13",       "JF-13",                                                                  Make<JalecoJf13>},
    {"JALECO-JF-16",       "JF-16 IF-12",                                                            Make<Jaleco78>},
    {"NAMCOT-3446",        "NAMCOT-3446",                                                            Make<Namco3446>},
    {"NAMCOT-3433",        "NAMCOT-3433 NAMCOT-3443 NAMCOT-3453",                                    Make<Namco3433>},
    {"NAMCOT-3425",        "NAMCOT-3425",                                                            Make<Namco3425>},
    {"KONAMI-VRC-3",       "VRC3",                                                                   Make<Vrc3>},
    {"TENGEN-RAMBO-1",     "RAMBO-1 800032 800037",                                                  Make<Rambo1>},
    // Before "NES-UNROM-[05,09]", which would take "UNROM-512" for an UNROM.
    {"HOMEBREW-UNROM-512", "UNROM-512",                                                              Make<UNRom512>},
    {"HOMEBREW-ACTION53",  "ACTION53",                                                               Make<Action53>},
    {"HOMEBREW-GTROM",     "GTROM",                                                                  Make<GTRom>},
    {"NES-EVENT",          "NES-EVENT",                                                              Make<NesEvent>},
    {"MMC3-MULTICART",     "PAL-ZZ QJ",                                                              Make<Mmc3Multicart>},
    {"KONAMI-VRC-6",       "VRC6 351951 351949",                                                     Make<Vrc6>},
    {"KONAMI-VRC-7",       "VRC7 353429",                                                            Make<Vrc7>},
    {"NSF",                "NSF",                                                                    Make<Nsf>},
    {"NAMCOT-163",         "NAMCO-163 NAMCO-175 NAMCO-340",                                          Make<Namco163>},
};
// clang-format on

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether the board name holds `name` where a name begins: at its start or after a character that is
// not a letter ("NES-", "HVC-", a digit). Board names differ by their first letters only ("NROM",
// "UNROM", "PNROM", "SNROM", "ANROM" are five boards), so a name inside a longer word is another board.
bool Names(const std::string& boardName, std::string_view name) {
    for (auto at = boardName.find(name); at != std::string::npos; at = boardName.find(name, at + 1)) {
        if (at == 0 || !IsLetter(boardName[at - 1])) {
            return true;
        }
    }
    return false;
}

class FamilyFactory : public MmcFactory {
public:
    explicit FamilyFactory(const BoardFamily& family) : MmcFactory(family.registryName), family(family) {}

    bool Match(const std::string& boardName) override {
        for (std::string_view names = family.boardNames; !names.empty();) {
            const auto blank = names.find(' ');
            if (Names(boardName, names.substr(0, blank))) {
                return true;
            }
            names.remove_prefix(blank == std::string_view::npos ? names.size() : blank + 1);
        }
        return false;
    }

    Ref::Ptr<Mmc> Create(Process* process) override { return family.create(process); }

private:
    const BoardFamily& family;
};

} // namespace

bool RegisterBoards(MmcManager& manager) {
    bool all = true;
    for (const BoardFamily& family : Families) {
        all &= manager.RegisterFactory(Ref::Ptr<MmcFactory>(Ref::New<FamilyFactory>(family)));
    }
    return all;
}

} // namespace Halvo::Nes
