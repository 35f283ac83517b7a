#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Halvo::Nes {

class Process;

// A break's condition, read once when the break is set and worked out before every instruction while
// the break is active. Operands: numbers ($ or 0x for hexadecimal, % for binary, else decimal), the
// registers a x y s (or sp) p pc, the PPU's `line` (also `scanline`) and `dot`, the processor's
// `cycle`, a byte of memory `[address]` (read without side effects: -1 where a register answers), a
// label, and parentheses. Operators, loosest first: || && (== != < <= > >=) (& | ^) (+ -) and the
// unary ! and -. Every value is a signed 64-bit number; a comparison gives 1 or 0.
class Condition {
public:
    using Lookup = std::function<std::optional<std::uint16_t>(const std::string&)>;
    // Where the PPU stands, as the machine's timing model tells it.
    struct Position {
        std::int32_t line = 0;
        std::int32_t dot = 0;
    };

    // False with `error` set (naming what was not understood) when the text is not a condition.
    bool Parse(const std::string& text, const Lookup& lookup, std::string& error);
    std::int64_t Evaluate(const Process& process, Position position) const;
    // A number as conditions and addresses write it: $ or 0x hexadecimal, % binary, else decimal.
    static std::optional<std::int64_t> ParseNumber(const std::string& word);
    bool Empty() const { return nodes.empty(); }
    const std::string& Text() const { return text; }

private:
    enum class Op : std::uint8_t {
        Number,
        A,
        X,
        Y,
        S,
        P,
        Pc,
        Line,
        Dot,
        Cycle,
        Memory,
        Not,
        Negate,
        Or,
        And,
        Equal,
        NotEqual,
        Less,
        LessEqual,
        Greater,
        GreaterEqual,
        BitAnd,
        BitOr,
        BitXor,
        Add,
        Subtract,
    };
    struct Node {
        Op op;
        std::int64_t value = 0;
        std::int32_t left = -1;
        std::int32_t right = -1;
    };
    class Parser;

    std::int64_t Evaluate(std::int32_t node, const Process& process, Position position) const;

    std::string text;
    std::vector<Node> nodes;
    std::int32_t root = -1;
};

} // namespace Halvo::Nes
