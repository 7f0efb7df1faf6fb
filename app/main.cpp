// The program: reads its options, sets up the transport they ask for, and
// runs the window until it closes.
#include <QApplication>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "app/support/QtDialogs.h"
#include "emulator/LinkPortFactory.h"
#ifdef FQ_HAVE_RESOURCES
#include "ProgramResources.h"
#include "core/support/Resources.h"
#endif

int main(int argc, char** argv) {
  const TCommandLine Line = ParseCommandLine(argc, argv);
  const std::string Program = argc > 0 && argv[0] ? argv[0] : "flashquill";
  if (!Line.Error.empty()) {
    std::fprintf(stderr, "flashquill: %s\n%s", Line.Error.c_str(), CommandLineUsage(Program).c_str());
    return 2;
  }
  if (Line.Help) {
    std::fputs(CommandLineUsage(Program).c_str(), stdout);
    return 0;
  }

#ifdef FQ_HAVE_RESOURCES
  RegisterResources(ProgramResources());
#endif
  QApplication Application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Flashquill"));

  std::string Error;
  std::unique_ptr<TLinkPort> Port;
  try {
    Port = MakeLinkPort(Line.Link, Error);
  } catch (const std::exception& Failure) {
    Error = Failure.what();
  }
  if (!Port) {
    std::fprintf(stderr, "flashquill: %s\n", Error.empty() ? "the cable cannot be reached" : Error.c_str());
    return 1;
  }

  TQtDialogs Dialogs;
  TMainForm Form(*Port, Dialogs, Line.Arguments);
  Form.show();
  return Application.exec();
}
