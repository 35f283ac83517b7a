#include "nes/debug/Condition.h"

#include <cctype>

#include "nes/Process.h"
#include "nes/debug/Disassembler.h"

namespace Halvo::Nes {

// Recursive descent over the text, one level per row of operators.
class Condition::Parser {
public:
    Parser(Condition& condition, const Lookup& lookup) : condition(condition), lookup(lookup) {}

    bool Run(std::string& error) {
        const std::int32_t top = Or();
        SkipBlanks();
        if (failed.empty() && at < condition.text.size()) {
            failed = "\"" + condition.text.substr(at) + "\" is not understood";
        }
        if (!failed.empty()) {
            error = failed;
            return false;
        }
        condition.root = top;
        return true;
    }

private:
    std::int32_t Add(Op op, std::int64_t value = 0, std::int32_t left = -1, std::int32_t right = -1) {
        condition.nodes.push_back({op, value, left, right});
        return static_cast<std::int32_t>(condition.nodes.size() - 1);
    }

    void SkipBlanks() {
        while (at < condition.text.size() && std::isspace(static_cast<unsigned char>(condition.text[at]))) {
            ++at;
        }
    }

    // Takes the operator when the text goes on with it (and not with a longer one that starts alike).
    bool Take(const char* op, const char* notFollowedBy = "") {
        SkipBlanks();
        const std::string& text = condition.text;
        std::size_t length = 0;
        while (op[length]) {
            if (at + length >= text.size() || text[at + length] != op[length]) {
                return false;
            }
            ++length;
        }
        if (at + length < text.size()) {
            for (const char* c = notFollowedBy; *c; ++c) {
                if (text[at + length] == *c) {
                    return false;
                }
            }
        }
        at += length;
        return true;
    }

    std::int32_t Or() {
        std::int32_t left = And();
        while (failed.empty() && Take("||")) {
            left = Add(Op::Or, 0, left, And());
        }
        return left;
    }

    std::int32_t And() {
        std::int32_t left = Compare();
        while (failed.empty() && Take("&&")) {
            left = Add(Op::And, 0, left, Compare());
        }
        return left;
    }

    std::int32_t Compare() {
        const std::int32_t left = Bits();
        struct Row {
            const char* text;
            const char* notFollowedBy;
            Op op;
        };
        static constexpr Row rows[] = {{"==", "", Op::Equal},     {"!=", "", Op::NotEqual},
                                       {"<=", "", Op::LessEqual}, {">=", "", Op::GreaterEqual},
                                       {"<", "", Op::Less},       {">", "", Op::Greater},
                                       {"=", "", Op::Equal}};
        for (const Row& row : rows) {
            if (failed.empty() && Take(row.text, row.notFollowedBy)) {
                return Add(row.op, 0, left, Bits());
            }
        }
        return left;
    }

    std::int32_t Bits() {
        std::int32_t left = Sum();
        for (;;) {
            if (!failed.empty()) {
                return left;
            }
            if (Take("&", "&")) {
                left = Add(Op::BitAnd, 0, left, Sum());
            } else if (Take("|", "|")) {
                left = Add(Op::BitOr, 0, left, Sum());
            } else if (Take("^")) {
                left = Add(Op::BitXor, 0, left, Sum());
            } else {
                return left;
            }
        }
    }

    std::int32_t Sum() {
        std::int32_t left = Unary();
        for (;;) {
            if (!failed.empty()) {
                return left;
            }
            if (Take("+")) {
                left = Add(Op::Add, 0, left, Unary());
            } else if (Take("-")) {
                left = Add(Op::Subtract, 0, left, Unary());
            } else {
                return left;
            }
        }
    }

    std::int32_t Unary() {
        if (Take("!", "=")) {
            return Add(Op::Not, 0, Unary());
        }
        if (Take("-")) {
            return Add(Op::Negate, 0, Unary());
        }
        return Primary();
    }

