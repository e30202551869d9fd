#include "script/commandlayouts.h"

#include <array>

#include "common/cp932.h"

namespace orva {

namespace {

using K = FieldKind;

std::vector<CommandLayout> BuildLayouts() {
  const std::vector<FieldLayout> props{{K::Props, "props"}};
  auto control = [&](uint8_t code, std::string_view cls, std::string_view kw) {
    return CommandLayout{code, cls, kw, props};
  };
  std::vector<CommandLayout> s = {
      {0, "TComIf", "If", {{K::Expr, "cond"}}},
      {1, "TComElseif", "Elseif", {{K::Expr, "cond"}}},
      {2, "TComElse", "Else", {}},
      {3, "TComLabel", "Label", {{K::String, "name"}}},
      {4, "TComJump", "Jump", {{K::String, "page"}, {K::Int, "target"}, {K::Expr, "cond"}}},
      {5, "TComCall", "Call",
       {{K::String, "page"}, {K::Int, "target"}, {K::String, "result"}, {K::Expr, "cond"}, {K::ExprList, "args"}}},
      {6, "TComExit", "Exit", {{K::Expr, "cond"}}},
      {7, "TComWait", "Wait", {{K::Expr, "while"}, {K::Expr, "time"}, {K::Expr, "block", 106}}},
      control(8, "TComBoxNew", "BoxNew"),
      control(9, "TComImgNew", "ImgNew"),
      control(10, "TComMesNew", "MesNew"),
      control(11, "TComTimer", "Timer"),
      control(12, "TComMovie", "Movie"),
      {13, "TComFlip", "Flip",
       {{K::Expr, "e1"}, {K::Expr, "e2"}, {K::Expr, "e3"}, {K::Expr, "e4"}, {K::ExprList, "list"}, {K::Expr, "e5"},
        {K::Expr, "e6"}, {K::Expr, "e7"}, {K::Expr, "e8", 100}, {K::Expr, "e9", 106}, {K::Expr, "e10", 116}}},
      {14, "TComCalc", "Calc", {{K::Expr, "expr"}}},
      {15, "TComVarNew", "VarNew", {{K::String, "name"}, {K::Byte, "type"}, {K::Expr, "value"}, {K::Byte, "scope"}}},
      {16, "TComVarDel", "VarDel", {{K::String, "name"}}},
      {17, "TComGetProp", "GetProp", {{K::Expr, "object"}, {K::Expr, "prop"}, {K::String, "var"}}},
      {18, "TComSetProp", "SetProp", {{K::Expr, "object"}, {K::Expr, "prop"}, {K::Expr, "value"}}},
      {19, "TComObjDel", "ObjDel", {{K::Expr, "object"}}},
      {20, "TComTextIns", "TextIns",
       {{K::TextData, "text"}, {K::Expr, "e1"}, {K::Expr, "e2"}, {K::Expr, "e3"}, {K::Expr, "e4", 106}}},
      {21, "TComMovieStop", "MovieStop", {{K::Expr, "e1"}, {K::Expr, "e2"}, {K::Expr, "e3"}, {K::Expr, "e4", 106}}},
      {22, "TComClrHist", "ClrHist", {}},
      control(23, "TComCinema", "Cinema"),
      control(24, "TComCaption", "Caption"),
      control(25, "TComMenu", "Menu"),
      {26, "TComMenuClose", "MenuClose", {{K::Expr, "e1"}}},
      {27, "TComComment", "Comment", {{K::String, "text"}}},
      {28, "TComTextClr", "TextClr", {{K::Expr, "e1"}}},
      {29, "TComCallHist", "CallHist",
       {{K::Expr, "e1"}, {K::Expr, "e2"}, {K::Expr, "e3"}, {K::Expr, "e4"}, {K::Expr, "e5", 110}}},
      control(30, "TComBtnNew", "BtnNew"),
      {31, "TComWhile", "While", {{K::Expr, "cond"}, {K::Int, "end"}}},
      {32, "TComWhileInit", "WhileInit", {{K::Expr, "init"}}},
      {33, "TComWhileLoop", "WhileLoop", {{K::Expr, "step"}, {K::Int, "head"}}},
      {34, "TComBreak", "Break", {{K::Expr, "cond"}, {K::Int, "target"}}},
      {35, "TComContinue", "Continue", {{K::Expr, "cond"}, {K::Int, "target"}}},
      control(36, "TComParticleNew", "ParticleNew"),
      control(37, "TComFireNew", "FireNew"),
      {38, "TComGameSave", "GameSave",
       {{K::Expr, "slot"}, {K::String, "page"}, {K::Int, "target", 104}, {K::Expr, "title"}}},
      {39, "TComGameLoad", "GameLoad", {{K::Expr, "slot"}}},
      {40, "TComPCReset", "PCReset", {{K::String, "page"}, {K::Int, "target"}, {K::Byte, "all"}}},
      {41, "TComReset", "Reset", {{K::String, "page"}, {K::Int, "target"}, {K::Byte, "all"}}},
      control(42, "TComSound", "Sound"),
      control(43, "TComEditNew", "EditNew"),
      control(44, "TComMemoNew", "MemoNew"),
      {45, "TComTerminate", "Terminate", {}},
      {46, "TComDoEvent", "DoEvent", {}},
      {47, "TComClrRead", "ClrRead", {}},
      control(48, "TComMapImgNew", "MapImgNew"),
      control(49, "TComWaveNew", "WaveNew"),
      control(50, "TComTileNew", "TileNew"),
      control(51, "TComSliderNew", "SliderNew"),
      control(52, "TComScrollbarNew", "ScrollbarNew"),
      control(53, "TComGaugeNew", "GaugeNew"),
      control(54, "TComCGCaption", "CGCaption"),
      {55, "TComMediaPlay", "MediaPlay", {{K::Expr, "e1"}}},
      control(56, "TComPrevMenuNew", "PrevMenuNew"),
      {57, "TComPropMotion", "PropMotion",
       {{K::Expr, "e1"}, {K::Expr, "e2"}, {K::Expr, "e3"}, {K::Expr, "e4"}, {K::Expr, "e5"}, {K::Expr, "e6"},
        {K::Expr, "e7", 107}}},
      {58, "TComEntryHist", "EntryHist", {{K::Expr, "e1"}, {K::Expr, "e2", 110}}},
      {59, "TComCabinetSave", "CabinetSave", {{K::Props, "props"}, {K::Expr, "e1"}, {K::ExprList, "list"}}},
      {60, "TComCabinetLoad", "CabinetLoad", {{K::Props, "props"}, {K::Expr, "e1"}, {K::ExprList, "list"}}},
      {61, "TComIfdef", "Ifdef", {}},
      {62, "TComIfndef", "Ifndef", {}},
      {63, "TComEndif", "Endif", {}},
  };
  return s;
}

const std::vector<CommandLayout>& Layouts() {
  static const std::vector<CommandLayout> layouts = BuildLayouts();
  return layouts;
}

}  // namespace

const CommandLayout* CommandLayoutOf(int code) {
  const auto& s = Layouts();
  return (code >= 0 && code < static_cast<int>(s.size())) ? &s[static_cast<size_t>(code)] : nullptr;
}

const CommandLayout* CommandLayoutByKeyword(std::string_view keyword) {
  for (const auto& s : Layouts())
    if (cp932::SameTextCI(s.keyword, keyword)) return &s;
  return nullptr;
}

}  // namespace orva
