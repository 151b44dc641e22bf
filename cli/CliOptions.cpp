// Option parsing of oscalyx-cli, kept free of the toolkit so that it can be
// fuzzed on its own.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>

#include "analysis/Modes.h"
#include "cli/Cli.h"

const char kCliUsage[] =
    "oscalyx-cli info    FILE                         [read options] [--bandpass C R]\n"
    "oscalyx-cli convert FILE OUT                     [read options] [--bandpass C R]\n"
    "oscalyx-cli fit     FILE --channel K             [read options] [--bandpass C R]\n"
    "                    [--start S] [--width W] [--f0 F] [--h0 H] [--results PATH] [--log PATH] [--json]\n"
    "oscalyx-cli plot    FILE OUT.png                 [read options] [--bandpass C R]\n"
    "                    [--channels LIST] [--start S] [--width W] [--white] [--fit] [--f0 F] [--h0 H]\n"
    "oscalyx-cli sweep   FILE --channel K --from S --to E --every N\n"
    "                    [read options] [--bandpass C R] [--width W] [--f0 F] [--h0 H]\n"
    "                    [--results PATH] [--log PATH] [--plot OUT.png]\n"
    "oscalyx-cli rd      FILE OUT.csv --channel K     [read options] [--bandpass C R]\n"
    "                    [--level L] [--length W] [--fit] [--f0 F] [--h0 H]\n"
    "oscalyx-cli spectrum FILE --channel K            [read options] [--bandpass C R]\n"
    "                    [--from S] [--to E] [--json] [--plot OUT.png]\n"
    "oscalyx-cli detect  FILE --channel K             [read options] [--bandpass C R] [--json]\n"
    "oscalyx-cli modes   FILE --channel K --start S --width W --count N   [read options] [--bandpass C R] [--json]\n"
    "oscalyx-cli report  FILE OUT.pdf|OUT.png|OUT.svg --channel K  [read options] [--bandpass C R]\n"
    "                    [--start S ...] [--auto] [--width W] [--f0 F] [--h0 H] [--operator NAME]\n"
    "oscalyx-cli report  RESULTS.csv|DB.sqlite OUT.pdf|OUT.png|OUT.svg   [--operator NAME]\n"
    "oscalyx-cli batch   DIR|FILE... --out RESULTS.csv  [read options] [--channel K] [--bandpass C R]\n"
    "                    [--jobs N]\n"
    "oscalyx-cli merge   RESULTS.csv... --db OUT.sqlite\n"
    "oscalyx-cli --help | --version\n"
    "OUT may be - for stdout (rd then prints its JSON on stderr); an existing read-only OUT (or --plot file)\n"
    "is replaced only with --force; -- ends the options, so that a file named --x can be given.\n"
    "\n"
    "read options (every command takes them):\n"
    "  --type csv|dbl|text|wav|uff|mat   the reader; by default from the extension: .dbl SPC-51, .wav WAV,\n"
    "                    .uff/.unv universal file (data set 58), .mat MATLAB, .txt/.asc/.dat/.tsv text,\n"
    "                    anything else standard CSV\n"
    "  text:  --rate HZ | --time-column K (one of the two is required; K counts from 1 and that column,\n"
    "         the time in seconds, gives the rate from its median step and is no channel)\n"
    "         [--delimiter ,|;|tab|space] [--decimal .|,] [--skip N] (detected when not given)\n"
    "         [--names A,B,..] [--unit U]\n"
    "  wav:   [--scale X] (times the normalised samples, full scale 1) [--names A,B,..] [--unit U]\n"
    "  uff:   [--names A,B,..] [--unit U]\n"
    "  mat:   --rate HZ [--variable NAME] (default: the only real 2-D numeric array) [--names A,B,..] [--unit U]\n";

namespace {

bool ParseInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

// A whole number that is well formed but beyond an int (the sample numbers'
// type), so that the message can say so instead of calling it malformed.
bool TooLarge(const std::string& text) {
  long long ignored = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, ignored);
  return result.ptr == end && (result.ec == std::errc::result_out_of_range || result.ec == std::errc());
}

