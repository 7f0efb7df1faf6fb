// SPDX-License-Identifier: GPL-3.0-or-later
// Shows the menu as a player would see it: runs a card with the demo games
// (and some headers, to fill two pages) and writes the frames as PPM
// pictures into the folder given: menu.ppm, page2.ppm, game.ppm,
// colour.ppm (the menu on the colour console) and empty.ppm (a card with
// the menu alone).
#include <cstdio>
#include <string>

#include "tests/menu/CardPack.h"
#include "tests/menu/MenuConsole.h"

int main(int Argc, char** Argv) {
  std::string Dir = Argc > 1 ? Argv[1] : ".";
  std::vector<uint8_t> Sram(0x20000, 0);

  std::vector<uint8_t> Empty = CardPack::MenuPage();
  {
    TMenuConsole Console(Empty, Sram);
    Console.RunFrames(60);
    Console.SaveFrame(Dir + "/empty.ppm");
  }

  std::vector<uint8_t> Flash = CardPack::MenuPage();
  CardPack::PlaceGame(Flash, 1, CardPack::GamePath("demo32"));
  CardPack::PlaceGame(Flash, 2, CardPack::GamePath("demo64"));
  CardPack::PlaceGame(Flash, 4, CardPack::GamePath("demo128"));
  CardPack::PlaceGame(Flash, 8, CardPack::GamePath("demo32save"));
  const char* Titles[] = {"Tetrahedron", "Star Harbour", "Mole Rally", "ZOO KEEPER DX",
                          "Pinball Pond", "Quiet Forest", "Rocket Cellar", "Bell Tower",
                          "Tiny Racer", "Lantern Quest", "Snow Fort", "Marble Maze 16CH"};
  for (int I = 0; I < 12; ++I)
    CardPack::PlaceHeader(Flash, 9 + I, Titles[I], 0, uint8_t(I % 4));
  {
    TMenuConsole Colour(Flash, Sram, 0, TMenuConsole::TModel::Colour);
    Colour.RunFrames(60);
    Colour.SaveFrame(Dir + "/colour.ppm");
  }
  TMenuConsole Console(Flash, Sram);
  Console.RunFrames(60);
  Console.SaveFrame(Dir + "/menu.ppm");
  for (const std::string& Row : Console.Screen())
    std::printf("|%s|\n", Row.c_str());
  Console.Press(0x01);
  Console.SaveFrame(Dir + "/page2.ppm");
  Console.Press(0x02);
  Console.Press(0x08);
  Console.Press(0x08);
  Console.Press(0x10, 4, 60);
  Console.SaveFrame(Dir + "/game.ppm");
  for (const std::string& Row : Console.Screen())
    std::printf("|%s|\n", Row.c_str());
  return 0;
}
