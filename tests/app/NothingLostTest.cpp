// No evaluation is lost: every results row is on disk as soon as it is
// written, whether the process is killed, the program ends through one of its
// error messages, the results file cannot be kept, or the command line appends.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QImage>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/ResultRows.h"
#include "io/ReadCsv.h"
#include "io/ResultsFile.h"
#include "tests/support/FitResults.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/Spc51Builder.h"

namespace {

// --- A writer killed while it appends ----------------------------------------

std::string KilledWriterRow(int i) {
  return FormatResultRow("killed.csv", 1 + i % 8, "P" + std::to_string(i), ResultOf(0.001f * static_cast<float>(i), 12.566f, 0.0213f, -0.5f, 0.95f));
}

// The child appends rows through ResultsFile and reports each one through a
// pipe after Append returned; the parent kills it with SIGKILL after a few
// thousand reports. Every reported row must be on disk, byte for byte, and
// after them at most the one row the child wrote but could not report.
TEST(ResultsFileKilled, EveryReportedRowIsOnDiskAfterSigkill) {
  constexpr int kKillAfter = 3000;
  // More rows than the child can write before the kill: it blocks on the
  // pipe once 16 384 unread reports fill it.
  constexpr int kRows = 100000;
  TempDir dir;
  const std::string path = ResultsFilePath(dir.path());
  int reports[2];
  ASSERT_EQ(::pipe(reports), 0);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(reports[0]);
    ResultsFile file;
    if (file.Create(path, ResultsHeaderLine()) != ResultsFile::CreateStatus::Created) ::_exit(2);
    for (std::int32_t i = 0; i < kRows; ++i) {
      if (!file.Append(KilledWriterRow(i))) ::_exit(3);
      if (::write(reports[1], &i, sizeof i) != sizeof i) ::_exit(4);
    }
    for (;;) ::pause();
  }
  ::close(reports[1]);

  std::int32_t reported = 0;
  const auto readReport = [&] {
    std::int32_t index = -1;
    std::size_t got = 0;
    while (got < sizeof index) {
      const ssize_t n = ::read(reports[0], reinterpret_cast<char*>(&index) + got, sizeof index - got);
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(index, reported);
    ++reported;
    return true;
  };
  while (reported < kKillAfter && readReport()) {
  }
  ASSERT_EQ(reported, kKillAfter) << "the writer stopped early";
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  while (readReport()) {
  }
  ::close(reports[0]);
  ASSERT_LT(reported, kRows);

  std::string expected = ResultsHeaderLine();
  for (int i = 0; i < reported; ++i) expected += KilledWriterRow(i);
  const std::string onDisk = TempDir::Read(path);
  ASSERT_GE(onDisk.size(), expected.size()) << reported << " rows reported";
  EXPECT_EQ(onDisk.compare(0, expected.size(), expected), 0);
  const std::string unreported = onDisk.substr(expected.size());
  const std::string next = KilledWriterRow(reported);
  EXPECT_LE(unreported.size(), next.size());
  EXPECT_EQ(next.compare(0, unreported.size(), unreported), 0) << unreported;
}

// --- The window ----------------------------------------------------------------

// One channel at 100 samples per second: a decay of 3.7 Hz, damping 0.04,
// whose sample 300 is exactly 0.
std::string DecayCsv(const TempDir& dir) {
  std::string text = "P1\n100,s\nmemo\ngal\n";
  for (int i = 0; i < 1000; ++i) {
    const double t = i / 100.0;
    const double wn = 2.0 * std::numbers::pi * 3.7;
    const double x = i == 300 ? 0.0 : 2.5 * std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1.0 - 0.04 * 0.04) * t + 0.7);
    char line[32];
    std::snprintf(line, sizeof line, "%.6f\n", x);
    text += line;
  }
  return dir.Write("decay.csv", text);
}

class NothingLostTest : public MainWindowTest {
 protected:
  // Evaluates the displayed stretch from `start`; the initial frequency is
  // set once, before the first evaluation, as the user would type it.
  void Evaluate(int start) {
    Edit1()->setText(QString::number(start));
    open->Button9Click();
  }

