#pragma once
// The command line's own argument parser: GNU-style long flags ("--flag value" and
// "--flag=value"), switches without a value, "--" to end the flags, positional arguments in
// order. Unknown flags, a missing value and a value given to a switch are refused with a message
// that names the flag. One thread; reports failure by its result and message, never throws.
#include <map>
#include <string>
#include <vector>

struct FlagSpec {
    std::string name;  // without the leading "--"
    bool takesValue;
};

class CParsedArgs {
  public:
    bool Has(const std::string& name) const { return m_values.count(name) != 0; }
    // The value of a flag given with one (the last one when repeated); nullptr when absent.
    const std::string* Value(const std::string& name) const;
    const std::vector<std::string>& Positionals() const { return m_positionals; }

  private:
    friend class CArgParser;
    std::map<std::string, std::string> m_values;
    std::vector<std::string> m_positionals;
};

class CArgParser {
  public:
    explicit CArgParser(std::vector<FlagSpec> flags);

    // Parses `args` (the words after the command's name). "-h" is taken as "--help" when the
    // command knows --help. False with `error` set (e.g. "unknown option '--dealy'").
    bool Parse(const std::vector<std::string>& args, CParsedArgs& parsed, std::string& error) const;

  private:
    const FlagSpec* Find(const std::string& name) const;
    std::vector<FlagSpec> m_flags;
};
