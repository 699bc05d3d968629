#pragma once
#include <QDialog>
#include <memory>
#include <string>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
struct TSearchOptions;

// The watch window: the watches with their last run, the news not yet looked at and the
// applications they know; 立即运行 runs the chosen one (its progress in the memo), 打开报告
// shows its last report in the main window's browser, 删除 forgets it; the schedule of every
// watch below. Created once at start.
class Tfrmwatch : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmwatch(QWidget* parent = nullptr);
  ~Tfrmwatch() override;

  // Controls, named as their objectName.
  QTableWidget* lvwatch = nullptr;
  QPushButton* btrun = nullptr;
  QPushButton* btreport = nullptr;
  QPushButton* btdelete = nullptr;
  QLabel* lbschedule = nullptr;
  QComboBox* cbschedule = nullptr;  // 不定时, 每天, 每周
  QPlainTextEdit* mmo = nullptr;

  // Handlers, named after control and event.
  void FormShow();
  void btrunClick();
  void btreportClick();
  void btdeleteClick();
  void cbscheduleChange(int index);
  // Reads the watches and the schedule again.
  void Refresh();
  // Whether a run is going on.
  bool Running() const { return running_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The watch of the selected row ("" when none), with a box saying so.
  std::string Selected();
  void RunEnded(const QString& summary);

  std::thread run_;
  bool running_ = false;
};

// The search dialog's 保存为监视…: the name and what to do with the news, then the watch
// saved with the fields' search. True when one was saved.
bool SaveSearchAsWatch(QWidget* parent, const TSearchOptions& options);