  // Two accepted evaluations of the decay; returns the results file after them.
  std::string LoadAndEvaluateTwice() {
    Load(DecayCsv(dir));
    EdInitF()->setText("3.5");
    std::string before = Results();
    EXPECT_EQ(before, ResultsHeaderLine());
    for (const int start : {0, 100}) {
      Evaluate(start);
      const std::string after = Results();
      // One more line, a whole row, on disk while the file is still open.
      EXPECT_EQ(after.compare(0, before.size(), before), 0);
      const std::string row = after.substr(before.size());
      EXPECT_EQ(row.rfind("decay.csv,1ch,P1,", 0), 0u) << row;
      EXPECT_EQ(row.find("\r\n"), row.size() - 2) << row;
      before = after;
    }
    EXPECT_EQ(Label25()->text(), "2回");
    EXPECT_TRUE(platform.messages.empty());
    return before;
  }

  void RunBandPass(bool on, const QString& centre, const QString& ratio) {
    QTimer::singleShot(0, center.get(), [this, on, centre, ratio] {
      center->findChild<QCheckBox*>("CBBand")->setChecked(on);
      center->findChild<QLineEdit*>("EdCenter")->setText(centre);
      center->findChild<QLineEdit*>("EdRatio")->setText(ratio);
      center->Button1Click();
    });
    open->BtnFilterClick();
  }

  // What a user sees and what the session has gathered.
  struct WindowState {
    std::vector<QString> texts;
    int samples = 0;
    int stored = 0;
    RgbImage picture;
    bool operator==(const WindowState&) const = default;
  };
  WindowState State() const {
    WindowState state;
    for (const QLabel* label : {LabelFileName(), LabelData(), Label15(), Label19(), Label23(),
                                Label24(), Label25(), Label28(), Label29(), Label34()}) {
      state.texts.push_back(label->text());
    }
    state.texts.push_back(EdInitF()->text());
    state.texts.push_back(EdInitH()->text());
    state.samples = session->Record().SampleCount;
    state.stored = session->Store().NData;
    state.picture = open->Plot()->PlotCanvas().Image();
    return state;
  }

  // What a failed evaluation changes: the red labels say "failed" and the
  // passes and the ratio of the evaluation before are gone.
  WindowState AfterAFailedEvaluation(WindowState state) const {
    state.texts[2] = state.texts[3] = "";          // 繰返回数, 近似度
    state.texts[7] = state.texts[8] = "failed";    // f and h
    return state;
  }

