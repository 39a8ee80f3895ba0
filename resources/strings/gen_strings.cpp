// Turns the string tables (*.tsv) into a C++ source with one sorted array.
// Fails on a malformed line or an id given twice with different texts, so a table
// mistake stops the build.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

static std::string unescape(const std::string& s, bool& ok)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') { out += s[i]; continue; }
        if (++i >= s.size()) { ok = false; break; }
        switch (s[i]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: ok = false;
        }
    }
    return out;
}

int main(int argc, char** argv)
{
    if (argc < 2) { std::cerr << "usage: gen_strings OUT.cpp TABLE.tsv...\n"; return 2; }
    std::map<unsigned, std::string> table;
    for (int a = 2; a < argc; ++a) {
        std::ifstream in(argv[a]);
        std::string line;
        int n = 0;
        while (std::getline(in, line)) {
            ++n;
            if (line.empty() || line[0] == '#') continue;
            auto tab = line.find('\t');
            bool ok = tab != std::string::npos && tab > 0;
            unsigned id = 0;
            if (ok) {
                try { id = static_cast<unsigned>(std::stoul(line.substr(0, tab))); } catch (...) { ok = false; }
            }
            std::string text = ok ? unescape(line.substr(tab + 1), ok) : "";
            if (!ok) { std::cerr << argv[a] << ":" << n << ": malformed line\n"; return 1; }
            // The same id may stand in two tables only with the same text.
            auto [it, added] = table.emplace(id, text);
            if (!added && it->second != text) { std::cerr << argv[a] << ":" << n << ": id " << id << " given twice with different texts\n"; return 1; }
        }
    }
    std::ostringstream out;
    out << "// Generated from resources/strings/*.tsv. Do not edit.\n#include <cstddef>\nnamespace orka {\n"
           "struct StringEntry { unsigned id; const char* text; std::size_t size; };\n"
           "extern const StringEntry kStringTable[];\nextern const std::size_t kStringTableSize;\n"
           "const StringEntry kStringTable[] = {\n";
    for (const auto& [id, text] : table) {
        out << "  {" << id << "u, \"";
        for (unsigned char c : text) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out << buf;
        }
        out << "\", " << text.size() << "},\n";
    }
    if (table.empty()) out << "  {0u, \"\", 0},\n";
    out << "};\nconst std::size_t kStringTableSize = " << table.size() << ";\n}\n";
    std::ofstream f(argv[1], std::ios::binary);
    f << out.str();
    return f ? 0 : 1;
}
