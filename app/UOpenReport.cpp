// ファイル → 報告書を保存…: the session's accepted evaluations on one A4 page,
// gathered as the command line's report gathers them and painted by the same
// page routine.
#include <QLabel>
#include <QSettings>
#include <ctime>

#include "app/UOpen.h"
#include "app/ReplaceReadOnly.h"
#include "components/qt/ReportPage.h"
#include "io/Sha256.h"
#include "io/WriteCsv.h"

namespace {

const char kReportFilter[] = "PDFファイル(*.pdf)|*.pdf|PNG画像(*.png)|*.png|SVG画像(*.svg)|*.svg";
const char kReportTitle[] = "報告書を保存";

}  // namespace

void TOpen::ReportClick() {
  const WaveData& record = session_.Record();
  const std::string chosen = platform_.SaveFileName(
      {kReportFilter, 1, true, FolderOf(record.Path), StemOf(SlotText(record.FileName)) + "_報告書.pdf"});
  if (chosen.empty()) return;
  const std::string path = ReportFormatOf(chosen) ? chosen : WithDefaultExtension(chosen, ".pdf");
  const std::optional<ReportFormat> format = ReportFormatOf(path);
  if (!format) {
    platform_.ShowMessage("報告書は PDF、PNG、SVG のどれかで保存します（拡張子 .pdf .png .svg）。", kReportTitle,
                          MessageIcon::Warning);
    return;
  }
  if (!MayReplace(platform_, path)) return;
  RecordReportRequest request;
  request.Record = &record;
  request.Band = session_.Band();
  request.Sha256 = session_.RecordSha256();
  request.TimeLabel = LabelTime->text().toStdString();
  request.Evaluations = session_.StoredEvaluations();
  request.Operator = QSettings(QStringLiteral("Oscalyx"), QStringLiteral("oscalyx"))
                         .value(QStringLiteral("report/operator"))
                         .toString()
                         .toStdString();
  request.When = std::time(nullptr);
  const std::string error = WriteReportFile(GatherRecordReport(request), *format, path);
  if (!error.empty()) platform_.ShowMessage(error, kReportTitle, MessageIcon::Warning);
}