  // The failure was shown, and the program goes on exactly as it was.
  void ExpectReportedAndUnchanged(const std::string& text, const std::string& title, const std::string& rows,
                                  const WindowState& before) {
    ASSERT_EQ(platform.messages.size(), 1u);
    // The fixed text, with a line of advice under it.
    EXPECT_EQ(FirstLine(platform.messages[0].text), text);
    EXPECT_GT(platform.messages[0].text.size(), text.size() + 1);
    EXPECT_EQ(platform.messages[0].title, title);
    EXPECT_EQ(platform.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(platform.quitRequests, 0);
    EXPECT_EQ(Results(), rows);
    EXPECT_TRUE(State() == before);
  }

  int ResultsWarnings() const {
    int count = 0;
    for (const RecordingPlatform::Message& message : platform.messages) {
      if (message.title == "結果ファイル") {
        const std::string named = "結果ファイル「" + session->ResultsPath() + "」";
        EXPECT_TRUE(message.text.rfind(named + "を作成できません（", 0) == 0 ||
                    message.text.rfind(named + "に書き込めません（", 0) == 0)
            << message.text;
        EXPECT_EQ(message.icon, MessageIcon::Warning);
        ++count;
      }
    }
    return count;
  }
};

TEST_F(NothingLostTest, LoadOfAMissingFileIsReportedAndTheSessionGoesOn) {
  const std::string rows = LoadAndEvaluateTwice();
  const WindowState before = State();
  Load(dir.File("gone.csv"));
  ExpectReportedAndUnchanged("ファイルが開けません", "ファイルオープンエラー", rows, before);
}

TEST_F(NothingLostTest, DampingOutOfRangeIsReportedAndRecordsNothing) {
  const std::string rows = LoadAndEvaluateTwice();
  EdInitH()->setText("1.0");
  Edit1()->setText("0");
  const WindowState before = AfterAFailedEvaluation(State());
  open->Button9Click();
  ExpectReportedAndUnchanged("減衰係数の評価が異常です", "評価エラー", rows, before);
}

TEST_F(NothingLostTest, SolverFailureIsReportedAndRecordsNothing) {
  const std::string rows = LoadAndEvaluateTwice();
  // A first fit point of 0 starts the amplitude at 0: three columns of the
  // Jacobian vanish.
  ASSERT_EQ(session->Record().Samples[0][300], 0.0f);
  Edit1()->setText("300");
  const WindowState before = AfterAFailedEvaluation(State());
  open->Button9Click();
  ExpectReportedAndUnchanged("最小二乗法評価が異常です", "評価エラー", rows, before);
}

TEST_F(NothingLostTest, DirectoryInThePlaceOfTheResultsFileWarnsOncePerLoad) {
  std::filesystem::create_directory(session->ResultsPath());
  Load(DecayCsv(dir));
  EXPECT_EQ(ResultsWarnings(), 1);
  EdInitF()->setText("3.5");
  Evaluate(0);
  Evaluate(100);
  EXPECT_EQ(Label25()->text(), "2回");
  EXPECT_NE(Label28()->text(), "failed");
  EXPECT_FALSE(Label15()->text().isEmpty());
  // Re-reading for the band-pass filter does not create the file again.
  RunBandPass(true, "3.7", "0.5");
  EXPECT_EQ(Label34()->text(), "1.85-5.55Hz");
  EXPECT_EQ(ResultsWarnings(), 1);

  Load(DecayCsv(dir));
  EXPECT_EQ(ResultsWarnings(), 2);
  Evaluate(0);
  EXPECT_EQ(Label25()->text(), "1回");
  EXPECT_EQ(ResultsWarnings(), 2);
  EXPECT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.quitRequests, 0);
  EXPECT_TRUE(std::filesystem::is_directory(session->ResultsPath()));
}

TEST_F(NothingLostTest, SecondWindowInTheFolderLeavesTheFirstWindowsResultsAlone) {
  const std::string rows = LoadAndEvaluateTwice();
  RecordingPlatform secondPlatform;
  Session secondSession;
  secondSession.SetResultsLockWait(std::chrono::milliseconds(100));  // the wait itself is tested in io
  TOpen second(secondPlatform, secondSession);  // started in the same folder
  for (int load = 0; load < 2; ++load) {
    secondPlatform.openAnswer = DecayCsv(dir);
    second.CSVClick();
  }
  ASSERT_EQ(secondPlatform.messages.size(), 1u);  // said once, not at every load
  EXPECT_EQ(secondPlatform.messages[0].title, "結果ファイル");
  // The cause as it is: a lock that was not released, whoever holds it.
  EXPECT_NE(secondPlatform.messages[0].text.find("別のプログラムがロックしています（0.1秒待っても解除されませんでした）"),
            std::string::npos)
      << secondPlatform.messages[0].text;
  second.findChild<QLineEdit*>("EdInitF")->setText("3.5");
  second.findChild<QLineEdit*>("Edit1")->setText("0");
  second.Button9Click();
  EXPECT_EQ(Results(), rows);  // neither emptied nor written by the second window

  Evaluate(200);  // the first window goes on appending after its own rows
  const std::string after = Results();
  EXPECT_EQ(after.compare(0, rows.size(), rows), 0);
  EXPECT_EQ(after.find('\0'), std::string::npos);
  EXPECT_EQ(after.substr(rows.size()).rfind("decay.csv,1ch,P1,", 0), 0u);
}

