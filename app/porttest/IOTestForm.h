#pragma once
#include <QDialog>
#include <array>
#include <cstdint>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QPushButton;
class QTimer;
class QToolButton;
class TLink;
class TPanel;

// The port test window: shows and sets the direction and value bytes of the
// four ports P0 to P3 of the cable's controller, pin by pin. It talks to the
// cable only through the main window's link (set-ports, get-ports), whose
// failures show in the main window's status bar; it makes no checks of its
// own and never touches Operating. Made fresh for each opening and shown
// modally; nothing carries over to the next one.
class TIOTestForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int PortCount = 4;
  static constexpr int PinCount[PortCount] = {8, 8, 8, 6};   // P3 has bits 5 to 0 only
  // Port image offsets: direction bytes 0..3, value bytes 4..7.
  static constexpr int ValueOffset = 4;
  // The caption of the panel that stands for the controller.
  static constexpr const char* ControllerPartNumber = "BW-U238";

  TIOTestForm(TLink& Link, QWidget* Owner = nullptr);
  ~TIOTestForm() override;

  // Controls, named as the window names them (each widget's object name is
  // the same).
  QLineEdit* edP0IO = nullptr;
  QLineEdit* edP1IO = nullptr;
  QLineEdit* edP2IO = nullptr;
  QLineEdit* edP3IO = nullptr;
  QLineEdit* edP0 = nullptr;
  QLineEdit* edP1 = nullptr;
  QLineEdit* edP2 = nullptr;
  QLineEdit* edP3 = nullptr;
  QToolButton* P0IO = nullptr;
  QToolButton* P1IO = nullptr;
  QToolButton* P2IO = nullptr;
  QToolButton* P3IO = nullptr;
  QPushButton* btnWrite = nullptr;
  QPushButton* btnRead = nullptr;
  QCheckBox* cbAuto = nullptr;
  QSpinBox* seAuto = nullptr;
  QTimer* Timer1 = nullptr;
  TPanel* Panel1 = nullptr;

  // The bit buttons of a port, topmost (highest bit) first: P07IO .. P00IO,
  // P07 .. P00, ..., P35IO .. P30IO, P35 .. P30.
  const std::vector<QToolButton*>& DirectionButtons(int Port) const { return FDirection[Port]; }
  const std::vector<QToolButton*>& ValueButtons(int Port) const { return FValue[Port]; }
  QToolButton* GroupButton(int Port) const { return FGroup[Port]; }
  QLineEdit* DirectionEdit(int Port) const { return FDirectionEdit[Port]; }
  QLineEdit* ValueEdit(int Port) const { return FValueEdit[Port]; }
  // The bit a button of a port stands for (its row from the top gives it).
  static int BitOfRow(int Port, int Row) { return PinCount[Port] - 1 - Row; }

  // Handlers, named after control and event.
  void FormShow();
  void FormKeyPress(char Key);
  void btnReadClick();
  void btnWriteClick();
  void P07IOClick(QToolButton* Sender);
  void P07Click(QToolButton* Sender);
  void P0IOClick();
  void P1IOClick();
  void P2IOClick();
  void P3IOClick();
  void cbAutoClick();
  void Timer1Timer();

  // The image the bit buttons show, written to the edits, sent, and read back twice.
  void ApplyButtons();

protected:
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void CreateControls();
  void BindSignals();
  void GroupClick(int Port, const QString& OnCaption, const QString& OffCaption);
  int AutoPeriod() const;

  TLink& FLink;
  std::array<std::vector<QToolButton*>, PortCount> FDirection;
  std::array<std::vector<QToolButton*>, PortCount> FValue;
  std::array<QToolButton*, PortCount> FGroup{};
  std::array<QLineEdit*, PortCount> FDirectionEdit{};
  std::array<QLineEdit*, PortCount> FValueEdit{};
  std::vector<QLabel*> FLabels;   // Label1 .. Label38
};
