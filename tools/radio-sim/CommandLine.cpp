#include "CommandLine.h"

#include <charconv>
#include <functional>
#include <map>

namespace radiosim {

namespace {

template <typename Number> Number ParseNumber(const std::string& option, std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        throw UsageError(option + " needs a number, not '" + std::string(text) + "'");
    }
    return value;
}

void ParseFragments(const std::string& option, std::string_view text, Behaviour& behaviour) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        throw UsageError(option + " needs PIECES:MS, not '" + std::string(text) + "'");
    }
    behaviour.fragments = ParseNumber<int>(option, text.substr(0, colon));
    behaviour.fragmentGap =
        std::chrono::milliseconds(ParseNumber<long long>(option, text.substr(colon + 1)));
}

// "N[,N...]": those set commands; "every:K": every K-th one.
void ParseDropWrites(const std::string& option, std::string_view text, Behaviour& behaviour) {
    constexpr std::string_view Every = "every:";
    if (text.starts_with(Every)) {
        behaviour.dropEveryWrite = ParseNumber<int>(option, text.substr(Every.size()));
        if (behaviour.dropEveryWrite < 1) {
            throw UsageError(option + " every:K needs K of 1 or more");
        }
        return;
    }
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        behaviour.dropWrites.push_back(ParseNumber<int>(option, text.substr(start, comma - start)));
        if (comma == std::string_view::npos) {
            return;
        }
        start = comma + 1;
    }
}

using Setter =
    std::function<void(const std::string& option, const std::string& value, RadioOptions& options)>;

// Options that take a value.
const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"--load", [](auto&, auto& value, auto& o) { o.loadPath = value; }},
        {"--save", [](auto&, auto& value, auto& o) { o.savePath = value; }},
        {"--log", [](auto&, auto& value, auto& o) { o.logPath = value; }},
        {"--link", [](auto&, auto& value, auto& o) { o.linkPath = value; }},
        {"--stop-from", [](auto& name, auto& value,
                           auto& o) { o.behaviour.stopFrom = ParseNumber<int>(name, value); }},
        {"--delay",
         [](auto& name, auto& value, auto& o) {
             o.behaviour.delay = std::chrono::milliseconds(ParseNumber<long long>(name, value));
         }},
        {"--fragments",
         [](auto& name, auto& value, auto& o) { ParseFragments(name, value, o.behaviour); }},
        {"--split-sweep",
         [](auto& name, auto& value, auto& o) {
             o.behaviour.splitSweep = true;
             o.behaviour.fragmentGap =
                 std::chrono::milliseconds(ParseNumber<long long>(name, value));
         }},
        {"--flood-from", [](auto& name, auto& value,
                            auto& o) { o.behaviour.floodFrom = ParseNumber<int>(name, value); }},
        {"--wrong-number",
         [](auto& name, auto& value, auto& o) {
             o.behaviour.wrongNumber = ParseNumber<int>(name, value);
         }},
        {"--noise", [](auto& name, auto& value,
                       auto& o) { o.behaviour.noise = ParseNumber<double>(name, value); }},
        {"--drop-writes",
         [](auto& name, auto& value, auto& o) { ParseDropWrites(name, value, o.behaviour); }},
        {"--seed", [](auto& name, auto& value,
                      auto& o) { o.behaviour.seed = ParseNumber<std::uint64_t>(name, value); }},
    };
    return options;
}

// Options that are switches.
const std::map<std::string, std::function<void(CommandLine&)>>& SwitchOptions() {
    static const std::map<std::string, std::function<void(CommandLine&)>> options = {
        {"--help", [](CommandLine& c) { c.help = true; }},
        {"--silent", [](CommandLine& c) { c.options.behaviour.silent = true; }},
        {"--answer-err", [](CommandLine& c) { c.options.behaviour.answerErr = true; }},
        {"--answer-ok", [](CommandLine& c) { c.options.behaviour.answerOk = true; }},
    };
    return options;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (const auto sw = SwitchOptions().find(name); sw != SwitchOptions().end()) {
            if (equals != std::string::npos) {
                throw UsageError(name + " takes no value");
            }
            sw->second(result);
            continue;
        }
        const auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) {
            throw UsageError("unknown option '" + argument + "'");
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (index + 1 < arguments.size()) {
            value = arguments[++index];
        } else {
            throw UsageError(name + " needs a value");
        }
        option->second(name, value, result.options);
    }
    try {
        CheckBehaviour(result.options.behaviour);
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
    return result;
}

std::string UsageText() {
    return R"(Usage: q4471-radio-sim [OPTION]...
Plays a Q4471 radio on a pseudo-terminal. Prints the device path to open as the first line of
standard output, then answers on it until SIGINT or SIGTERM.

The radio holds memories 1 to 100, blank ("n,,,,0,") unless loaded. It answers
"MEM:USR:SET? n" CR with memory n's record line + CR LF, stores "MEM:USR:SET <record>" CR under
the record's own number (answering nothing), and answers "ERR" CR LF to a query for a number
outside 1 to 100 and to any other command.

Files:
  --load FILE.mem      load memories from FILE (CR LF or LF lines; a line's number picks the memory)
  --save FILE.mem      write the 100 memories to FILE (CR LF lines) on exit and on SIGUSR1
  --log FILE           append the log to FILE instead of standard error: ISO time, seconds
                       since start, then "<" command received, ">" bytes sent or "#" note
  --link PATH          make PATH a symbolic link to the device while running

Misbehaviour:
  --silent             never answer (set commands are still stored)
  --stop-from N        no answer to queries for memory N and above
  --delay MS           answer MS milliseconds after the command
  --fragments K:MS     send each answer in K pieces, MS milliseconds apart
  --split-sweep MS     send the k-th answer in two pieces, its first k bytes and the rest MS
                       milliseconds later (k wraps at the answer's length): every split point
  --flood-from N       from the query for memory N on, send random bytes at line speed (960 a
                       second, seeded by --seed) and nothing else
  --answer-err         answer "ERR,1" CR to every query
  --answer-ok          answer "OK" CR to every other command (and to queries, without --answer-err)
  --wrong-number D     answer the query for n with memory n's record numbered n+D
  --noise P            corrupt an answer with probability P (0 to 1): a byte changed or bytes added
  --seed S             seed for --noise and --flood-from (default: random, written to the log)
  --drop-writes N[,N]  lose the N-th set command received (counted from 1; several: a list), as
                       a busy radio does: it is logged but the memory keeps what it held
  --drop-writes every:K
                       lose every K-th set command received

  --help               show this text
Exit status: 0 after SIGINT or SIGTERM; 1 if the radio cannot start or saving fails; 2 on a
bad command line.
)";
}

} // namespace radiosim
