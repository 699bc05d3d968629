// The whole program in one run: the four windows come up against a maker site that
// accepts connections and never answers, so the update worker is stuck in its request
// when the main window closes. The process must then end at once with status 0: no
// crash, no hang. With a folder argument it also saves screenshots there: the main
// window on the records index page, its help menu, a lookup's result page (from the demo
// site), the about dialog, the search dialog, a cleaning question and the file dialog
// of the download dialog's import.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/appdir.h"
#include "base/files.h"
#include "base/hosts.h"
#include "shell/frmdown.h"
#include "shell/forms.h"
#include "shell/mainwindow.h"
#include "shell/program.h"
#include "shell/recordsindex.h"
#include "tests/support/demosite.h"

namespace {

std::atomic<int> g_accepted{0};

// Accepts connections and keeps them open without a byte of reply.
int StartSilentServer() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::perror("silent server");
    std::exit(3);
  }
  std::thread([fd] {
    std::vector<int> held;
    for (;;) {
      int c = ::accept(fd, nullptr, nullptr);
      if (c < 0) return;
      held.push_back(c);
      ++g_accepted;
    }
  }).detach();
  return ntohs(addr.sin_port);
}

void SampleRecords(const TPath& dir) {
  ForceDirectories(dir + "/data/query");
  ForceDirectories(dir + "/data/pdf");
  // GBK names: 名称=(燃料电池).html, 分类号=('%B60L%').html, 一种电池.pdf, 电动汽车充电装置.pdf
  WriteFileBytes(dir + "/data/query/\xc3\xfb\xb3\xc6=(\xc8\xbc\xc1\xcf\xb5\xe7\xb3\xd8).html", "<html></html>");
  WriteFileBytes(dir + "/data/query/\xb7\xd6\xc0\xe0\xba\xc5=('%B60L%').html", "<html></html>");
  WriteFileBytes(dir + "/data/pdf/\xd2\xbb\xd6\xd6\xb5\xe7\xb3\xd8.pdf", "%PDF-1.4");
  WriteFileBytes(dir + "/data/pdf/\xb5\xe7\xb6\xaf\xc6\xfb\xb3\xb5\xb3\xe4\xb5\xe7\xd7\xb0\xd6\xc3.pdf", "%PDF-1.4");
  WriteFileBytes(dir + "/main.css", ReadFileBytes(TPath::FromSystem(VARNOLT_APP_DIR "/main.css")));
  recordsindex::Build(dir, dir);
}

void Shoot(const QString& file) {
  QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  if (!shot.save(file)) std::fprintf(stderr, "could not save %s\n", qPrintable(file));
}

void Pause(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Shoots the modal dialog that open() brings up, then closes it (No, or cancel).
void ShootModal(const QString& file, const std::function<void()>& open) {
  QTimer::singleShot(1500, [file] {
    Shoot(file);
    if (QWidget* modal = QApplication::activeModalWidget()) static_cast<QDialog*>(modal)->reject();
  });
  open();
}

void Fail(const char* why) {
  std::fprintf(stderr, "session check: %s\n", why);
  std::_Exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  QString shots = argc > 1 && argv[argc - 1][0] != '-' ? QString::fromLocal8Bit(argv[argc - 1]) : QString();
  char tmpl[] = "/tmp/varnolt-session-XXXXXX";
  const TPath dir = TPath::FromSystem(::mkdtemp(tmpl));
  SetProgramDirectoryForTesting(dir);
  SampleRecords(dir);

  // The lookup's page comes from the demo site; it stops with this process.
  std::unique_ptr<DemoSite> site;
  if (!shots.isEmpty()) site = std::make_unique<DemoSite>();
  std::string host = "127.0.0.1:" + std::to_string(StartSilentServer());
  SiteHosts h = Hosts();
  h.MakerHost = h.SearchHost = h.PortalHost = host;
  if (!site) h.DictionaryHost = h.WebSearchHost = host;
  SetHosts(h);

  RunVarnolt(argc, argv, [shots, dir] {
    QTimer::singleShot(shots.isEmpty() ? 1500 : 5000, [shots, dir] {
      QElapsedTimer waited;
      waited.start();
      while (g_accepted == 0 && waited.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      if (g_accepted == 0) Fail("the update worker never reached the maker site");
      if (!frmmain->isVisible() || !frmdown || !frmabout || !frmquery) Fail("the windows are not all there");
      if (!shots.isEmpty()) {
        Shoot(shots + "/main.png");
        QMenuBar* bar = frmmain->menuBar();
        frmmain->N5->popup(bar->mapToGlobal(bar->actionGeometry(frmmain->N5->menuAction()).bottomLeft()));
        Pause(500);
        Shoot(shots + "/menu.png");
        frmmain->N5->hide();
        frmmain->ch2en->setText(QString::fromUtf8("隔膜"));
        frmmain->Image1Click();
        Pause(3000);
        Shoot(shots + "/lookup.png");
        frmabout->show();
        Pause(1000);
        Shoot(shots + "/about.png");
        frmabout->hide();
        frmquery->show();
        Pause(1000);
        Shoot(shots + "/query.png");
        frmquery->hide();
        ShootModal(shots + "/clean.png", [] { frmmain->N13->trigger(); });
        frmdown->show();
        Pause(500);
        ShootModal(shots + "/filedialog.png", [] { static_cast<Tfrmdown*>(frmdown)->Button1Click(); });
        frmdown->hide();
      }
      std::system(("rm -rf '" + dir.Bytes() + "'").c_str());
      frmmain->close();
    });
  });
}