// What is wrong with an integer option's value.
std::string IntegerError(const std::string& option, const std::string& value, const char* expected) {
  if (TooLarge(value)) {
    return option + " " + value + " is out of range (whole numbers from " +
           std::to_string(std::numeric_limits<int>::min()) + " to " + std::to_string(std::numeric_limits<int>::max()) +
           ")";
  }
  return option + " takes " + expected;
}

bool ParseReal(const std::string& text, double& value) {
  const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(begin, end, value);
  return begin != end && result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

// The rates a file may have, as the readers take them.
constexpr double kMinReadRate = 1e-6;
constexpr double kMaxReadRate = 2147483647.0;

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
  static const std::set<std::string> convert{"--force"};
  static const std::set<std::string> plot{"--channels", "--start", "--width", "--white",
                                          "--fit",      "--f0",    "--h0",    "--force"};
  static const std::set<std::string> sweep{"--channel", "--from", "--to",      "--every", "--width", "--f0",
                                           "--h0",      "--results", "--log", "--plot",  "--force"};
  static const std::set<std::string> rd{"--channel", "--level", "--length", "--fit", "--f0", "--h0", "--force"};
  static const std::set<std::string> modes{"--channel", "--start", "--width", "--count", "--json"};
  static const std::set<std::string> spectrum{"--channel", "--from", "--to", "--json", "--plot", "--force"};
  static const std::set<std::string> detect{"--channel", "--json"};
  static const std::set<std::string> report{"--channel", "--start",    "--auto", "--width",
                                            "--f0",      "--h0",       "--operator", "--force"};
  static const std::set<std::string> batch{"--out", "--channel", "--jobs"};
  static const std::set<std::string> merge{"--db"};
  if (command == "fit") return fit;
  if (command == "convert") return convert;
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

// The read options and the kinds they apply to.
const std::set<std::string> kReadOptions{"--type",  "--delimiter", "--decimal", "--skip",    "--rate",
                                         "--time-column", "--names", "--unit",  "--scale", "--variable"};

bool AppliesTo(const std::string& option, FileKind kind) {
  if (option == "--type") return true;
  switch (kind) {
    case FileKind::Csv:
    case FileKind::Spc51:
      return false;
    case FileKind::Text:
      return option == "--delimiter" || option == "--decimal" || option == "--skip" || option == "--rate" ||
             option == "--time-column" || option == "--names" || option == "--unit";
    case FileKind::Wav:
      return option == "--scale" || option == "--names" || option == "--unit";
    case FileKind::Uff:
      return option == "--names" || option == "--unit";
    case FileKind::Mat:
      return option == "--variable" || option == "--rate" || option == "--names" || option == "--unit";
  }
  return false;
}

// Options that take no value.
bool IsFlag(const std::string& option) {
  return option == "--json" || option == "--white" || option == "--fit" || option == "--force" || option == "--auto";
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
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      options.positional.push_back(arg);
      continue;
    }
    if (kReadOptions.count(arg) == 0 && arg != "--bandpass" && allowed.count(arg) == 0) {
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
      options.type = FileKindFromName(value);
      if (!options.type) return fail("--type takes csv, dbl, text, wav, uff or mat");
    } else if (arg == "--delimiter") {
      if (value == ",") options.read.Delimiter = TextDelimiter::Comma;
      else if (value == ";") options.read.Delimiter = TextDelimiter::Semicolon;
      else if (value == "tab" || value == "\t") options.read.Delimiter = TextDelimiter::Tab;
      else if (value == "space" || value == " ") options.read.Delimiter = TextDelimiter::Blanks;
      else return fail("--delimiter takes , ; tab or space");
    } else if (arg == "--decimal") {
      if (value != "." && value != ",") return fail("--decimal takes . or ,");
      options.read.Decimal = value[0];
    } else if (arg == "--skip") {
      int skip = 0;
      if (!ParseInt(value, skip) || skip < 0) return fail("--skip takes a number of lines of 0 or more");
      options.read.Skip = skip;
    } else if (arg == "--rate") {
      if (!ParseReal(value, real) || !(real >= kMinReadRate && real <= kMaxReadRate)) {
        return fail("--rate takes samples per second from 0.000001 to 2147483647");
      }
      options.read.Rate = real;
    } else if (arg == "--time-column") {
      int column = 0;
      if (!ParseInt(value, column) || column < 1) return fail("--time-column takes a column number from 1");
      options.read.TimeColumn = column;
    } else if (arg == "--names") {
      options.read.Names.clear();
      for (std::size_t from = 0; from <= value.size();) {
        const std::size_t comma = std::min(value.find(',', from), value.size());
        options.read.Names.push_back(value.substr(from, comma - from));
        from = comma + 1;
      }
    } else if (arg == "--unit") {
      options.read.Unit = value;
    } else if (arg == "--scale") {
      if (!ParseReal(value, real) || real == 0.0) return fail("--scale takes a number other than 0");
      options.read.Scale = real;
    } else if (arg == "--variable") {
      if (value.empty()) return fail("--variable takes a variable name");
      options.read.Variable = value;
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
      if (!ParseInt(value, options.channel)) return fail(IntegerError(arg, value, "a channel number"));
    } else if (arg == "--channels") {
      if (!ParseChannelList(value, options.channels)) return fail("--channels takes channel numbers separated by commas");
    } else if (arg == "--start") {
      if (!ParseInt(value, options.start)) return fail(IntegerError(arg, value, "a sample number"));
      options.starts.push_back(options.start);
    } else if (arg == "--width") {
      if (!ParseReal(value, real) || !(static_cast<float>(real) > 0.0f) || !std::isfinite(static_cast<float>(real))) {
        return fail("--width takes a positive number of seconds");
      }
      options.width = static_cast<float>(real);
      options.widthGiven = true;
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
      options.h0Given = true;
    } else if (arg == "--results" || arg == "--log") {
      // A file appended to: stdout would mix its Shift-JIS rows into the output.
      if (value.empty() || value == "-") return fail(arg + " takes a file path (./- for a file named -)");
      (arg == "--results" ? options.results : options.log) = value;
    } else if (arg == "--from") {
      if (!ParseInt(value, options.from)) return fail(IntegerError(arg, value, "a sample number of 0 or more"));
      if (options.from < 0) return fail("--from takes a sample number of 0 or more");
    } else if (arg == "--to") {
      if (!ParseInt(value, options.to)) return fail(IntegerError(arg, value, "a sample number of 0 or more"));
      if (options.to < 0) return fail("--to takes a sample number of 0 or more");
      options.toGiven = true;
    } else if (arg == "--every") {
      if (!ParseInt(value, options.every)) return fail(IntegerError(arg, value, "a number of samples above 0"));
      if (options.every < 1) return fail("--every takes a number of samples above 0");
    } else if (arg == "--plot") {
      if (value.empty()) return fail("--plot takes a path");
      // stdout carries the command's own lines already.
      if (value == "-") return fail("--plot takes a file path: stdout carries the command's output (./- for a file named -)");
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
    } else if (arg == "--force") {
      options.force = true;
    }
    i += needed;
  }
  const bool manyFiles = options.command == "batch" || options.command == "merge";
  if (manyFiles && options.positional.empty()) return fail(options.command + " takes one or more files");
  if (!manyFiles && options.positional.size() != PositionalCount(options.command)) {
    return fail(options.command + " takes " + (PositionalCount(options.command) == 2 ? "FILE and OUT" : "FILE"));
  }
  // The read options must suit the reader, and a text or MATLAB file must say
  // its rate: nothing is read with a guessed rate or an option ignored. A
  // batch without --type reads each file by its extension: each reader takes
  // the options that apply to it, and a file that lacks its rate gets its
  // error row.
  const bool eachByExtension = options.command == "batch" && !options.type;
  const FileKind kind = options.type ? *options.type : KindFromExtension(options.positional[0]);
  const std::string kindName(FileKindName(kind));
  for (const std::string& option : seen) {
    if (!eachByExtension && kReadOptions.count(option) != 0 && !AppliesTo(option, kind)) {
      return fail(option + " does not apply to " + kindName + " files");
    }
  }
  if (!eachByExtension && kind == FileKind::Text && seen.count("--rate") == seen.count("--time-column")) {
    return fail("a text file needs either --rate HZ or --time-column K");
  }
  if (!eachByExtension && kind == FileKind::Mat && seen.count("--rate") == 0) {
    return fail("a MATLAB file needs --rate HZ");
  }
  if (seen.count("--rate") > 0 && seen.count("--time-column") > 0) {
    return fail("--rate and --time-column exclude each other");
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

