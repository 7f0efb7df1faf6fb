// The program: reads its options, sets up the transport they ask for, and
// runs the window until it closes.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/StatusLog.h"
#include "app/form/MainForm.h"
#include "app/qt/QtBinding.h"
#include "app/qt/QtDialogs.h"
#include "app/WindowStart.h"
#ifdef FQ_HAVE_DEMO_GAMES
#include "DemoGameResources.h"
#endif
#include "app/DemoGames.h"
#ifdef FQ_HAVE_RESOURCES
#include "ProgramResources.h"
#include "core/support/Resources.h"
#endif

int main(int argc, char** argv) {
  const TCommandLine Line = ParseCommandLine(argc, argv);
  const std::string Program = argc > 0 && argv[0] ? argv[0] : "flashquill";
  if (const int Exit = AnswerCommandLine(Line, Program); Exit >= 0) return Exit;

#ifdef FQ_HAVE_RESOURCES
  RegisterResources(ProgramResources());
#endif
#ifdef FQ_HAVE_DEMO_GAMES
  RegisterResources(DemoGameResources());
#endif
  QApplication Application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Flashquill"));

  TQtDialogs Dialogs;
  const std::unique_ptr<TLinkPort> Port = OpenWindowPort(Line.Link, "flashquill", Dialogs);
  if (!Port) return 1;

  TQtBinding Binding;
  TMainForm Form(Binding, *Port, Dialogs, Line.Arguments);
  Form.Show();
  StartStatusLog(Form);
  if (Line.Demo) {
    // Once the window has listed the page for the first time: an empty card
    // gets the demo pack, from a folder that lasts only for the write.
    auto* Wait = new QTimer(&Application);
    QObject::connect(Wait, &QTimer::timeout, &Application, [&Form, Wait] {
      if (!Form.FirstIdleDone()) return;
      Wait->stop();   // the write pumps messages; this must not run again inside it
      Wait->deleteLater();
      QTemporaryDir Folder;
      const std::vector<std::string> Games =
          Folder.isValid() ? ExtractDemoGames(Form.FrontEnd(), Folder.path().toStdString()) : std::vector<std::string>();
      if (Games.empty())
        std::fputs("flashquill: --demo: the demo games could not be prepared (none in this build?)\n", stderr);
      else
        Form.WriteDemoPack(Games);
    });
    Wait->start(0);
  }
  return Application.exec();
}