TEST_F(NothingLostTest, StartupFolderThatIsGoneWarnsOncePerLoad) {
  // A window started in a folder that is removed before the first load.
  const std::string gone = dir.File("start");
  std::filesystem::create_directory(gone);
  std::filesystem::current_path(gone);
  open = std::make_unique<TOpen>(platform, *session);
  open->AttachWindows(howTo.get(), about.get(), graph.get(), format.get(), center.get());
  std::filesystem::current_path(dir.path());
  std::filesystem::remove(gone);
  EXPECT_EQ(session->ResultsPath(), gone + "/減衰特性.csv");

  for (int load = 1; load <= 2; ++load) {
    Load(DecayCsv(dir));
    EXPECT_EQ(ResultsWarnings(), load);
    EdInitF()->setText("3.5");
    Evaluate(0);
    EXPECT_EQ(Label25()->text(), "1回");
    EXPECT_EQ(ResultsWarnings(), load);
  }
  EXPECT_EQ(platform.quitRequests, 0);
  EXPECT_FALSE(std::filesystem::exists(gone));
}

// The file is created, then the disk refuses more: the rows written so far
// stay, the user is warned once, and the evaluations go on without the file
// until the next load creates it afresh.
TEST_F(NothingLostTest, WriteRefusedAfterCreationWarnsOnceAndKeepsEarlierRows) {
  Load(DecayCsv(dir));
  EdInitF()->setText("3.5");
  Evaluate(0);
  const std::string rows = Results();
  ASSERT_GT(rows.size(), ResultsHeaderLine().size());

  // No file of this process may grow beyond its present size.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = static_cast<rlim_t>(rows.size());
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  Evaluate(100);
  Evaluate(0);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(ResultsWarnings(), 1);
  EXPECT_NE(platform.messages.back().text.find("」に書き込めません（"), std::string::npos);
  EXPECT_EQ(Results(), rows);
  EXPECT_EQ(Label25()->text(), "3回");
  EXPECT_EQ(platform.quitRequests, 0);
  // Closed after the failure: a later evaluation neither writes nor warns.
  Evaluate(100);
  EXPECT_EQ(Results(), rows);
  EXPECT_EQ(ResultsWarnings(), 1);
  // The next load starts a working file again.
  Load(DecayCsv(dir));
  Evaluate(0);
  EXPECT_EQ(Results().rfind(ResultsHeaderLine() + "decay.csv,1ch,P1,", 0), 0u);
  EXPECT_EQ(ResultsWarnings(), 1);
}

// One use from load to export, the cycle that is also run under valgrind:
// an SPC-51 record, band-pass filtered, evaluated, saved as PNG and CSV.
TEST_F(NothingLostTest, LoadFilterEvaluateExportCycle) {
  Spc51Builder file;
  file.sampleCount = 4000;
  file.channelCount = 1;
  file.rate = 200;
  file.channels = {{"GL-1F", "gal", 0.0025f}};
  const double wn = 2.0 * std::numbers::pi * 3.7;
  for (int i = 0; i < 4000; ++i) {
    const double t = i / 200.0;
    file.frames.push_back(static_cast<std::int16_t>(
        std::lround(12000.0 * std::exp(-0.04 * wn * t) * std::cos(wn * std::sqrt(1.0 - 0.04 * 0.04) * t + 0.7))));
  }
  Load(dir.Write("decay.dbl", file.Bytes()), true);
  ASSERT_TRUE(session->Loaded());
  const std::vector<float> asRead = session->Record().Samples[0];

  RunBandPass(true, "3.7", "0.5");
  EXPECT_EQ(Label34()->text(), "1.85-5.55Hz");
  EXPECT_NE(session->Record().Samples[0], asRead);

  EdInitF()->setText("3.5");
  Evaluate(1000);
  ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].text;
  EXPECT_EQ(Label25()->text(), "1回");
  EXPECT_NEAR(Label28()->text().toDouble(), 3.7, 0.02);
  const std::string results = Results();
  EXPECT_EQ(results.rfind(ResultsHeaderLine() + "decay.dbl,1ch,GL-1F,", 0), 0u) << results;

  platform.saveAnswer = dir.File("view");
  open->Button7Click();
  const QImage picture(QString::fromStdString(dir.File("view.png")));
  EXPECT_EQ(picture.width(), 753);
  EXPECT_EQ(picture.height(), 401);

  platform.saveAnswer = dir.File("decay-filtered");
  open->CSVFClick();
  WaveData converted;
  ASSERT_TRUE(ReadCsv(dir.File("decay-filtered.csv"), converted).ok());
  EXPECT_EQ(converted.SampleCount, 4000);
  EXPECT_EQ(converted.Rate, 200);
  EXPECT_NEAR(converted.Samples[0][1500], session->Record().Samples[0][1500], 1e-5);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.quitRequests, 0);
}

