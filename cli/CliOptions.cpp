// Option parsing of oscalyx-cli, kept free of the toolkit so that it can be
// fuzzed on its own.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

#include "analysis/Modes.h"
#include "cli/Cli.h"

const char kCliUsage[] =
    "oscalyx-cli info    FILE                         [--type csv|dbl] [--bandpass C R]\n"
    "oscalyx-cli convert FILE OUT                     [--type csv|dbl] [--bandpass C R]\n"
    "oscalyx-cli fit     FILE --channel K             [--type csv|dbl] [--bandpass C R]\n"
    "                    [--start S] [--width W] [--f0 F] [--h0 H] [--results PATH] [--log PATH] [--json]\n"
    "oscalyx-cli plot    FILE OUT.png                 [--type csv|dbl] [--bandpass C R]\n"
    "                    [--channels LIST] [--start S] [--width W] [--white] [--fit] [--f0 F] [--h0 H]\n"
    "oscalyx-cli sweep   FILE --channel K --from S --to E --every N\n"
    "                    [--type csv|dbl] [--bandpass C R] [--width W] [--f0 F] [--h0 H]\n"
    "                    [--results PATH] [--log PATH] [--plot OUT.png]\n"
    "oscalyx-cli rd      FILE OUT.csv --channel K     [--type csv|dbl] [--bandpass C R]\n"
    "                    [--level L] [--length W] [--fit] [--f0 F] [--h0 H]\n"
    "oscalyx-cli spectrum FILE --channel K            [--type csv|dbl] [--bandpass C R]\n"
    "                    [--from S] [--to E] [--json] [--plot OUT.png]\n"
    "oscalyx-cli detect  FILE --channel K             [--type csv|dbl] [--bandpass C R] [--json]\n"
    "oscalyx-cli modes   FILE --channel K --start S --width W --count N   [--type csv|dbl] [--bandpass C R] [--json]\n"
    "oscalyx-cli report  FILE OUT.pdf|OUT.png|OUT.svg --channel K  [--type csv|dbl] [--bandpass C R]\n"
    "                    [--start S ...] [--auto] [--width W] [--f0 F] [--h0 H] [--operator NAME]\n"
    "oscalyx-cli report  RESULTS.csv|DB.sqlite OUT.pdf|OUT.png|OUT.svg   [--operator NAME]\n"
    "oscalyx-cli batch   DIR|FILE... --out RESULTS.csv  [--type csv|dbl] [--channel K] [--bandpass C R]\n"
    "                    [--jobs N]\n"
    "oscalyx-cli merge   RESULTS.csv... --db OUT.sqlite\n"
    "oscalyx-cli --help | --version\n";

namespace {

bool ParseInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

bool ParseReal(const std::string& text, double& value) {
  const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(begin, end, value);
  return begin != end && result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

bool ParseChannelList(const std::string& text, std::vector<int>& channels) {
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    int channel = 0;
    if (!ParseInt(text.substr(start, comma - start), channel)) return false;
    channels.push_back(channel);
    start = comma + 1;
  }
  return !channels.empty();
}

const std::set<std::string> kCommands{"info", "convert", "fit", "plot", "sweep", "rd", "modes", "spectrum", "detect",
                                        "report", "batch",   "merge"};

// Which options each command takes besides --type and --bandpass.
const std::set<std::string>& OptionsOf(const std::string& command) {
  static const std::set<std::string> none{};
  static const std::set<std::string> fit{"--channel", "--start", "--width", "--f0",
                                         "--h0",      "--results", "--log",  "--json"};
  static const std::set<std::string> plot{"--channels", "--start", "--width", "--white", "--fit", "--f0", "--h0"};
  static const std::set<std::string> sweep{"--channel", "--from", "--to",      "--every", "--width",
                                           "--f0",      "--h0",   "--results", "--log",   "--plot"};
  static const std::set<std::string> rd{"--channel", "--level", "--length", "--fit", "--f0", "--h0"};
  static const std::set<std::string> modes{"--channel", "--start", "--width", "--count", "--json"};
  static const std::set<std::string> spectrum{"--channel", "--from", "--to", "--json", "--plot"};
  static const std::set<std::string> detect{"--channel", "--json"};
  static const std::set<std::string> report{"--channel", "--start", "--auto", "--width", "--f0", "--h0", "--operator"};
  static const std::set<std::string> batch{"--out", "--channel", "--jobs"};
  static const std::set<std::string> merge{"--db"};
  if (command == "fit") return fit;
  if (command == "plot") return plot;
  if (command == "sweep") return sweep;
  if (command == "rd") return rd;
  if (command == "modes") return modes;
  if (command == "spectrum") return spectrum;
  if (command == "detect") return detect;
  if (command == "report") return report;
  if (command == "batch") return batch;
  if (command == "merge") return merge;
  return none;
}

// Options that take no value.
bool IsFlag(const std::string& option) {
  return option == "--json" || option == "--white" || option == "--fit" || option == "--auto";
}

std::size_t PositionalCount(const std::string& command) {
  return command == "convert" || command == "plot" || command == "rd" || command == "report" ? 2 : 1;
}

}  // namespace

