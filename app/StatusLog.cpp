// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusLog.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/form/MainForm.h"

void StartStatusLog(TMainForm& Form) {
  const char* Name = std::getenv("FLASHQUILL_STATUS_LOG");
  if (!Name || !*Name) return;
  std::FILE* File = std::fopen(Name, "a");
  if (!File) return;
  auto* Watch = new QTimer(QCoreApplication::instance());
  auto Shown = std::make_shared<std::string>();
  QObject::connect(Watch, &QTimer::timeout, Watch, [&Form, File, Shown] {
    const std::string Now = "0: " + Form.FrontEnd().StatusText(0) + "\n1: " + Form.FrontEnd().StatusText(1) + "\n";
    if (Now == *Shown) return;
    *Shown = Now;
    std::fputs(Now.c_str(), File);
    std::fflush(File);
  });
  Watch->start(20);
}