    std::int32_t Primary() {
        SkipBlanks();
        const std::string& text = condition.text;
        if (at >= text.size()) {
            failed = "the condition ends where a value should follow";
            return -1;
        }
        if (Take("(")) {
            const std::int32_t inner = Or();
            if (failed.empty() && !Take(")")) {
                failed = "a \")\" is missing";
            }
            return inner;
        }
        if (Take("[")) {
            const std::int32_t address = Or();
            if (failed.empty() && !Take("]")) {
                failed = "a \"]\" is missing";
            }
            return Add(Op::Memory, 0, address);
        }
        const std::size_t start = at;
        while (at < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_' || text[at] == '$' ||
                text[at] == '%' || text[at] == '@' || text[at] == '.')) {
            ++at;
        }
        const std::string word = text.substr(start, at - start);
        if (word.empty()) {
            failed = "\"" + text.substr(start) + "\" is not understood";
            return -1;
        }
        if (const std::optional<std::int64_t> number = Condition::ParseNumber(word)) {
            return Add(Op::Number, *number);
        }
        std::string lower;
        for (const char c : word) {
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        static constexpr std::pair<const char*, Op> names[] = {
            {"a", Op::A},           {"x", Op::X},     {"y", Op::Y},        {"s", Op::S},
            {"sp", Op::S},          {"p", Op::P},     {"pc", Op::Pc},      {"line", Op::Line},
            {"scanline", Op::Line}, {"dot", Op::Dot}, {"cycle", Op::Cycle}};
        for (const auto& [name, op] : names) {
            if (lower == name) {
                return Add(op);
            }
        }
        if (lookup) {
            if (const std::optional<std::uint16_t> address = lookup(word)) {
                return Add(Op::Number, *address);
            }
        }
        failed = "\"" + word + "\" is neither a number, a register nor a label";
        return -1;
    }

private:
    Condition& condition;
    const Lookup& lookup;
    std::size_t at = 0;
    std::string failed;
};

bool Condition::Parse(const std::string& conditionText, const Lookup& lookup, std::string& error) {
    text = conditionText;
    nodes.clear();
    root = -1;
    Parser parser(*this, lookup);
    if (!parser.Run(error)) {
        nodes.clear();
        root = -1;
        return false;
    }
    return true;
}

std::int64_t Condition::Evaluate(const Process& process, Position position) const {
    return root < 0 ? 1 : Evaluate(root, process, position);
}

std::int64_t Condition::Evaluate(std::int32_t index, const Process& process, Position position) const {
    const Node& node = nodes[static_cast<std::size_t>(index)];
    const Cpu& cpu = process.GetCpu();
    const auto left = [&] { return Evaluate(node.left, process, position); };
    const auto right = [&] { return Evaluate(node.right, process, position); };
    switch (node.op) {
    case Op::Number:
        return node.value;
    case Op::A:
        return cpu.a;
    case Op::X:
        return cpu.x;
    case Op::Y:
        return cpu.y;
    case Op::S:
        return cpu.s;
    case Op::P:
        return static_cast<std::uint8_t>(cpu.p);
    case Op::Pc:
        return cpu.pc & 0xFFFF;
    case Op::Line:
        return position.line;
    case Op::Dot:
        return position.dot;
    case Op::Cycle:
        return static_cast<std::int64_t>(process.CpuCycle());
    case Op::Memory:
        return PeekCpu(process, static_cast<std::uint32_t>(left()));
    case Op::Not:
        return left() == 0;
    case Op::Negate:
        return -left();
    case Op::Or:
        return left() != 0 || right() != 0;
    case Op::And:
        return left() != 0 && right() != 0;
    case Op::Equal:
        return left() == right();
    case Op::NotEqual:
        return left() != right();
    case Op::Less:
        return left() < right();
    case Op::LessEqual:
        return left() <= right();
    case Op::Greater:
        return left() > right();
    case Op::GreaterEqual:
        return left() >= right();
    case Op::BitAnd:
        return left() & right();
    case Op::BitOr:
        return left() | right();
    case Op::BitXor:
        return left() ^ right();
    case Op::Add:
        return left() + right();
    case Op::Subtract:
        return left() - right();
    }
    return 0;
}

std::optional<std::int64_t> Condition::ParseNumber(const std::string& word) {
    if (word.empty()) {
        return std::nullopt;
    }
    int base = 10;
    std::size_t from = 0;
    if (word[0] == '$') {
        base = 16;
        from = 1;
    } else if (word[0] == '%') {
        base = 2;
        from = 1;
    } else if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        from = 2;
    } else if (!std::isdigit(static_cast<unsigned char>(word[0]))) {
        return std::nullopt;
    }
    if (from >= word.size() || word.size() - from > 10) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (std::size_t i = from; i < word.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(word[i]));
        const int digit = std::isdigit(c) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return value;
}

} // namespace Halvo::Nes
