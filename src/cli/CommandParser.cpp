#include "cli/CommandParser.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <utility>
#include <vector>

namespace {
// The flags' column: wide enough for the usual "--flag VALUE", no wider; a longer one puts its
// text on the next line.
constexpr std::size_t kWidestFlagColumn = 24;

// Help as the usage lines, the description, one entry per flag and the notes, with no headings:
// every command's help reads the same way.
class CHelpFormatter : public CLI::Formatter {
  public:
    explicit CHelpFormatter(std::string usage) : m_usage(std::move(usage)) {}

    std::string make_help(const CLI::App* app, std::string /*name*/,
                          CLI::AppFormatMode /*mode*/) const override {
        const std::vector<const CLI::Option*> flags = app->get_options([](const CLI::Option* opt) {
            return opt->nonpositional() && !opt->get_group().empty();
        });
        // Two spaces, the widest name that fits, three spaces.
        std::size_t column = 0;
        for (const CLI::Option* flag : flags) {
            const std::size_t width =
                make_option_name(flag, false).size() + make_option_opts(flag).size() + 5;
            if (width <= kWidestFlagColumn) {
                column = std::max(column, width);
            }
        }
        std::string help = m_usage + app->get_description();
        for (const CLI::Option* flag : flags) {
            std::ostringstream entry;
            CLI::detail::format_help(entry, make_option_name(flag, false) + make_option_opts(flag),
                                     make_option_desc(flag), column);
            help += entry.str();
        }
        return help + app->get_footer();
    }

  private:
    std::string m_usage;
};

bool IsFlagWord(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

// The words the parser could not place: an unknown flag first, else a word too many.
std::string ExtrasMessage(const std::vector<std::string>& extras) {
    const auto flag = std::find_if(extras.begin(), extras.end(), IsFlagWord);
    if (flag != extras.end()) {
        return "unknown option '" + flag->substr(0, flag->find('=')) + "'";
    }
    return "unexpected argument '" + (extras.empty() ? std::string() : extras.front()) + "'";
}
}  // namespace

CCommandParser::CCommandParser(const char* command, std::string usage, std::string description,
                               std::string notes)
    : m_command(command),
      m_app(std::move(description), std::string(kCliProgramName) + " " + command) {
    // The help flag is not listed among the flags: the usage lines name it for every command.
    m_app.set_help_flag("-h,--help")->group("")->disable_flag_override();
    m_app.footer(std::move(notes));
    m_app.formatter(std::make_shared<CHelpFormatter>(std::move(usage)));
    // Flags are "--long" and "-s" on every system. CLI11 would take any word that begins with
    // "/" for a Windows-style flag on Windows, and a path from the drive's root (or any Linux
    // path under Wine) is such a word: it is a value.
    m_app.allow_windows_style_options(false);
    // A flag given twice counts as given once, its last value winning.
    m_app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

std::optional<int> CCommandParser::Parse(const CommandArgs& args, std::ostream& out,
                                         std::ostream& err) {
    // CLI11 takes the words from the back of the list.
    std::vector<std::string> words(args.rbegin(), args.rend());
    std::string message;
    try {
        m_app.parse(words);
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        // An unknown flag beside --help is still refused: the user meant something else.
        const std::vector<std::string> extras = m_app.remaining();
        if (std::none_of(extras.begin(), extras.end(), IsFlagWord)) {
            out << m_app.help();
            return kExitOk;
        }
        message = ExtrasMessage(extras);
    } catch (const CLI::ExtrasError&) {
        message = ExtrasMessage(m_app.remaining());
    } catch (const CLI::ArgumentMismatch& mismatch) {
        message = ExplainMismatch(args, mismatch.what());
    } catch (const CLI::ParseError& refusal) {
        message = refusal.what();
    }
    return Refuse(err, message);
}

std::optional<std::string> CCommandParser::ParseWords(const CommandArgs& args) {
    std::vector<std::string> words(args.rbegin(), args.rend());
    try {
        m_app.parse(words);
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        return std::string("help is not a setting");
    } catch (const CLI::ExtrasError&) {
        return ExtrasMessage(m_app.remaining());
    } catch (const CLI::ArgumentMismatch& mismatch) {
        return ExplainMismatch(args, mismatch.what());
    } catch (const CLI::ParseError& refusal) {
        return std::string(refusal.what());
    }
}

int CCommandParser::Refuse(std::ostream& err, const std::string& message) const {
    PrintCommandError(err, m_command,
                      message + " (see '" + kCliProgramName + " " + m_command + " --help')");
    return kExitUsage;
}

std::string CCommandParser::ExplainMismatch(const CommandArgs& args,
                                            const std::string& fallback) const {
    // A flag left without its value can only be the last word (any word after a flag is its
    // value), or one given as "--flag=" with nothing after it.
    for (const std::string& word : args) {
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const CLI::Option* flag =
            name.size() > 2 && name.starts_with("--") ? m_app.get_option_no_throw(name) : nullptr;
        if (flag == nullptr) {
            continue;
        }
        const bool bSwitch = flag->get_expected_max() == 0;
        if (bSwitch && equals != std::string::npos) {
            return "option '" + name + "' takes no value";
        }
        if (!bSwitch && (equals == word.size() - 1 || &word == &args.back())) {
            return "option '" + name + "' needs a value";
        }
    }
    return fallback;
}
