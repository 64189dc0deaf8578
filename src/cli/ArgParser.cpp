#include "cli/ArgParser.h"

#include <utility>

const std::string* CParsedArgs::Value(const std::string& name) const {
    const auto it = m_values.find(name);
    return it == m_values.end() ? nullptr : &it->second;
}

CArgParser::CArgParser(std::vector<FlagSpec> flags) : m_flags(std::move(flags)) {}

const FlagSpec* CArgParser::Find(const std::string& name) const {
    for (const FlagSpec& flag : m_flags) {
        if (flag.name == name) {
            return &flag;
        }
    }
    return nullptr;
}

bool CArgParser::Parse(const std::vector<std::string>& args, CParsedArgs& parsed,
                       std::string& error) const {
    parsed = CParsedArgs();
    bool bFlagsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (bFlagsEnded || word.size() < 2 || word[0] != '-') {
            parsed.m_positionals.push_back(word);  // "-" alone is a name, as for standard input
            continue;
        }
        if (word == "--") {
            bFlagsEnded = true;
            continue;
        }
        if (word == "-h" && Find("help") != nullptr) {
            parsed.m_values["help"];
            continue;
        }
        if (word[1] != '-') {
            error = "unknown option '" + word + "'";
            return false;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? equals : equals - 2);
        const FlagSpec* flag = Find(name);
        if (flag == nullptr || name.empty()) {
            error = "unknown option '--" + name + "'";
            return false;
        }
        if (!flag->takesValue) {
            if (equals != std::string::npos) {
                error = "option '--" + name + "' takes no value";
                return false;
            }
            parsed.m_values[name];
            continue;
        }
        if (equals != std::string::npos) {
            parsed.m_values[name] = word.substr(equals + 1);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "option '--" + name + "' needs a value";
            return false;
        }
        parsed.m_values[name] = args[++i];
    }
    return true;
}
