#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "nes/mmc/MmcFactory.h"

namespace Halvo::Nes {

// True when the board name contains any of the given names (case-sensitive, tried in the order given).
inline bool ContainsAnyOf(const std::string& boardName, std::span<const std::string_view> names) {
    for (const std::string_view name : names) {
        if (boardName.find(name) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The factory of one board class that accepts the board names containing any of a fixed list: the
// PCB names and part numbers printed on the cartridges of that family.
template <class Board>
class BoardFactory : public MmcFactory {
public:
    BoardFactory(std::string name, std::span<const std::string_view> accepted)
        : MmcFactory(std::move(name)), accepted(accepted) {}

    bool Match(const std::string& boardName) override { return ContainsAnyOf(boardName, accepted); }
    Ref::Ptr<Mmc> Create(Process* process) override { return Ref::Ptr<Mmc>(Ref::New<Board>(process)); }

private:
    std::span<const std::string_view> accepted;
};

} // namespace Halvo::Nes
