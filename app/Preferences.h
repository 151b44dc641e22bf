// What the window remembers between runs: the folder of the last record, the
// records opened last, where the main and the scatter windows stood, and the
// operator's name for reports. Kept with QSettings (organization "Oscalyx",
// application "oscalyx"); tests give a file of their own.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QSettings;

class Preferences {
 public:
  static constexpr int kRecentFiles = 8;

  Preferences();                                 // the user's own settings
  explicit Preferences(const QString& iniFile);  // a settings file of its own
  ~Preferences();

  std::string LastFolder() const;
  void SetLastFolder(const std::string& folder);
  // Newest first, at most kRecentFiles; paths as their bytes.
  std::vector<std::string> RecentFiles() const;
  void AddRecentFile(const std::string& path);

  QByteArray MainGeometry() const;
  void SetMainGeometry(const QByteArray& geometry);
  QByteArray ScatterGeometry() const;
  void SetScatterGeometry(const QByteArray& geometry);

  // The operator's name the reports carry; empty when not set.
  QString Operator() const;
  void SetOperator(const QString& name);

  // Everything back to the first start.
  void Clear();

 private:
  std::unique_ptr<QSettings> settings_;
};
