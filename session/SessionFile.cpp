#include "session/SessionFile.h"

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

constexpr char kFormat[] = "oscalyx-session";
constexpr int kVersion = 1;

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    out += kDigits[u >> 4];
    out += kDigits[u & 0x0F];
  }
  return out;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

Json BandJson(const BandEdges& band) { return {{"lower", band.Lower}, {"upper", band.Upper}}; }
BandEdges BandOf(const Json& json) { return {json.at("lower").get<float>(), json.at("upper").get<float>()}; }

Json OptionsJson(const ReadOptions& options) {
  Json json = Json::object();
  if (options.Delimiter) json["delimiter"] = static_cast<int>(*options.Delimiter);
  if (options.Decimal) json["decimal"] = std::string(1, *options.Decimal);
  if (options.Skip) json["skip"] = *options.Skip;
  if (options.Rate) json["rate"] = *options.Rate;
  if (options.TimeColumn) json["timeColumn"] = *options.TimeColumn;
  if (!options.Names.empty()) json["names"] = options.Names;
  if (options.Unit) json["unit"] = *options.Unit;
  if (options.Scale != 1.0) json["scale"] = options.Scale;
  if (!options.Variable.empty()) json["variable"] = options.Variable;
  return json;
}

ReadOptions OptionsOf(const Json& json) {
  ReadOptions options;
  if (json.contains("delimiter")) {
    const int delimiter = json.at("delimiter").get<int>();
    if (delimiter < 0 || delimiter > static_cast<int>(TextDelimiter::Blanks)) throw std::out_of_range("delimiter");
    options.Delimiter = static_cast<TextDelimiter>(delimiter);
  }
  if (json.contains("decimal")) options.Decimal = json.at("decimal").get<std::string>().at(0);
  if (json.contains("skip")) options.Skip = json.at("skip").get<int>();
  if (json.contains("rate")) options.Rate = json.at("rate").get<double>();
  if (json.contains("timeColumn")) options.TimeColumn = json.at("timeColumn").get<int>();
  if (json.contains("names")) options.Names = json.at("names").get<std::vector<std::string>>();
  if (json.contains("unit")) options.Unit = json.at("unit").get<std::string>();
  if (json.contains("scale")) options.Scale = json.at("scale").get<double>();
  if (json.contains("variable")) options.Variable = json.at("variable").get<std::string>();
  return options;
}

Json ViewJson(const ViewWindow& view) {
  std::vector<bool> channels(view.Channels.begin(), view.Channels.end());
  return {{"start", view.Start},
          {"divisions", view.Divisions},
          {"secondsPerDivision", view.SecondsPerDivision},
          {"widthSeconds", view.WidthSeconds},
          {"scale", view.ScaleMode == TimeScaleMode::Short ? "short" : "standard"},
          {"arrowStep", view.ArrowStep},
          {"channels", channels},
          {"white", view.PlotBackground == kWhitePlotBackground}};
}

ViewWindow ViewOf(const Json& json) {
  ViewWindow view;
  view.Start = json.at("start").get<int>();
  view.Divisions = json.at("divisions").get<int>();
  view.SecondsPerDivision = json.at("secondsPerDivision").get<float>();
  view.WidthSeconds = json.at("widthSeconds").get<float>();
  view.ScaleMode = json.at("scale").get<std::string>() == "short" ? TimeScaleMode::Short : TimeScaleMode::Standard;
  view.ArrowStep = json.at("arrowStep").get<int>();
  const std::vector<bool> channels = json.at("channels").get<std::vector<bool>>();
  for (std::size_t k = 0; k < channels.size() && k < view.Channels.size(); ++k) view.Channels[k] = channels[k];
  view.PlotBackground = json.at("white").get<bool>() ? kWhitePlotBackground : kPlotBackground;
  return view;
}

Json RequestJson(const EvaluationRequest& request) {
  Json json = {{"channel", request.Channel}, {"start", request.Start}, {"widthSeconds", request.WidthSeconds},
               {"f0", request.F0},           {"h0", request.H0}};
  if (!request.DetectedBy.empty()) json["detectedBy"] = request.DetectedBy;
  return json;
}

EvaluationRequest RequestOf(const Json& json) {
  EvaluationRequest request;
  request.Channel = json.at("channel").get<int>();
  request.Start = json.at("start").get<std::int64_t>();
  request.WidthSeconds = json.at("widthSeconds").get<float>();
  request.F0 = json.at("f0").get<double>();
  request.H0 = json.at("h0").get<double>();
  if (json.contains("detectedBy")) request.DetectedBy = json.at("detectedBy").get<std::string>();
  return request;
}

}  // namespace

std::string SessionFileText(const SessionSnapshot& snapshot) {
  Json record = {{"kind", std::string(FileKindName(snapshot.Kind))},
                 {"sha256", snapshot.Sha256},
                 {"readOptions", OptionsJson(snapshot.Options)}};
  if (IsValidUtf8(snapshot.RecordPath)) record["path"] = snapshot.RecordPath;
  else record["pathBytes"] = Hex(snapshot.RecordPath);
  Json store = Json::array();
  for (const SessionSnapshot::StoredPair& pair : snapshot.Store) {
    Json item = {{"f", pair.F}, {"h", pair.H}};
    if (pair.Source) item["evaluation"] = RequestJson(*pair.Source);
    store.push_back(item);
  }
  const Json json = {{"format", kFormat},
                     {"version", kVersion},
                     {"record", record},
                     {"band", snapshot.Band ? BandJson(*snapshot.Band) : Json(nullptr)},
                     {"edges", BandJson(snapshot.Edges)},
                     {"view", ViewJson(snapshot.View)},
                     {"store", store}};
  // Names and options from a data file may be no UTF-8: replaced, never a failure.
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::optional<SessionSnapshot> ParseSessionFile(std::string_view text, std::string& problem) {
  try {
    const Json json = Json::parse(text);
    if (json.value("format", "") != kFormat) {
      problem = "このプログラムの作業ファイルではありません。";
      return std::nullopt;
    }
    if (json.value("version", 0) > kVersion) {
      problem = "新しい版のプログラムで保存された作業ファイルです。";
      return std::nullopt;
    }
    SessionSnapshot snapshot;
    const Json& record = json.at("record");
    if (record.contains("path")) {
      snapshot.RecordPath = record.at("path").get<std::string>();
    } else {
      const std::optional<std::string> bytes = FromHex(record.at("pathBytes").get<std::string>());
      if (!bytes) throw std::out_of_range("pathBytes");
      snapshot.RecordPath = *bytes;
    }
    const std::optional<FileKind> kind = FileKindFromName(record.at("kind").get<std::string>());
    if (!kind) throw std::out_of_range("kind");
    snapshot.Kind = *kind;
    snapshot.Sha256 = record.value("sha256", "");
    snapshot.Options = OptionsOf(record.value("readOptions", Json::object()));
    if (!json.at("band").is_null()) snapshot.Band = BandOf(json.at("band"));
    snapshot.Edges = BandOf(json.at("edges"));
    snapshot.View = ViewOf(json.at("view"));
    for (const Json& item : json.at("store")) {
      SessionSnapshot::StoredPair pair;
      pair.F = item.at("f").get<float>();
      pair.H = item.at("h").get<float>();
      if (item.contains("evaluation")) pair.Source = RequestOf(item.at("evaluation"));
      snapshot.Store.push_back(pair);
    }
    return snapshot;
  } catch (const std::exception&) {
    problem = "作業ファイルが壊れているか、読めない形です。";
    return std::nullopt;
  }
}
