#include "AtCommand.h"

#include <cctype>
#include <charconv>

namespace q5sim {

namespace {
std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Splits "2,1,\"A,B\"" at commas outside double quotes. Nullopt on an unterminated
// quote or text after a closing quote.
std::optional<std::vector<AtArgument>> splitArguments(std::string_view text)
{
    std::vector<AtArgument> args;
    std::size_t pos = 0;
    while (true) {
        AtArgument arg;
        std::size_t start = pos;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos < text.size() && text[pos] == '"') {
            std::size_t close = text.find('"', pos + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            arg.text = std::string(text.substr(pos + 1, close - pos - 1));
            arg.quoted = true;
            pos = close + 1;
            while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
                ++pos;
            if (pos < text.size() && text[pos] != ',')
                return std::nullopt;
        } else {
            std::size_t comma = text.find(',', start);
            std::size_t end = comma == std::string_view::npos ? text.size() : comma;
            std::string_view field = trim(text.substr(start, end - start));
            if (field.find('"') != std::string_view::npos)
                return std::nullopt;
            arg.text = std::string(field);
            pos = end;
        }
        args.push_back(std::move(arg));
        if (pos >= text.size())
            break;
        ++pos; // the comma
    }
    return args;
}
} // namespace

std::string AtCommand::filterName() const
{
    if (name.empty())
        return "AT";
    if (name[0] == '^' || name[0] == '+')
        return name.substr(1);
    return name;
}

AtCommand parseAtCommand(std::string_view line)
{
    AtCommand cmd;
    line = trim(line);
    if (line.size() < 2 || std::toupper(static_cast<unsigned char>(line[0])) != 'A'
        || std::toupper(static_cast<unsigned char>(line[1])) != 'T')
        return cmd;
    std::string_view body = line.substr(2);
    if (body.empty()) {
        cmd.valid = true;
        return cmd;
    }
    if (body[0] != '^' && body[0] != '+') {
        // Basic commands (E0, Z, I, &F ...) take no arguments here.
        for (char c : body)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '&')
                return cmd;
        cmd.name = upper(body);
        cmd.valid = true;
        return cmd;
    }
    std::size_t nameEnd = 1;
    while (nameEnd < body.size() && std::isalnum(static_cast<unsigned char>(body[nameEnd])))
        ++nameEnd;
    if (nameEnd == 1)
        return cmd;
    cmd.name = upper(body.substr(0, nameEnd));
    std::string_view rest = body.substr(nameEnd);
    if (rest.empty()) {
        cmd.form = CommandForm::Action;
    } else if (rest == "?") {
        cmd.form = CommandForm::Read;
    } else if (trim(rest) == "=?") {
        cmd.form = CommandForm::Test;
    } else if (rest[0] == '=') {
        cmd.form = CommandForm::Set;
        auto args = splitArguments(rest.substr(1));
        if (!args)
            return cmd;
        cmd.args = std::move(*args);
    } else {
        return cmd;
    }
    cmd.valid = true;
    return cmd;
}

std::optional<long long> numberArgument(const AtArgument& arg, long long min, long long max)
{
    if (arg.quoted || arg.text.empty() || arg.text.size() > 18)
        return std::nullopt;
    std::string_view text = arg.text;
    if (text[0] == '+')
        text.remove_prefix(1);
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace q5sim
