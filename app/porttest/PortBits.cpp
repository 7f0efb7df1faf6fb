#include "app/porttest/PortBits.h"

#include <QAbstractButton>

namespace {

const QString ValueOne = QStringLiteral("1");
const QString ValueZero = QStringLiteral("0");

uint8_t BitIf(bool Set, int Bit) { return Set ? static_cast<uint8_t>(1u << Bit) : uint8_t{0}; }
bool IsSet(uint8_t Byte, int Bit) { return (Byte >> Bit) & 1u; }

}  // namespace

uint8_t LeftArrowBit(const QAbstractButton& Button, int Bit) { return BitIf(Button.text() == ArrowRight, Bit); }

uint8_t RightArrowBit(const QAbstractButton& Button, int Bit) { return BitIf(Button.text() == ArrowLeft, Bit); }

uint8_t ValueBit(const QAbstractButton& Button, int Bit) { return BitIf(Button.text() == ValueOne, Bit); }

void ShowLeftArrow(QAbstractButton& Button, uint8_t Byte, int Bit) {
  Button.setText(IsSet(Byte, Bit) ? ArrowRight : ArrowLeft);
}

void ShowRightArrow(QAbstractButton& Button, uint8_t Byte, int Bit) {
  Button.setText(IsSet(Byte, Bit) ? ArrowLeft : ArrowRight);
}

void ShowValueBit(QAbstractButton& Button, uint8_t Byte, int Bit) {
  const bool Set = IsSet(Byte, Bit);
  Button.setText(Set ? ValueOne : ValueZero);
  Button.setChecked(!Set);   // a checked value button is the button held down
}

QString GroupCaption(int Port, const QString& DirectionText) {
  struct TUniform {
    const char* AllSet;
    const char* AllClear;
    const QString* SetCaption;
    const QString* ClearCaption;
  };
  static const TUniform Ports[4] = {
      {"FF", "00", &ArrowRight, &ArrowLeft},
      {"FF", "00", &ArrowRight, &ArrowLeft},
      {"FF", "00", &ArrowLeft, &ArrowRight},
      {"FF", "C0", &ArrowLeft, &ArrowRight},
  };
  if (Port < 0 || Port > 3) return ArrowBoth;
  const TUniform& Uniform = Ports[Port];
  if (DirectionText == QLatin1String(Uniform.AllSet)) return *Uniform.SetCaption;
  if (DirectionText == QLatin1String(Uniform.AllClear)) return *Uniform.ClearCaption;
  return ArrowBoth;
}

QString HexByteText(uint8_t Byte) { return QStringLiteral("%1").arg(Byte, 2, 16, QLatin1Char('0')).toUpper(); }