// --- The command line, run as its own process --------------------------------

struct CliProcess {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

CliProcess RunCliProcess(const TempDir& dir, const std::vector<std::string>& args) {
  std::string command = Quoted(OSCALYX_CLI_PATH);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  const std::string out = dir.File("cli.out");
  const std::string err = dir.File("cli.err");
  command += " >" + Quoted(out) + " 2>" + Quoted(err);
  const int wait = std::system(command.c_str());
  CliProcess result;
  result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
  result.out = TempDir::Read(out);
  result.err = TempDir::Read(err);
  return result;
}

TEST(CliResultsFile, RowsOfEveryFitAreOnDiskAndFailedFitsCreateNothing) {
  TempDir dir;
  const std::string data = DecayCsv(dir);
  const std::string results = dir.File("results.csv");
  const std::vector<std::string> fit = {"fit", data, "--channel", "1", "--f0", "3.5", "--results", results};

  // A failed evaluation or an unreadable file leaves no file behind.
  struct Failure {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Failure> failures = {
      {{"--h0", "1.0"}, "減衰係数の評価が異常です"},
      {{"--start", "300"}, "最小二乗法評価が異常です"},
      {{"--start", "1000"}, "評価開始点がデータの範囲外です。"},
  };
  for (const Failure& failure : failures) {
    std::vector<std::string> args = fit;
    args.insert(args.end(), failure.args.begin(), failure.args.end());
    const CliProcess run = RunCliProcess(dir, args);
    EXPECT_EQ(run.status, 1) << failure.message;
    EXPECT_EQ(run.err, failure.message + "\n");
    EXPECT_TRUE(run.out.empty());
    EXPECT_FALSE(std::filesystem::exists(results)) << failure.message;
  }
  const CliProcess missing =
      RunCliProcess(dir, {"fit", dir.File("gone.csv"), "--channel", "1", "--results", results});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(FirstLine(missing.err), "ファイルが開けません");
  EXPECT_FALSE(std::filesystem::exists(results));

  // Three fits: the header once, then each printed row in the file's bytes.
  std::string expected = ResultsHeaderLine();
  for (const char* start : {"0", "100", "200"}) {
    std::vector<std::string> args = fit;
    args.insert(args.end(), {"--start", start});
    const CliProcess run = RunCliProcess(dir, args);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.rfind("decay.csv,1ch,P1,", 0), 0u) << run.out;
    expected += run.out.substr(0, run.out.size() - 1) + "\r\n";
    EXPECT_EQ(TempDir::Read(results), expected) << "after the fit from " << start;
  }

  // A failure after them changes nothing in the file.
  std::vector<std::string> args = fit;
  args.insert(args.end(), {"--h0", "1.0"});
  EXPECT_EQ(RunCliProcess(dir, args).status, 1);
  EXPECT_EQ(TempDir::Read(results), expected);

  // A results file that cannot be written is an error, and nothing is printed.
  const std::string noFolder = dir.File("no-folder/results.csv");
  const CliProcess unwritable =
      RunCliProcess(dir, {"fit", data, "--channel", "1", "--f0", "3.5", "--results", noFolder});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_TRUE(unwritable.out.empty());
  EXPECT_EQ(unwritable.err,
            "結果ファイル「" + noFolder + "」を作成できません：ファイルまたはフォルダが見つかりません。\n");
}

}  // namespace