CliParse ParseCliArguments(const std::vector<std::string>& args) {
  CliParse parse;
  auto fail = [&parse](std::string message) {
    parse.action = CliParse::Action::Error;
    parse.error = std::move(message);
    return parse;
  };
  if (args.empty()) return fail("no command given");
  if (args.size() == 1 && args[0] == "--help") {
    parse.action = CliParse::Action::Help;
    return parse;
  }
  if (args.size() == 1 && args[0] == "--version") {
    parse.action = CliParse::Action::Version;
    return parse;
  }
  CliOptions& options = parse.options;
  options.command = args[0];
  if (kCommands.count(options.command) == 0) return fail("unknown command '" + options.command + "'");
  const std::set<std::string>& allowed = OptionsOf(options.command);
  std::set<std::string> seen;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options.positional.push_back(arg);
      continue;
    }
    if (arg != "--type" && arg != "--bandpass" && allowed.count(arg) == 0) {
      return fail("unknown option '" + arg + "' for " + options.command);
    }
    const bool repeatable = arg == "--start" && options.command == "report";  // one per stretch
    if (!seen.insert(arg).second && !repeatable) return fail("option '" + arg + "' given twice");
    const std::size_t needed = arg == "--bandpass" ? 2 : IsFlag(arg) ? 0 : 1;
    if (needed > 0 && i + needed >= args.size()) {
      return fail("option '" + arg + "' needs a value");
    }
    std::string value = needed > 0 ? args[i + 1] : std::string();
    double real = 0.0;
    if (arg == "--type") {
      if (value == "csv") options.type = FileKind::Csv;
      else if (value == "dbl") options.type = FileKind::Spc51;
      else return fail("--type takes csv or dbl");
    } else if (arg == "--bandpass") {
      double centre = 0.0, ratio = 0.0;
      if (!ParseReal(args[i + 1], centre) || !ParseReal(args[i + 2], ratio)) {
        return fail("--bandpass takes two numbers");
      }
      options.centre = static_cast<float>(centre);
      options.ratio = static_cast<float>(ratio);
      if (!(options.centre > 0.0f) || !(options.ratio > 0.0f && options.ratio < 1.0f)) {
        return fail("--bandpass needs a centre above 0 Hz and a ratio between 0 and 1 (exclusive)");
      }
      options.bandPass = true;
    } else if (arg == "--channel") {
      if (!ParseInt(value, options.channel)) return fail("--channel takes a channel number");
    } else if (arg == "--channels") {
      if (!ParseChannelList(value, options.channels)) return fail("--channels takes channel numbers separated by commas");
    } else if (arg == "--start") {
      if (!ParseInt(value, options.start)) return fail("--start takes a sample number");
      options.starts.push_back(options.start);
    } else if (arg == "--width") {
      if (!ParseReal(value, real) || !(static_cast<float>(real) > 0.0f) || !std::isfinite(static_cast<float>(real))) {
        return fail("--width takes a positive number of seconds");
      }
      options.width = static_cast<float>(real);
    } else if (arg == "--f0") {
      if (value == "auto") {
        options.f0Auto = true;
      } else {
        if (!ParseReal(value, real)) return fail("--f0 takes a number or auto");
        options.f0 = real;
      }
    } else if (arg == "--h0") {
      if (!ParseReal(value, real)) return fail("--h0 takes a number");
      options.h0 = real;
    } else if (arg == "--results") {
      if (value.empty()) return fail("--results takes a path");
      options.results = value;
    } else if (arg == "--log") {
      if (value.empty()) return fail("--log takes a path");
      options.log = value;
    } else if (arg == "--from") {
      if (!ParseInt(value, options.from) || options.from < 0) return fail("--from takes a sample number of 0 or more");
    } else if (arg == "--to") {
      if (!ParseInt(value, options.to) || options.to < 0) return fail("--to takes a sample number of 0 or more");
      options.toGiven = true;
    } else if (arg == "--every") {
      if (!ParseInt(value, options.every) || options.every < 1) return fail("--every takes a number of samples above 0");
    } else if (arg == "--plot") {
      if (value.empty()) return fail("--plot takes a path");
      options.plot = value;
    } else if (arg == "--level") {
      if (!ParseReal(value, real) || !(real > 0.0)) return fail("--level takes a number above 0");
      options.level = real;
    } else if (arg == "--length") {
      if (!ParseReal(value, real)) return fail("--length takes a number of seconds");
      options.length = static_cast<float>(real);
    } else if (arg == "--count") {
      if (!ParseInt(value, options.count) || options.count < 1 || options.count > kMaxModes) {
        return fail("--count takes a number of modes from 1 to " + std::to_string(kMaxModes));
      }
    } else if (arg == "--operator") {
      options.operatorName = value;
    } else if (arg == "--out") {
      if (value.empty()) return fail("--out takes a path");
      options.out = value;
    } else if (arg == "--jobs") {
      if (!ParseInt(value, options.jobs) || options.jobs < 1) return fail("--jobs takes a number above 0");
    } else if (arg == "--db") {
      if (value.empty()) return fail("--db takes a path");
      options.db = value;
    } else if (arg == "--auto") {
      options.automatic = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--white") {
      options.white = true;
    } else if (arg == "--fit") {
      options.fit = true;
    }
    i += needed;
  }
  const bool manyFiles = options.command == "batch" || options.command == "merge";
  if (manyFiles && options.positional.empty()) return fail(options.command + " takes one or more files");
  if (!manyFiles && options.positional.size() != PositionalCount(options.command)) {
    return fail(options.command + " takes " + (PositionalCount(options.command) == 2 ? "FILE and OUT" : "FILE"));
  }
  const bool evaluates = options.command == "fit" || options.command == "sweep" || options.command == "rd" ||
                         options.command == "modes" || options.command == "spectrum" || options.command == "detect";
  if (evaluates && seen.count("--channel") == 0) {
    return fail(options.command + " needs --channel K");
  }
  if (options.command == "modes" && seen.count("--count") == 0) return fail("modes needs --count N");
  if (options.command == "batch" && options.out.empty()) return fail("batch needs --out RESULTS.csv");
  if (options.command == "batch" && seen.count("--channel") > 0 && options.channel < 1) {
    return fail("--channel takes a channel number from 1");
  }
  if (options.command == "merge" && options.db.empty()) return fail("merge needs --db OUT.sqlite");
  if (options.command == "report" && options.automatic && !options.starts.empty()) {
    return fail("report takes --start or --auto, not both");
  }
  if (options.command == "spectrum" && options.toGiven && options.to < options.from) {
    return fail("spectrum needs E of --to at or after S of --from");
  }
  if (options.command == "sweep") {
    if (seen.count("--from") == 0 || seen.count("--to") == 0 || seen.count("--every") == 0) {
      return fail("sweep needs --from S, --to E and --every N");
    }
    if (options.to < options.from) return fail("sweep needs E of --to at or after S of --from");
  }
  parse.action = CliParse::Action::Run;
  return parse;
}

