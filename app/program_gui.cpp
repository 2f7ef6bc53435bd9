// tolvane: the program. Creates the main window and the About dialog, runs
// the event loop until the window closes. --device chooses the analyser
// link; the simulated analyser is used only when asked for, and the window
// caption then says so. --demo runs a short scripted acquisition (used by
// the run command on machines without a display, and by the screenshot
// test).
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/about_dialog.h"
#include "app/caption_fit_gui.h"
#include "app/main_window.h"
#include "device/backend_factory.h"
#include "device/clock.h"
#include "handlers/file_handlers.h"

namespace {

// Shows an exception that escapes an event handler in Qt's standard error
// box and ends the program.
class TolvaneApplication final : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      QMessageBox::critical(nullptr, "Tolvane", QString::fromLocal8Bit(e.what()));
    } catch (...) {
      QMessageBox::critical(nullptr, "Tolvane", "Unexpected error");
    }
    std::exit(1);
  }
};

struct Demo {
  double seconds = 0;
  QString grabPath;
  QString spectrumPath;
};

// OpenMCA and Start through the real buttons, wait, Stop, then write the
// spectrum and a picture of the window if asked, and quit.
void scheduleDemo(tolvane::TForm1& window, const Demo& demo) {
  QTimer::singleShot(0, &window, [&window, demo] {
    window.McaOpen->click();
    window.McaStart->click();
    QTimer::singleShot(static_cast<int>(demo.seconds * 1000), &window, [&window, demo] {
      window.McaStop->click();
      int status = 0;
      if (!demo.spectrumPath.isEmpty()) {
        if (tolvane::WriteSpectrumFile(window.session(), demo.spectrumPath.toLocal8Bit().toStdString()))
          std::printf("spectrum written to %s\n", qPrintable(demo.spectrumPath));
        else
          status = 1;
      }
      if (!demo.grabPath.isEmpty()) {
        const QPixmap picture = window.grab();
        if (picture.save(demo.grabPath, "PNG"))
          std::printf("window picture (%dx%d, client %dx%d) written to %s\n", picture.width(), picture.height(),
                      window.Client->width(), window.Client->height(), qPrintable(demo.grabPath));
        else
          status = 1;
      }
      std::fflush(stdout);
      QApplication::exit(status);
    });
  });
}

int run(int argc, char** argv) {
  TolvaneApplication app(argc, argv);
  // Qt takes the user's locale for the C library too; numbers in files,
  // dumps and texts must keep the decimal point whatever the locale.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("tolvane");
  QCommandLineParser parser;
  parser.setApplicationDescription("Tolvane: multichannel analyser control and spectrum analysis.");
  parser.addHelpOption();
  parser.addOption({"device", "Analyser link: auto, sim, libftdi or d2xx.", "kind", "auto"});
  parser.addOption({"demo", "Acquire for this many seconds, then stop (scripted run).", "seconds"});
  parser.addOption({"grab", "After --demo, write a PNG picture of the window.", "file"});
  parser.addOption({"out", "After --demo, write the spectrum file.", "file"});
  parser.process(app);

  const auto kind = tolvane::parseBackendKind(parser.value("device").toStdString());
  if (!kind) {
    std::fprintf(stderr, "tolvane: unknown device kind '%s' (auto, sim, libftdi or d2xx)\n",
                 qPrintable(parser.value("device")));
    return 2;
  }
  tolvane::SteadyClock clock;
  std::string error;
  std::unique_ptr<tolvane::FtdiApi> api = tolvane::makeBackend(*kind, clock, error);
  if (!api) {
    QMessageBox::critical(nullptr, "Tolvane", QString::fromStdString("No analyser link: " + error));
    return 1;
  }

  tolvane::applyWindowFont();

  tolvane::TForm1 window(*api, clock);
  if (api->isSimulated()) window.setWindowTitle(QString(tolvane::TForm1::kCaption) + " [simulated analyser]");
  tolvane::TMcaAbout about(&window);
  window.setAboutDialog(&about);
  window.show();

  if (parser.isSet("demo")) {
    Demo demo;
    bool ok = false;
    demo.seconds = parser.value("demo").toDouble(&ok);
    if (!ok || demo.seconds < 0 || demo.seconds > 3600) {
      std::fprintf(stderr, "tolvane: --demo takes a number of seconds from 0 to 3600\n");
      return 2;
    }
    demo.grabPath = parser.value("grab");
    demo.spectrumPath = parser.value("out");
    scheduleDemo(window, demo);
  }
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Tolvane", QString::fromLocal8Bit(e.what()));
    return 1;
  }
}
